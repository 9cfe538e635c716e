#include "engine/setup/language_remediations.h"

namespace quill {

std::vector<SetupRemediation> remediations(const std::set<QuillLanguage>& languages) {
    using R = SetupRemediation;
    std::vector<SetupRemediation> fixes;
    if (languages.empty())
        return fixes;

    const auto chosen = [&](QuillLanguage language) { return languages.contains(language); };
    const bool needsMise = chosen(QuillLanguage::node) || chosen(QuillLanguage::ruby) || languages.size() > 1;

    if (chosen(QuillLanguage::python))
        fixes.push_back(R::installUv());
    if (needsMise)
        fixes.push_back(R::installMise());
    if (chosen(QuillLanguage::node))
        fixes.push_back(R::installNodeViaMise());
    if (chosen(QuillLanguage::ruby))
        fixes.push_back(R::installRubyViaMise());
    if (chosen(QuillLanguage::java))
        fixes.push_back(R::installTemurin());
    if (chosen(QuillLanguage::rust)) {
        if (needsMise) {
            fixes.push_back(R::installRustViaMise());
        } else {
            fixes.push_back(R::installRustup());
        }
    }
    return fixes;
}

}  // namespace quill
