#include <gtest/gtest.h>

#include "engine/products/brew/brew_prober.h"
#include "engine/products/claude/claude_probes.h"
#include "engine/products/claude/claude_setup_prober.h"
#include "engine/products/workspace_checks.h"
#include "engine/services/live_process_runner.h"
#include "tests/engine/installers/installer_test_kit.h"
#include "tests/engine/products/mac_scene.h"
#include "tests/support/temporary_home.h"

namespace quill {
namespace {

using test::MacScene;

constexpr char kHome[] = "/Users/tester";

void configureShellFiles(MacScene& mac) {
    mac.file(std::string(kHome) + "/.zprofile", "# managed\ntypeset -U path PATH\n");
    mac.file(std::string(kHome) + "/.zshrc",
             "[ -f \"$HOME/.env\" ] && set -a && source \"$HOME/.env\" && set +a\n");
    mac.file(std::string(kHome) + "/.env");
}

TEST(BrewProberTest, FillsTheBundleFromBothShellsAndTheDisk) {
    MacScene mac;
    mac.file("/opt/homebrew/bin/brew");
    mac.file("/usr/local/bin/brew");
    configureShellFiles(mac);
    mac.answer("brew --version", 0, "\n  Homebrew 4.3.1\nHomebrew/homebrew-core (git revision 1)\n\n");
    mac.answer("which -a brew", 0, "\n/opt/homebrew/bin/brew  \n\t/usr/local/bin/brew\r\n\n");

    const auto bundle = BrewProber().probe(mac.shell(), mac.fs, {});
    EXPECT_EQ(bundle.installedPrimaryToolLocations,
              (std::vector<std::string>{"/opt/homebrew/bin/brew", "/usr/local/bin/brew"}));
    EXPECT_EQ(bundle.pathVisiblePrimaryTools,
              (std::vector<std::string>{"/opt/homebrew/bin/brew", "/usr/local/bin/brew"}));
    EXPECT_EQ(bundle.versionOutput, "Homebrew 4.3.1\nHomebrew/homebrew-core (git revision 1)");
    EXPECT_EQ(bundle.versionExitCode, 0);
    EXPECT_TRUE(bundle.shellConfigured);
    EXPECT_FALSE(bundle.companionToolPresent || bundle.agentDocNeeded || bundle.projectExists ||
                 bundle.ghPresent || bundle.gitIdentitySet || bundle.ghAuthed);
}

TEST(BrewProberTest, AFailingWhichPrintsNothingUsable) {
    MacScene mac;
    mac.answer("brew --version", 1, "   \n");
    mac.answer("which -a brew", 1, "/opt/homebrew/bin/brew\n");
    const auto bundle = BrewProber().probe(mac.shell(), mac.fs, {});
    EXPECT_TRUE(bundle.pathVisiblePrimaryTools.empty());
    EXPECT_EQ(bundle.versionOutput, std::nullopt);
    EXPECT_EQ(bundle.versionExitCode, 1);
}

void addClaudeTools(MacScene& mac) {
    mac.file("/opt/homebrew/bin/claude");
    mac.file("/opt/homebrew/bin/gh");
    mac.folder("/Library/Developer/CommandLineTools");
    mac.folder(std::string(kHome) + "/Documents/AI-Simple-Project");
}

TEST(ClaudeProbesTest, ChecksAnswerFromShellAndDisk) {
    MacScene mac;
    addClaudeTools(mac);
    mac.file(std::string(kHome) + "/.claude/local/claude");
    mac.answer("which -a claude", 0,
               "/opt/homebrew/bin/claude\v/opt/homebrew/bin/claude\f \u2028/x/claude\xC2\x85\r\n");
    mac.answer("claude --version", 0, "2.1.0 (Claude Code)\n");
    mac.answer("command -v codex", 0, "/Users/tester/.npm/bin/codex\n");
    mac.answer("git config", 0);
    mac.answer("gh auth status", 0);

    const auto bundle = ClaudeSetupProber().probe(mac.shell(), mac.fs, {});
    // The full newline set splits lines; duplicates stay for the conflict count to judge.
    EXPECT_EQ(
        bundle.pathVisiblePrimaryTools,
        (std::vector<std::string>{"/opt/homebrew/bin/claude", "/opt/homebrew/bin/claude", "/x/claude"}));
    EXPECT_EQ(bundle.installedPrimaryToolLocations,
              (std::vector<std::string>{"/opt/homebrew/bin/claude", "/Users/tester/.claude/local/claude"}));
    EXPECT_EQ(bundle.versionOutput, "2.1.0 (Claude Code)");
    EXPECT_EQ(bundle.versionExitCode, 0);
    EXPECT_TRUE(bundle.companionToolPresent);
    EXPECT_TRUE(bundle.ghPresent);
    EXPECT_TRUE(bundle.gitIdentitySet);
    EXPECT_TRUE(bundle.ghAuthed);
    EXPECT_TRUE(bundle.projectExists);
    EXPECT_FALSE(bundle.shellConfigured);
    EXPECT_TRUE(bundle.agentDocNeeded);  // Claude is installed and has no note yet
    // gh was found on disk, so no shell was asked for it.
    for (const auto& script : mac.scripts())
        EXPECT_EQ(script.find("command -v gh"), std::string::npos);
}

TEST(ClaudeProbesTest, ABareMacNeverStartsGitAndAsksNoShellForToolsOnDisk) {
    MacScene mac;
    mac.file("/usr/local/bin/codex");
    const auto bundle = ClaudeProbes{mac.shell(), mac.fs}.probe();
    EXPECT_FALSE(bundle.gitIdentitySet);
    EXPECT_TRUE(bundle.companionToolPresent);
    EXPECT_EQ(bundle.versionExitCode, -1);
    for (const auto& script : mac.scripts()) {
        EXPECT_EQ(script.find("git "), std::string::npos) << script;
        EXPECT_EQ(script.find("command -v codex"), std::string::npos) << script;
    }
}

TEST(ClaudeProbesTest, AGitIdentityNeedsBothNameAndEmail) {
    // The check runs as the real script, against a git that knows only the keys listed in $HOME/keys.
    const test::TemporaryHome home;
    const test::StandInPath tools;
    tools.add("git", "[ \"$3\" = --get ] && grep -qxF \"$4\" \"$HOME/keys\"");
    test::ScriptedFileSystem files;
    files.addDirectory("/Library/Developer/CommandLineTools", {});
    const ShellRunner shell{std::make_shared<LiveProcessRunner>()};
    for (const auto& [keys, set] : std::vector<std::pair<std::string, bool>>{
             {"user.name\n", false}, {"user.email\n", false}, {"user.name\nuser.email\n", true}}) {
        home.write("keys", keys);
        EXPECT_EQ((ClaudeProbes{shell, files}.probe().gitIdentitySet), set) << keys;
    }
}

TEST(ClaudeProbesTest, EmptyVersionOutputIsAbsentButKeepsItsExitCode) {
    MacScene mac;
    mac.answer("claude --version", 0, " \n");
    mac.answer("command -v gh", 0, "\n");  // exit 0 but nothing printed: not present
    const auto bundle = ClaudeProbes{mac.shell(), mac.fs}.probe();
    EXPECT_EQ(bundle.versionOutput, std::nullopt);
    EXPECT_EQ(bundle.versionExitCode, 0);
    EXPECT_FALSE(bundle.ghPresent);
}

// Each workspace fact comes from its own answer: the CLI found is not the CLI signed in, and a lookup that
// fails is no tool, whatever it printed.
TEST(WorkspaceChecksTest, EachFactComesFromItsOwnAnswer) {
    struct Case {
        const char* name;
        int lookupExit;
        const char* lookupOutput;
        int statusExit;
        bool present;
        bool signedIn;
    };
    const std::vector<Case> cases = {
        {"present, not signed in", 0, "/usr/local/bin/gh\n", 1, true, false},
        {"signed in, not found", 1, "", 0, false, true},
        {"a failing lookup that prints a path", 1, "/usr/local/bin/gh\n", 1, false, false},
        {"both", 0, "/usr/local/bin/gh\n", 0, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MacScene mac;
        mac.answer("command -v gh", c.lookupExit, c.lookupOutput);
        mac.answer("gh auth status", c.statusExit);
        SetupProbeBundle bundle;
        probeWorkspace(mac.shell(), mac.fs, bundle);
        EXPECT_EQ(bundle.ghPresent, c.present);
        EXPECT_EQ(bundle.ghAuthed, c.signedIn);
        mac.answer("command -v codex", c.lookupExit, c.lookupOutput);
        EXPECT_EQ(toolPresent(mac.shell(), mac.fs, kCodexTool), c.present);
    }
}

// Every login shell of both probers is bounded, and a shell that runs out of time reads as nothing found.
TEST(ProberTimeLimitTest, EveryLoginShellIsBoundedAndATimeOutReadsAsNothingFound) {
    struct Prober {
        const char* name;
        std::shared_ptr<const SetupProber> prober;
        std::size_t shells;
    };
    const Prober probers[] = {{"brew", std::make_shared<const BrewProber>(), 5},
                              {"claude", std::make_shared<const ClaudeSetupProber>(), 6}};
    for (const auto& [name, prober, shells] : probers) {
        // Nothing on disk answers gh or codex, so their shells run too.
        MacScene bare;
        bare.folder("/Library/Developer/CommandLineTools");
        bare.everyShellTimesOut();
        const auto bundle = prober->probe(bare.shell(), bare.fs, {});

        const auto calls = bare.runner->calls();
        EXPECT_EQ(calls.size(), shells) << name;
        for (const auto& call : calls)
            EXPECT_EQ(call.timeLimit, kLoginShellProbeTimeLimit) << name << ": " << call.arguments.back();
        EXPECT_TRUE(bundle.pathVisiblePrimaryTools.empty()) << name;
        EXPECT_EQ(bundle.versionOutput, std::nullopt) << name;
        EXPECT_EQ(bundle.versionExitCode, -1) << name;
        EXPECT_FALSE(bundle.companionToolPresent || bundle.ghPresent || bundle.gitIdentitySet ||
                     bundle.ghAuthed)
            << name;
    }
}

}  // namespace
}  // namespace quill
