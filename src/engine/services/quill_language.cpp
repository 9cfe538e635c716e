#include "engine/services/quill_language.h"

namespace quill {

namespace {

struct LanguageNames {
    QuillLanguage language;
    std::string_view raw;
    std::string_view displayName;
};

constexpr std::array<LanguageNames, 5> kLanguageNames = {{
    {QuillLanguage::python, "python", "Python"},
    {QuillLanguage::node, "node", "JavaScript (Node)"},
    {QuillLanguage::java, "java", "Java"},
    {QuillLanguage::ruby, "ruby", "Ruby"},
    {QuillLanguage::rust, "rust", "Rust"},
}};

const LanguageNames& namesOf(QuillLanguage language) {
    for (const auto& names : kLanguageNames) {
        if (names.language == language)
            return names;
    }
    return kLanguageNames.front();
}

}  // namespace

std::string_view toRaw(QuillLanguage language) {
    return namesOf(language).raw;
}

std::optional<QuillLanguage> fromRawQuillLanguage(std::string_view raw) {
    for (const auto& names : kLanguageNames) {
        if (names.raw == raw)
            return names.language;
    }
    return std::nullopt;
}

std::string_view displayName(QuillLanguage language) {
    return namesOf(language).displayName;
}

}  // namespace quill
