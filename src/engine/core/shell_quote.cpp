#include "engine/core/shell_quote.h"

namespace quill {

std::string shellDoubleQuoted(std::string_view value) {
    std::string out = "\"";
    for (char c : value) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

std::string shellSingleQuoted(std::string_view value) {
    std::string out = "'";
    for (char c : value) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    out += '\'';
    return out;
}

std::string shellEscapedForDoubleQuotes(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        if (c == '\\' || c == '"' || c == '`' || c == '$')
            out += '\\';
        out += c;
    }
    return out;
}

}  // namespace quill
