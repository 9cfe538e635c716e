#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "engine/core/tagged_union.h"
#include "engine/services/java_facts.h"

namespace quill {

/// The processor family of the Mac.
enum class Architecture { appleSilicon, intel, unknown };

/// The version of the running operating system.
struct OperatingSystemVersion {
    int majorVersion = 0;
    int minorVersion = 0;
    int patchVersion = 0;

    bool operator==(const OperatingSystemVersion&) const = default;
};

/// The cases of `Shell`.
struct ShellCases {
    // clang-format off
    struct Zsh { bool operator==(const Zsh&) const = default; };
    struct Bash { bool operator==(const Bash&) const = default; };
    struct Fish { bool operator==(const Fish&) const = default; };
    // clang-format on
    /// Any other shell, by the last component of its path; "unknown" when `SHELL` is unset or empty.
    struct Other {
        std::string name;
        bool operator==(const Other&) const = default;
    };
    using Case = std::variant<Zsh, Bash, Fish, Other>;
};

/// The user's login shell as the `SHELL` variable names it.
struct Shell : TaggedUnion<ShellCases> {
    using TaggedUnion::TaggedUnion;
    Shell() : TaggedUnion(Other{"unknown"}) {}
};

/// Which AI coding tools are installed: applications by their bundles, command-line tools by their commands.
struct AITooling {
    bool claudeCodeDesktop = false;
    bool cursor = false;
    bool chatgptDesktop = false;
    bool vsCode = false;
    bool windsurf = false;
    bool kiro = false;
    bool antigravity = false;
    bool zed = false;
    bool replit = false;
    bool warpApp = false;
    bool intellij = false;
    bool claudeCodeCLI = false;
    bool codexCLI = false;
    bool aider = false;

    /// The identifiers of the installed tools ("claude-desktop", "codex-cli"…), sorted ascending, no
    /// duplicates.
    [[nodiscard]] std::vector<std::string> installedToolIDs() const;

    bool operator==(const AITooling&) const = default;
};

/// Which terminal applications besides the system's own Terminal are installed.
struct Terminals {
    bool iterm = false;
    bool ghostty = false;
    bool warp = false;
    bool hyper = false;
    bool alacritty = false;
    bool kitty = false;
    bool wezterm = false;

    /// The identifiers of the installed terminals ("iterm2", "warp"…), sorted ascending.
    [[nodiscard]] std::vector<std::string> installedIDs() const;

    bool operator==(const Terminals&) const = default;
};

/// Which Markdown editors are installed.
struct MarkdownEditors {
    bool zettlr = false;
    bool obsidian = false;

    bool operator==(const MarkdownEditors&) const = default;
};

/// The Mac as the system profiler found it. A plain value: copied freely, never changed after it is built.
/// Every field has a value for "nothing found".
struct SystemProfile {
    Architecture architecture = Architecture::unknown;
    OperatingSystemVersion macosVersion;
    Shell shell;
    std::optional<std::filesystem::path> homebrewPrefix;  ///< the `brew` executable found, not its folder
    std::optional<std::filesystem::path> sdkmanRoot;      ///< ~/.sdkman, when its init script is there
    std::optional<std::filesystem::path> miseExecutable;
    std::optional<std::filesystem::path> jenvRoot;                   ///< ~/.jenv
    std::optional<std::filesystem::path> asdfRoot;                   ///< ~/.asdf
    std::optional<std::filesystem::path> xcodeCommandLineToolsPath;  ///< the active developer folder
    ProbeBundle javaState;
    AITooling aiTooling;
    Terminals terminals;
    MarkdownEditors markdownEditors;

    /// Whether the Mac shows signs of development work: a package or version manager (not asdf alone), any AI
    /// tool or extra terminal, or selected Command Line Tools. A JDK or a Markdown editor alone does not
    /// count.
    [[nodiscard]] bool isLikelyDeveloper() const;

    bool operator==(const SystemProfile&) const = default;
};

}  // namespace quill
