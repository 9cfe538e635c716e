#include "engine/services/system_profiler.h"

#include <array>
#include <charconv>
#include <cstdlib>
#include <functional>
#include <vector>

#include "engine/core/task.h"
#include "engine/core/text.h"
#include "engine/services/homebrew_paths.h"
#include "engine/services/probes.h"

namespace quill {

namespace {

using Path = std::filesystem::path;

/// A shell that runs plain probe commands under their time limit.
struct ToolShell {
    ShellRunner shell;
    std::chrono::milliseconds limit;
};

/// Runs one probe command under the probe time limit. Its trimmed standard output when it exited with status
/// 0 and printed something; nothing otherwise (including a tool that cannot start or runs too long).
std::optional<std::string> successfulOutput(const ToolShell& tools, const std::string& executable,
                                            const std::vector<std::string>& arguments,
                                            const std::stop_token& stop) {
    const auto result = tools.shell.run(executable, arguments, std::nullopt, tools.limit, stop);
    if (!result || result->exitCode != 0)
        return std::nullopt;
    auto output = trimWhitespaceAndNewlines(result->stdout_);
    if (output.empty())
        return std::nullopt;
    return output;
}

Architecture probeArchitecture(const ToolShell& tools, const std::stop_token& stop) {
    // The machine name counts whatever the exit status.
    const auto result = tools.shell.run("/usr/bin/uname", {"-m"}, std::nullopt, tools.limit, stop);
    if (!result)
        return Architecture::unknown;
    const auto machine = trimWhitespaceAndNewlines(result->stdout_);
    if (machine == "arm64")
        return Architecture::appleSilicon;
    if (machine == "x86_64")
        return Architecture::intel;
    return Architecture::unknown;
}

Shell probeShell() {
    const char* value = std::getenv("SHELL");
    return SystemProfiler::shellNamed(value != nullptr ? value : "");
}

std::optional<Path> firstExecutable(const FileSystemOperating& fs,
                                    const std::vector<std::string>& candidates) {
    for (const auto& candidate : candidates) {
        if (fs.isExecutableFile(candidate))
            return Path(candidate);
    }
    return std::nullopt;
}

/// `home`/`relative` when it is a folder; nothing when the home folder is unknown.
std::optional<Path> homeFolder(const FileSystemOperating& fs, const Path& home, const char* relative) {
    if (home.empty())
        return std::nullopt;
    const Path folder = home / relative;
    if (fs.itemKind(folder) == ItemKind::directory)
        return folder;
    return std::nullopt;
}

std::optional<Path> probeSdkman(const FileSystemOperating& fs, const Path& home) {
    if (home.empty())
        return std::nullopt;
    if (fs.itemKind(home / ".sdkman/bin/sdkman-init.sh") == ItemKind::file)
        return home / ".sdkman";
    return std::nullopt;
}

std::optional<Path> probeMise(const ToolShell& tools, const FileSystemOperating& fs, const Path& home,
                              const std::stop_token& stop) {
    std::vector<std::string> candidates = inHomebrewFolders("mise");
    if (!home.empty())
        candidates.push_back((home / ".local/bin/mise").string());
    if (auto found = firstExecutable(fs, candidates))
        return found;

    const auto which = successfulOutput(tools, "/usr/bin/which", {"mise"}, stop);
    if (which && fs.isExecutableFile(*which))
        return Path(*which);
    return std::nullopt;
}

/// Whether the command `name` is on the application's search path or in one of Homebrew's folders.
bool isCommandAvailable(const ToolShell& tools, const FileSystemOperating& fs, const std::string& name,
                        const std::stop_token& stop) {
    if (successfulOutput(tools, "/usr/bin/which", {name}, stop))
        return true;
    return homebrewTool(fs, name, HomebrewToolCheck::executable).has_value();
}

/// One installed-or-not check and the flag it sets. Flags that several checks feed are true when any passes.
template <class Flags>
struct FlagCheck {
    bool Flags::*flag;
    std::function<bool()> check;
};

/// Runs every check at once and returns the flags when all have ended. Each check writes only its own slot.
template <class Flags>
Flags runChecks(const std::vector<FlagCheck<Flags>>& checks) {
    // Not std::vector<bool>: its elements share bytes, and the checks write them from different threads.
    std::vector<char> passed(checks.size(), 0);
    std::vector<std::function<void()>> children;
    children.reserve(checks.size());
    for (std::size_t i = 0; i < checks.size(); ++i) {
        children.emplace_back([&checks, &passed, i] { passed[i] = checks[i].check() ? 1 : 0; });
    }
    runConcurrently(std::move(children));

    Flags flags;
    for (std::size_t i = 0; i < checks.size(); ++i) {
        if (passed[i] != 0)
            flags.*(checks[i].flag) = true;
    }
    return flags;
}

AITooling probeAITooling(const SystemProfiler& profiler, const std::stop_token& stop) {
    const auto app = [&profiler](const char* name) {
        return [&profiler, name] { return profiler.isAppInstalled(name); };
    };
    const auto command = [&profiler, &stop](const char* name) {
        return [&profiler, &stop, name] {
            return isCommandAvailable({profiler.shell, profiler.limits.tool}, *profiler.fs, name, stop);
        };
    };
    using A = AITooling;
    return runChecks<A>({
        {&A::claudeCodeDesktop, app("Claude.app")},
        {&A::cursor, app("Cursor.app")},
        {&A::chatgptDesktop, app("ChatGPT.app")},
        {&A::vsCode, app("Visual Studio Code.app")},
        {&A::windsurf, app("Windsurf.app")},
        {&A::kiro, app("Kiro.app")},
        {&A::antigravity, app("Antigravity.app")},
        {&A::zed, app("Zed.app")},
        {&A::replit, app("Replit.app")},
        {&A::warpApp, app("Warp.app")},
        {&A::intellij, app("IntelliJ IDEA.app")},
        {&A::intellij, app("IntelliJ IDEA CE.app")},
        {&A::claudeCodeCLI, command("claude")},
        {&A::codexCLI, command("codex")},
        {&A::aider, command("aider")},
    });
}

Terminals probeTerminals(const SystemProfiler& profiler) {
    const auto app = [&profiler](const char* name) {
        return [&profiler, name] { return profiler.isAppInstalled(name); };
    };
    using T = Terminals;
    return runChecks<T>({
        {&T::iterm, app("iTerm.app")},
        {&T::ghostty, app("Ghostty.app")},
        {&T::warp, app("Warp.app")},
        {&T::hyper, app("Hyper.app")},
        {&T::alacritty, app("Alacritty.app")},
        {&T::kitty, app("kitty.app")},
        {&T::wezterm, app("WezTerm.app")},
    });
}

MarkdownEditors probeMarkdownEditors(const SystemProfiler& profiler) {
    const auto app = [&profiler](const char* name) {
        return [&profiler, name] { return profiler.isAppInstalled(name); };
    };
    using M = MarkdownEditors;
    return runChecks<M>({
        {&M::zettlr, app("Zettlr.app")},
        {&M::obsidian, app("Obsidian.app")},
    });
}

}  // namespace

std::optional<std::filesystem::path> XcodeCLTProbe::developerDirectory(std::stop_token stop) const {
    // Any selected developer folder counts, a full Xcode's too; it is not checked for existence.
    if (auto folder = successfulOutput({shell, timeLimit}, "/usr/bin/xcode-select", {"-p"}, stop))
        return Path(*folder);
    return std::nullopt;
}

SystemProfile SystemProfiler::profile(std::stop_token stop) const {
    const FileSystemOperating& files = *fs;
    const Path home = files.homeDirectory();

    const ToolShell tools{shell, limits.tool};
    // Each child fills only its own field; the profile is read after every child has ended.
    SystemProfile profile;
    runConcurrently(
        [&] { profile.architecture = probeArchitecture(tools, stop); },                              //
        [&] { profile.shell = probeShell(); },                                                       //
        [&] { profile.homebrewPrefix = homebrewExecutable(files, HomebrewToolCheck::executable); },  //
        [&] { profile.sdkmanRoot = probeSdkman(files, home); },                                      //
        [&] { profile.miseExecutable = probeMise(tools, files, home, stop); },
        [&] { profile.jenvRoot = homeFolder(files, home, ".jenv"); },
        [&] { profile.asdfRoot = homeFolder(files, home, ".asdf"); },
        [&] {
            profile.xcodeCommandLineToolsPath = XcodeCLTProbe{shell, limits.tool}.developerDirectory(stop);
        },
        [&] {
            profile.javaState = Probes{shell, fs, limits}.probe(stop);
        },
        [&] { profile.aiTooling = probeAITooling(*this, stop); },  //
        [&] { profile.terminals = probeTerminals(*this); },        //
        [&] { profile.markdownEditors = probeMarkdownEditors(*this); });
    profile.macosVersion = currentOperatingSystemVersion();
    return profile;
}

bool SystemProfiler::isAppInstalled(const std::string& name) const {
    std::vector<std::string> candidates = {"/Applications/" + name};
    const Path home = fs->homeDirectory();
    if (!home.empty())
        candidates.push_back((home / "Applications" / name).string());
    for (const auto& candidate : candidates) {
        if (fs->itemKind(candidate) == ItemKind::directory)
            return true;
    }
    return false;
}

Shell SystemProfiler::shellNamed(std::string_view shellVariable) {
    while (!shellVariable.empty() && shellVariable.back() == '/')
        shellVariable.remove_suffix(1);
    const auto slash = shellVariable.rfind('/');
    const std::string_view name =
        slash == std::string_view::npos ? shellVariable : shellVariable.substr(slash + 1);
    if (name.empty())
        return Shell::Other{"unknown"};
    if (name == "zsh")
        return Shell::Zsh{};
    if (name == "bash")
        return Shell::Bash{};
    if (name == "fish")
        return Shell::Fish{};
    return Shell::Other{std::string(name)};
}

OperatingSystemVersion currentOperatingSystemVersion() {
    return detail::parseOperatingSystemVersion(detail::operatingSystemVersionText());
}

namespace detail {

OperatingSystemVersion parseOperatingSystemVersion(std::string_view text) {
    std::array<int, 3> parts{};
    const char* cursor = text.data();
    const char* const end = text.data() + text.size();
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const auto [next, error] = std::from_chars(cursor, end, parts[i]);
        if (error != std::errc{})
            break;
        if (next == end || *next != '.' || i + 1 == parts.size())
            break;
        cursor = next + 1;
    }
    return {parts[0], parts[1], parts[2]};
}

}  // namespace detail

ProfileCollector liveProfileCollector(const AppServices& services) {
    return [shell = ShellRunner{services.processRunner}, fs = services.fs](std::stop_token stop) {
        return SystemProfiler{shell, fs}.profile(std::move(stop));
    };
}

}  // namespace quill
