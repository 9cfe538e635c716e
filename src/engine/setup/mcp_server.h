#pragma once

#include <optional>
#include <string>
#include <variant>

namespace quill {

/// An MCP server the setup can add to the user's AI agents. A plain value, equal when every field is equal;
/// identified by `slug`.
struct MCPServer {
    /// The server works without a key and optionally takes one, through `keyURLTemplate` when present.
    struct KeylessOptionalKey {
        std::optional<std::string> keyURLTemplate;
        bool operator==(const KeylessOptionalKey&) const = default;
    };
    /// The server uses OAuth sign-in.
    struct OAuth {
        bool operator==(const OAuth&) const = default;
    };
    using Connection = std::variant<KeylessOptionalKey, OAuth>;

    std::string slug;                       ///< the fix id is "mcp:" + slug
    std::string displayName;                ///< shown in the picker
    std::string url;                        ///< the server's endpoint
    std::string summary;                    ///< one-line description
    std::optional<std::string> disclosure;  ///< a note shown with the server
    Connection connection;

    bool operator==(const MCPServer&) const = default;
};

}  // namespace quill
