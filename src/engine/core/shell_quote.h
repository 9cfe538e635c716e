#pragma once

#include <string>
#include <string_view>

namespace quill {

// The only three ways a value enters a shell script. Each returns text ready to be placed in a script
// as described; nothing else in the program builds shell lines from values.

/// A double-quoted word with backslash and double quote escaped: "a \"b\" c". Used for version names handed
/// to the Java version managers. It leaves `$` and backticks live, so it suits only values that hold neither.
std::string shellDoubleQuoted(std::string_view value);

/// A single-quoted word in which every ' becomes '\'': the value reaches the command exactly as given.
std::string shellSingleQuoted(std::string_view value);

/// The inside of a double-quoted `export PATH="…"` line: backslash, double quote, backtick and dollar sign
/// each escaped with a backslash (backslashes first). The surrounding quotes are the caller's.
std::string shellEscapedForDoubleQuotes(std::string_view value);

}  // namespace quill
