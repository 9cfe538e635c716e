#pragma once

#include <string>

namespace quill {

/// The login-shell script that sets the global Git identity and a few defaults, and writes a global ignore
/// file when there is none. Pure: it only builds text.
struct GitConfigScript {
    /// The script for `name` and `email`. Its commands are chained so that the first failing one stops the
    /// rest and fails the script; pull.rebase and fetch.prune are set only where the user has no value.
    [[nodiscard]] static std::string build(const std::string& name, const std::string& email);
};

}  // namespace quill
