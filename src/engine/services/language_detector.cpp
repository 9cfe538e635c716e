#include "engine/services/language_detector.h"

#include <algorithm>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/overloaded.h"
#include "engine/services/homebrew_paths.h"

namespace quill {

namespace {

constexpr std::string_view kJavaVirtualMachines = "/Library/Java/JavaVirtualMachines";

enum class Probe { hasEntries, exists };

/// One detection step: when any of `paths` passes the probe (tried in order), the language is in `state`.
/// Paths starting with "~/" are under the home folder.
struct Check {
    Probe probe;
    std::vector<std::string> paths;
    LanguageInstallState state;
};

using State = LanguageInstallState;

const std::vector<Check>& checksFor(QuillLanguage language) {
    static const std::vector<Check> python = {
        {Probe::hasEntries, {"~/.local/share/uv/python"}, State::AlreadySetUp{"uv"}},
        {Probe::hasEntries, {"~/.pyenv/versions"}, State::ManagedBy{"pyenv"}},
        {Probe::exists, {"~/.asdf/installs/python"}, State::ManagedBy{"asdf"}},
        {Probe::exists, {"~/miniconda3", "~/anaconda3"}, State::ManagedBy{"conda"}},
        {Probe::exists,
         {homebrewBinPath(kAppleSiliconHomebrewBin, "python3"), homebrewBinPath(kIntelHomebrewBin, "python3"),
          "/usr/bin/python3"},
         State::OutdatedSystemInstall{}},
    };
    static const std::vector<Check> node = {
        {Probe::hasEntries, {"~/.local/share/mise/installs/node"}, State::AlreadySetUp{"mise"}},
        {Probe::hasEntries, {"~/.nvm/versions/node"}, State::ManagedBy{"nvm"}},
        {Probe::exists, {"~/.volta/bin/node"}, State::ManagedBy{"volta"}},
        {Probe::exists, {"~/.asdf/installs/nodejs"}, State::ManagedBy{"asdf"}},
        {Probe::exists, {"~/.local/share/fnm", "~/Library/Application Support/fnm"}, State::ManagedBy{"fnm"}},
        {Probe::exists, inHomebrewFolders("node"), State::OutdatedSystemInstall{}},
    };
    static const std::vector<Check> ruby = {
        {Probe::hasEntries, {"~/.local/share/mise/installs/ruby"}, State::AlreadySetUp{"mise"}},
        {Probe::hasEntries, {"~/.rbenv/versions"}, State::ManagedBy{"rbenv"}},
        {Probe::hasEntries, {"~/.rvm/rubies"}, State::ManagedBy{"rvm"}},
        {Probe::hasEntries, {"~/.rubies"}, State::ManagedBy{"chruby"}},
        {Probe::exists, {"~/.asdf/installs/ruby"}, State::ManagedBy{"asdf"}},
        {Probe::exists, {"/opt/homebrew/opt/ruby/bin/ruby", "/usr/bin/ruby"}, State::OutdatedSystemInstall{}},
    };
    static const std::vector<Check> rust = {
        {Probe::hasEntries, {"~/.rustup/toolchains"}, State::AlreadySetUp{"rustup"}},
        {Probe::exists, {"~/.cargo/bin/rustc"}, State::AlreadySetUp{"rustup"}},
        {Probe::exists, {homebrewBinPath(kAppleSiliconHomebrewBin, "rustc")}, State::OutdatedSystemInstall{}},
    };
    // Java's checks between the two looks at the JVM folder.
    static const std::vector<Check> javaManagers = {
        {Probe::hasEntries, {"~/.sdkman/candidates/java"}, State::ManagedBy{"SDKMAN"}},
        {Probe::hasEntries, {"~/.jenv/versions"}, State::ManagedBy{"jenv"}},
    };
    switch (language) {
        case QuillLanguage::python:
            return python;
        case QuillLanguage::node:
            return node;
        case QuillLanguage::java:
            return javaManagers;
        case QuillLanguage::ruby:
            return ruby;
        case QuillLanguage::rust:
            return rust;
    }
    return python;
}

class Finder {
  public:
    explicit Finder(const FileSystemOperating& fs) : m_fs(fs), m_home(fs.homeDirectory()) {}

    [[nodiscard]] std::optional<State> firstMatch(const std::vector<Check>& checks) const {
        for (const auto& check : checks) {
            const bool hit = std::ranges::any_of(check.paths, [&](std::string_view path) {
                const auto resolved = resolve(path);
                if (!resolved)
                    return false;
                return check.probe == Probe::exists ? m_fs.fileExists(*resolved) : hasEntries(*resolved);
            });
            if (hit)
                return check.state;
        }
        return std::nullopt;
    }

    [[nodiscard]] std::optional<std::vector<std::string>> listing(std::string_view path) const {
        auto entries = m_fs.contentsOfDirectory(path);
        if (!entries)
            return std::nullopt;
        return std::move(*entries);
    }

  private:
    /// The absolute path for `path`; nothing for a path under a home folder that is unknown.
    [[nodiscard]] std::optional<std::string> resolve(std::string_view path) const {
        if (!path.starts_with("~/"))
            return std::string(path);
        if (m_home.empty())
            return std::nullopt;
        return (m_home / path.substr(2)).string();
    }

    [[nodiscard]] bool hasEntries(const std::string& path) const {
        const auto entries = m_fs.contentsOfDirectory(path);
        return entries && !entries->empty();
    }

    const FileSystemOperating& m_fs;
    std::filesystem::path m_home;
};

bool isJDKBundle(std::string_view name) {
    return name.ends_with(".jdk");
}
bool isTemurinBundle(std::string_view name) {
    return isJDKBundle(name) && name.starts_with("temurin-");
}

State detectJava(const Finder& finder) {
    const auto bundles = finder.listing(kJavaVirtualMachines);
    if (bundles && std::ranges::any_of(*bundles, isTemurinBundle))
        return State::AlreadySetUp{"Temurin"};
    if (auto managed = finder.firstMatch(checksFor(QuillLanguage::java)))
        return *managed;
    if (bundles && std::ranges::any_of(*bundles, isJDKBundle))
        return State::OutdatedSystemInstall{};
    return State::NotInstalled{};
}

}  // namespace

LanguageInstallState LanguageDetector::detectInstallation(QuillLanguage language) const {
    const Finder finder(*m_fs);
    if (language == QuillLanguage::java)
        return detectJava(finder);
    return finder.firstMatch(checksFor(language)).value_or(State::NotInstalled{});
}

std::optional<std::string> LanguageDetector::statusLine(const LanguageInstallState& state) {
    return std::visit(
        Overloaded{
            [](const State::AlreadySetUp& setUp) -> std::optional<std::string> {
                return "already set up (" + setUp.toolName + ")";
            },
            [](const State::ManagedBy& managed) -> std::optional<std::string> {
                return "managed by " + managed.managerName + " — installing ours may conflict";
            },
            [](const State::OutdatedSystemInstall&) -> std::optional<std::string> {
                return "upgrade recommended (an outdated system install was found)";
            },
            [](const State::NotInstalled&) -> std::optional<std::string> { return std::nullopt; },
        },
        state.value);
}

}  // namespace quill
