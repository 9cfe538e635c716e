#pragma once

#include <string>
#include <string_view>
#include <vector>

// Scans of UTF-8 text by Unicode's rules, where an ASCII-only test would misjudge people's text.
namespace quill {

/// The pieces of `text` between line breaks, without the empty ones. Every line-break character counts: LF,
/// vertical tab, form feed, CR (so CR LF too), U+0085, U+2028 and U+2029.
std::vector<std::string> nonEmptyLines(std::string_view text);

/// Whether the first character of `text` is a number in any script ("7", "٣", "Ⅻ", "½"): its code point has
/// a Unicode numeric type. False for empty or ill-formed text.
bool startsWithNumber(std::string_view text);

}  // namespace quill
