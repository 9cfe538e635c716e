#pragma once

#include <sys/types.h>

#include <QTest>
#include <filesystem>
#include <fstream>
#include <vector>

#include "engine/core/shell_quote.h"
#include "tests/engine/runner/runner_test_kit.h"

namespace quill::ui::test {

/// The fix runner's stand-in tools, whose uv installer starts a grandchild and waits for it: an install that
/// runs until it is stopped, with both of its processes known once they run.
class ForkingInstall {
  public:
    ForkingInstall() {
        const auto pids = shellSingleQuoted(m_pidFile.string());
        const auto pending = shellSingleQuoted(m_pidFile.string() + ".tmp");
        scene.onPath("curl", "sleep 300 &\necho $! > " + pending + "\necho $$ >> " + pending + "\nmv " +
                                 pending + " " + pids + "\nwait");
    }

    /// The stand-in's own process and its grandchild, once both run; empty when they never start.
    [[nodiscard]] std::vector<pid_t> processes() const {
        if (!QTest::qWaitFor([&] { return std::filesystem::exists(m_pidFile); }, 20'000))
            return {};
        std::ifstream in(m_pidFile);
        std::vector<pid_t> pids;
        for (pid_t pid = 0; in >> pid;)
            pids.push_back(pid);
        return pids;
    }

    quill::test::RunnerScene scene;

  private:
    quill::test::TemporaryDirectory m_scratch;
    std::filesystem::path m_pidFile = m_scratch.path() / "pids";
};

}  // namespace quill::ui::test
