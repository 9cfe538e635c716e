#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace quill {

/// The programming languages the setup can install, in the order the languages stage lists them.
enum class QuillLanguage { python, node, java, ruby, rust };

inline constexpr std::array<QuillLanguage, 5> kQuillLanguages = {QuillLanguage::python, QuillLanguage::node,
                                                                 QuillLanguage::java, QuillLanguage::ruby,
                                                                 QuillLanguage::rust};

std::string_view toRaw(QuillLanguage language);
/// The language with this raw value ("python", "node", "java", "ruby", "rust"), exactly; nothing otherwise.
std::optional<QuillLanguage> fromRawQuillLanguage(std::string_view raw);
/// The name the languages stage shows ("JavaScript (Node)").
std::string_view displayName(QuillLanguage language);

}  // namespace quill
