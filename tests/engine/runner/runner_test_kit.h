#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/core/shell_quote.h"
#include "engine/runner/setup_remediation_runner.h"
#include "engine/services/homebrew_paths.h"
#include "engine/services/live_file_system.h"
#include "tests/engine/installers/installer_test_kit.h"
#include "tests/support/fake_bin.h"
#include "tests/support/path_mapping_file_system.h"
#include "tests/support/temporary_home.h"

namespace quill {

inline void PrintTo(const SetupRemediationRunner::Event& event, std::ostream* out) {
    using E = SetupRemediationRunner::Event;
    if (const auto* output = std::get_if<E::Output>(&event.value))
        *out << (output->kind == OutputKind::own ? "said(\"" : "output(\"") << output->text << "\")";
    else if (const auto* completed = std::get_if<E::Completed>(&event.value))
        *out << "completed(" << completed->exitCode << ")";
    else if (const auto* browser = std::get_if<E::OpenBrowser>(&event.value))
        *out << "openBrowser(" << browser->url << ", " << browser->code.value_or("-") << ")";
    else
        *out << "canceled";
}

namespace test {

using RunnerEvent = SetupRemediationRunner::Event;
using RunnerEvents = std::vector<RunnerEvent>;

inline RunnerEvent line(std::string text) {
    return RunnerEvent::Output{std::move(text)};
}
/// One of the runner's own lines.
inline RunnerEvent said(std::string text) {
    return RunnerEvent::Output{std::move(text), OutputKind::own};
}
inline RunnerEvent done(int code) {
    return RunnerEvent::Completed{code};
}
inline RunnerEvent stopped() {
    return RunnerEvent::Canceled{};
}

/// The output lines of `events`, in order; only those of `kind` when one is given.
inline std::vector<std::string> linesOf(const RunnerEvents& events, std::optional<OutputKind> kind = {}) {
    std::vector<std::string> lines;
    for (const auto& event : events) {
        const auto* output = std::get_if<RunnerEvent::Output>(&event.value);
        if (output && (!kind || output->kind == *kind))
            lines.push_back(output->text);
    }
    return lines;
}

/// A Mac in miniature for the fix runner: a temporary home, stand-in tools on PATH (inherited by the login
/// shells) and at the absolute paths the runner calls, the machine's fixed folders mapped into a temporary
/// tree, and one log to which every stand-in appends "<tool> <arguments>" as it starts.
class RunnerScene {
  public:
    RunnerScene() {
        m_log = m_logs.path() / "starts";
        std::ofstream(m_log).flush();
        fileSystem =
            std::make_shared<PathMappingFileSystem>(std::make_shared<LiveFileSystem>(), m_machine.path());
        for (const char* tool : {"uv", "mise", "claude"})
            onPath(tool, "exit 0");
        onPath("curl", "echo 'echo installer ran'");
        // git clone leaves a skill folder (and any subpath) in the scratch folder it is given.
        onPath("git",
               "if [ \"$1\" = clone ]; then mkdir -p \"$5/skills/demo\" && echo '# Demo' > "
               "\"$5/skills/demo/SKILL.md\" && echo '# Root' > \"$5/SKILL.md\"; fi\nexit 0");
        onPath("gh",
               "case \"$2\" in\n"
               "  login) echo '! First copy your one-time code: AB12-CD34'; echo 'Open this URL to continue "
               "in your web browser: https://github.com/login/device';;\n"
               "  status) exit 0;;\nesac\nexit 0");
        atPath(std::string(kAppleSiliconBrewPath), "echo \"==> Installing $*\"\nexit 0");
        atPath("/usr/bin/sudo", "echo 'Downloading Command Line Tools'\nexit 0");
    }

    /// A stand-in found on PATH; it logs its start, then runs `body`.
    void onPath(const std::string& name, const std::string& body) {
        m_path.add(name, "#!/bin/sh\necho \"" + name + " $*\" >> " + shellSingleQuoted(m_log.string()) +
                             "\n" + body + "\n");
    }
    /// Takes the stand-in `name` off PATH, so that the login shell finds no such tool.
    void offPath(const std::string& name) const { std::filesystem::remove(m_path.tools() / name); }
    /// A stand-in at the absolute path `tool`; it logs its start (by the tool's file name), then runs `body`.
    void atPath(const std::string& tool, const std::string& body) {
        const auto name = std::filesystem::path(tool).filename().string();
        m_bin.add(tool, "#!/bin/sh\necho \"" + name + " $*\" >> " + shellSingleQuoted(m_log.string()) + "\n" +
                            body + "\n");
    }
    /// Puts a file at `path` of the mapped machine (`kAppleSiliconBrewPath`).
    void onMachine(const std::string& path, const std::string& contents = "") {
        const auto real = fileSystem->mapped(path);
        std::filesystem::create_directories(real.parent_path());
        std::ofstream(real) << contents;
    }

    [[nodiscard]] SetupRemediationRunner runner(bool withHomebrew = true) const {
        SetupRemediationRunner runner;
        if (withHomebrew)
            runner.brewPath = kAppleSiliconBrewPath;
        runner.process = m_bin.runner();
        runner.fs = fileSystem;
        runner.http = std::make_shared<StallingHTTP>(Error{kHTTPErrorDomain, 1, "offline"});
        return runner;
    }

    RunnerEvents run(const SetupRemediation& fix, bool withHomebrew = true) const {
        auto stream = runner(withHomebrew).run(fix, "Let the test install it.");
        return drain(stream);
    }

    /// Every start logged so far, in order.
    [[nodiscard]] std::vector<std::string> starts() const {
        std::ifstream in(m_log);
        std::vector<std::string> lines;
        for (std::string text; std::getline(in, text);)
            lines.push_back(text);
        return lines;
    }
    [[nodiscard]] bool started(const std::string& prefix) const {
        for (const auto& start : starts()) {
            if (start.starts_with(prefix))
                return true;
        }
        return false;
    }

    /// Every file under the home folder with its contents, folders as "/".
    [[nodiscard]] std::map<std::string, std::string> homeSnapshot() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(home.path())) {
            const auto relative = std::filesystem::relative(entry.path(), home.path()).string();
            files[relative] = entry.is_directory() ? "/" : readFile(entry.path());
        }
        return files;
    }

    [[nodiscard]] const std::filesystem::path& temporary() const { return m_path.temporary(); }
    /// Whether no privileged (askpass) folder is left in the temporary folder.
    [[nodiscard]] bool privilegedFoldersGone() const { return m_path.privateFolders().empty(); }

    TemporaryHome home;
    std::shared_ptr<PathMappingFileSystem> fileSystem;

  private:
    TemporaryDirectory m_logs;
    TemporaryDirectory m_machine;
    StandInPath m_path;
    FakeBin m_bin;
    std::filesystem::path m_log;
};

}  // namespace test
}  // namespace quill
