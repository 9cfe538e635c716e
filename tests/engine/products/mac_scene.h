#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/services/shell_runner.h"
#include "tests/support/fake_process_runner.h"
#include "tests/support/scripted_file_system.h"

namespace quill::test {

/// A Mac for the products' probers and verifiers: login-shell commands answered by the fake runner (an
/// unscripted one fails to start), files by the scripted file system, home at /Users/tester.
struct MacScene {
    std::shared_ptr<FakeProcessRunner> runner = std::make_shared<FakeProcessRunner>();
    ScriptedFileSystem fs;

    [[nodiscard]] ShellRunner shell() const { return ShellRunner{runner}; }

    /// A login-shell script containing `fragment` exits with `code` after printing `output`.
    void answer(const std::string& fragment, int code, std::string output = {}) const {
        runner->whenRun(FakeProcessRunner::scriptContaining(fragment),
                        processResult(code, std::move(output)));
    }
    /// Every login-shell script runs out of time.
    void everyShellTimesOut() const {
        runner->whenRun(FakeProcessRunner::anyCallTo("/bin/zsh"), fail(processTimedOut("/bin/zsh")));
    }
    void file(const std::string& path, std::string contents = {}) { fs.addFile(path, std::move(contents)); }
    void folder(const std::string& path) { fs.addDirectory(path, {}); }

    /// The scripts the login shells ran, in order.
    [[nodiscard]] std::vector<std::string> scripts() const {
        std::vector<std::string> scripts;
        for (const auto& call : runner->calls()) {
            if (call.executable == "/bin/zsh" && call.arguments.size() == 2 && call.arguments[0] == "-lc")
                scripts.push_back(call.arguments[1]);
        }
        return scripts;
    }
};

}  // namespace quill::test
