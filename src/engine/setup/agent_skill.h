#pragma once

#include <string>
#include <utility>
#include <variant>

namespace quill {

/// A skill the setup can add to the user's AI agents: its identity, how the picker shows it, and where its
/// files come from. A plain value, equal when every field is equal; identified by `slug`.
struct AgentSkill {
    /// A skill folder shipped inside the application, under `name`.
    struct Bundle {
        std::string name;
        bool operator==(const Bundle&) const = default;
    };
    /// A folder fetched from a public repository: the repository, the skill's path inside it and the commit
    /// it is pinned to.
    struct Fetch {
        std::string repo;
        std::string subpath;
        std::string pin;
        bool operator==(const Fetch&) const = default;
    };
    using Source = std::variant<Bundle, Fetch>;

    static Source bundle(std::string name) { return Bundle{std::move(name)}; }
    static Source fetch(std::string repo, std::string subpath, std::string pin) {
        return Fetch{std::move(repo), std::move(subpath), std::move(pin)};
    }

    std::string slug;         ///< the folder it installs under; the fix id is "skill:" + slug
    std::string displayName;  ///< shown in the picker
    std::string badge;        ///< short tag beside the name
    Source source;
    bool preselected = false;    ///< ticked by default when not yet installed
    bool developerOnly = false;  ///< offered only when developer rows are asked for

    bool operator==(const AgentSkill&) const = default;
};

}  // namespace quill
