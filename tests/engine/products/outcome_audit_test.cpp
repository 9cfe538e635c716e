#include "engine/products/outcome_audit.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/fake_process_runner.h"
#include "tests/support/scripted_file_system.h"

namespace quill {
namespace {

using test::FakeProcessRunner;
using test::processResult;
using test::ScriptedFileSystem;

TEST(OutcomeAuditTest, DependentChecksRunOnlyAfterTheirBase) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> answers;  // command fragment, output
        std::vector<OutcomeAuditSection> sections;
        std::vector<std::string> neverRun;
    };
    const std::vector<Case> cases = {
        {"no Command Line Tools: no git line, even with git present; no mise: no mise which",
         {{"git --version", "git version 2.39"}, {"mise which", "/x/node"}},
         {},
         {"git --version", "mise which"}},
        {"with both, the dependent checks run; a brew without a version line",
         {{"xcode-select -p", "/CLT"},
          {"git --version", "git version 2.39"},
          {"brew --version", "Warning: old\nHomebrew 4.4.1"},
          {"mise --version", "2024.1"},
          {"mise which node", "/x/node"},
          {"java_home", "/jdk"}},
         {{"Foundation",
           {"Command Line Tools installed", "git version 2.39", "Homebrew installed",
            "mise installed for language version management"}},
          {"Languages", {"JavaScript installed (with mise via Node)", "Java installed"}}},
         {}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        FakeProcessRunner runner;
        for (const auto& [fragment, output] : row.answers)
            runner.whenRun(FakeProcessRunner::scriptContaining(fragment), processResult(0, output));
        ScriptedFileSystem fs;
        EXPECT_EQ(buildOutcomeAudit(std::nullopt, runner, fs), row.sections);
        for (const auto& call : runner.calls()) {
            for (const auto& fragment : row.neverRun)
                EXPECT_EQ(call.arguments.back().find(fragment), std::string::npos) << call.arguments.back();
        }
    }
}

}  // namespace
}  // namespace quill
