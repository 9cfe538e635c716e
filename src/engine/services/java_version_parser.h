#pragma once

#include <optional>
#include <string_view>

namespace quill {

/// The one rule by which the program turns a Java version text into a major version. Pure; thread-safe.
struct JavaVersionParser {
    /// The major of the first `version "<n>[.<m>]` in `text` (whitespace between the word and the quote), as
    /// in a `java -version` banner. The old 1.x numbering counts by its second number ("1.8.0_392" is 8; a
    /// lone "1" is 1). Absent when there is no such text or the number does not fit an int.
    static std::optional<int> majorVersion(std::string_view text);

    /// The major of a bare version such as 21.0.2, read as `version "<bareVersion>"`.
    static std::optional<int> majorVersionOfBareVersion(std::string_view bareVersion);
};

}  // namespace quill
