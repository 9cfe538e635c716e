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
        fixes.emplace_back(R::InstallUv{});
    if (needsMise)
        fixes.emplace_back(R::InstallMise{});
    if (chosen(QuillLanguage::node))
        fixes.emplace_back(R::InstallNodeViaMise{});
    if (chosen(QuillLanguage::ruby))
        fixes.emplace_back(R::InstallRubyViaMise{});
    if (chosen(QuillLanguage::java))
        fixes.emplace_back(R::InstallTemurin{});
    if (chosen(QuillLanguage::rust)) {
        if (needsMise) {
            fixes.emplace_back(R::InstallRustViaMise{});
        } else {
            fixes.emplace_back(R::InstallRustup{});
        }
    }
    return fixes;
}

}  // namespace quill
