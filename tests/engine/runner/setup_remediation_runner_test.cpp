#include "engine/runner/setup_remediation_runner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <set>
#include <stop_token>
#include <thread>

#include "engine/core/text.h"
#include "engine/runner/fixes.h"
#include "engine/services/child_process.h"
#include "tests/engine/runner/runner_test_kit.h"
#include "tests/support/process_watch.h"
#include "tests/support/temporary_directory.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using R = SetupRemediation;
using test::done;
using test::line;
using test::linesOf;
using test::RunnerEvent;
using test::RunnerEvents;
using test::RunnerScene;
using test::said;
using test::stopped;

const AgentSkill kBundledSkill{"avoid-ai-writing", "Avoid AI writing", "writing",
                               AgentSkill::bundle("avoid-ai-writing")};
const AgentSkill kFetchedSkill{"demo", "Demo", "demo",
                               AgentSkill::fetch("acme/skills", "skills/demo", "0123abc")};
const MCPServer kKeyedServer{
    "exa",    "Exa",        "https://mcp.exa.ai/mcp",
    "Search", std::nullopt, MCPServer::KeylessOptionalKey{"https://mcp.exa.ai/mcp?key={key}"}};
const MCPServer kOAuthServer{"linear", "Linear",     "https://mcp.linear.app/mcp",
                             "Issues", std::nullopt, MCPServer::OAuth{}};

struct FixRow {
    const char* name;
    SetupRemediation fix;
    /// Lines that must appear, in this order, among the output lines.
    std::vector<std::string> lines;
    RunnerEvent last;
    /// A start the stand-ins must have logged.
    std::string start;
    /// Extra preparation of the scene.
    std::function<void(RunnerScene&)> prepare;
    /// Every file of the home folder afterwards with a text it holds; a name ending in "/" stands for each
    /// file under that folder. Backups are the writers' own business and left out.
    std::map<std::string, std::string> home = {};
    /// Copies the user set aside by hand, beside missing shell files: each must stay, and no line may name a
    /// backup.
    bool besideUserCopies = false;
    /// Lines that must appear, in this order, among the lines the app says itself.
    std::vector<std::string> said = {};
};

constexpr const char* kUserCopy = "# set aside by hand\n";

void expectHomeFiles(const std::map<std::string, std::string>& snapshot,
                     const std::map<std::string, std::string>& expected) {
    std::set<std::string> seen;
    for (const auto& [file, contents] : snapshot) {
        if (contents == "/" || file.ends_with(".bak"))
            continue;
        const auto named = std::find_if(expected.begin(), expected.end(), [&](const auto& entry) {
            return entry.first == file || (entry.first.ends_with('/') && file.starts_with(entry.first));
        });
        if (named == expected.end()) {
            ADD_FAILURE() << "unexpected " << file << ":\n" << contents;
            continue;
        }
        EXPECT_NE(contents.find(named->second), std::string::npos) << file << ":\n" << contents;
        seen.insert(named->first);
    }
    for (const auto& entry : expected)
        EXPECT_TRUE(seen.contains(entry.first)) << "no " << entry.first;
}

bool inOrder(const std::vector<std::string>& wanted, const std::vector<std::string>& lines) {
    auto at = lines.begin();
    for (const auto& text : wanted) {
        at = std::find_if(at, lines.end(), [&](const std::string& line) { return line.starts_with(text); });
        if (at == lines.end())
            return false;
        ++at;
    }
    return true;
}

TEST(SetupRemediationRunner, RunsEveryFixOfTheCatalogueAgainstStandInTools) {
    auto withClaudeFolder = [](RunnerScene& scene) { fs::create_directories(scene.home / ".claude"); };
    auto inBothPrefixes = [](RunnerScene& scene) {
        scene.onMachine("/opt/homebrew/bin/brew");
        scene.onMachine("/usr/local/bin/brew");
    };
    // clang-format off
    const std::vector<FixRow> rows = {
        {"clt", R::installCommandLineTools(), {"Installing Apple's Command Line Tools… macOS will ask for your password once. The download can take several minutes — please keep this window open.", "Downloading Command Line Tools", "Command Line Tools installed."}, done(0), "sudo -A /bin/bash -c /usr/bin/touch", {}},
        {"clt present", R::installCommandLineTools(), {}, done(0), "", [](RunnerScene& scene) { scene.onMachine("/Library/Developer/CommandLineTools/.keep"); }},
        {"homebrew", R::installHomebrew(), {"installer ran"}, done(0), "curl -fsSL https://", {}, {}, false, {"Note: brew not found in expected locations after install"}},
        {"homebrew beside an Intel one", R::installHomebrew(), {"installer ran"}, done(0), "curl -fsSL https://", inBothPrefixes, {{".zprofile", "eval \"$(/opt/homebrew/bin/brew shellenv)\""}}, false, {"Appending brew shellenv to ~/.zprofile (so brew is fully integrated in new shells)."}},
        {"claude cli", R::installClaudeCLI(), {"==> Installing install --cask claude-code@latest", "Enabled Claude Code auto-update in ~/.zprofile (backup at "}, done(0), "brew install --cask claude-code@latest", {}, {{".zprofile", "export CLAUDE_CODE_PACKAGE_MANAGER_AUTO_UPDATE=1"}}},
        {"warp", R::installWarp(), {}, done(0), "brew install --cask warp", {}},
        {"claude desktop", R::installClaudeDesktop(), {}, done(0), "brew install --cask claude", {}},
        {"zed", R::installZed(), {}, done(0), "brew install --cask zed", {}},
        {"vs code", R::installVSCode(), {}, done(0), "brew install --cask visual-studio-code", {}},
        {"zettlr", R::installZettlr(), {}, done(0), "brew install --cask zettlr", {}},
        {"obsidian", R::installObsidian(), {}, done(0), "brew install --cask obsidian", {}},
        {"codex", R::installCodexCLI(), {}, done(0), "brew install --cask codex", {}},
        {"chatgpt", R::installChatGPTDesktop(), {}, done(0), "brew install --cask chatgpt", {}},
        {"refused password", R::installZed(), {}, stopped(), "brew install --cask zed", [](RunnerScene& scene) { scene.atPath("/opt/homebrew/bin/brew", "echo 'sudo: a password is required'\nexit 1"); }},
        {"shell", R::configureShell(), {}, done(0), "", {}, {{".env", "# export OPENAI_API_KEY=..."}, {".zprofile", "typeset -U path PATH"}, {".zshrc", "autoload -Uz compinit && compinit"}}},
        {"uv", R::installUv(), {"Installing uv (Astral's installer)…", "installer ran", "Installing the latest Python with uv…"}, done(0), "uv python install --default", {}, {{".zprofile", "export PATH=\"$HOME/.local/bin:$PATH\""}}},
        {"uv beside the user's copy", R::installUv(), {"Configured uv on PATH (~/.zprofile)."}, done(0), "uv python install --default", {}, {{".zprofile", "export PATH=\"$HOME/.local/bin:$PATH\""}}, true},
        {"claude cli beside the user's copy", R::installClaudeCLI(), {"Enabled Claude Code auto-update in ~/.zprofile."}, done(0), "brew install --cask claude-code@latest", {}, {{".zprofile", "export CLAUDE_CODE_PACKAGE_MANAGER_AUTO_UPDATE=1"}}, true},
        {"temurin beside the user's copy", R::installTemurin(), {"Set JAVA_HOME in ~/.zprofile (macOS finds `java` on its own)."}, done(0), "brew install --cask temurin", {}, {{".zprofile", "export JAVA_HOME=$(/usr/libexec/java_home)"}}, true},
        {"path beside the user's copy", R::repairPath("/opt/tools/bin"), {"Added `/opt/tools/bin` to your PATH in ~/.zprofile."}, done(0), "", {}, {{".zprofile", "export PATH=\"/opt/tools/bin:$PATH\""}}, true},
        {"homebrew path beside the user's copy", R::repairHomebrewPath(), {"Added Homebrew to your PATH in ~/.zprofile."}, done(0), "", [](RunnerScene& scene) { scene.onMachine("/opt/homebrew/bin/brew"); }, {{".zprofile", "eval \"$(/opt/homebrew/bin/brew shellenv)\""}}, true},
        {"shell beside the user's copies", R::configureShell(), {"Configured ~/.zprofile.", "Configured ~/.zshrc."}, done(0), "", {}, {{".env", "# export OPENAI_API_KEY=..."}, {".zprofile", "typeset -U path PATH"}, {".zshrc", "autoload -Uz compinit && compinit"}}, true},
        {"mise", R::installMise(), {"==> Installing install mise"}, done(0), "brew install mise", {}, {{".zprofile", "eval \"$(mise activate zsh --shims)\""}, {".zshrc", "eval \"$(mise activate zsh)\""}}},
        {"node", R::installNodeViaMise(), {"Running mise use -g node@lts…"}, done(0), "mise use -g node@lts", {}},
        {"ruby", R::installRubyViaMise(), {}, done(0), "mise use -g ruby@latest", {}},
        {"ruby pre-command fails", R::installRubyViaMise(), {}, done(3), "mise settings ruby.compile=false", [](RunnerScene& scene) { scene.onPath("mise", "[ \"$1\" = settings ] && exit 3\nexit 0"); }},
        {"rust", R::installRustViaMise(), {}, done(0), "mise use -g rust", {}},
        {"rustup", R::installRustup(), {"Installing rustup and the stable Rust toolchain…", "installer ran"}, done(0), "curl --proto =https --tlsv1.2 -sSf https://sh.rustup.rs", {}, {{".zprofile", "export PATH=\"$HOME/.cargo/bin:$PATH\""}}},
        {"temurin", R::installTemurin(), {"Set JAVA_HOME in ~/.zprofile (macOS finds `java` on its own; backup at "}, done(0), "brew install --cask temurin", {}, {{".zprofile", "export JAVA_HOME=$(/usr/libexec/java_home)"}}},
        {"temurin fails", R::installTemurin(), {}, done(5), "brew install --cask temurin", [](RunnerScene& scene) { scene.atPath("/opt/homebrew/bin/brew", "exit 5"); }},
        {"path", R::repairPath("/opt/tools/bin"), {"Added `/opt/tools/bin` to your PATH in ~/.zprofile (backup at "}, done(0), "", {}, {{".zprofile", "export PATH=\"/opt/tools/bin:$PATH\""}}},
        {"homebrew path", R::repairHomebrewPath(), {"Added Homebrew to your PATH in ~/.zprofile (backup at "}, done(0), "", [](RunnerScene& scene) { scene.onMachine("/opt/homebrew/bin/brew"); }, {{".zprofile", "eval \"$(/opt/homebrew/bin/brew shellenv)\""}}},
        {"homebrew path in both prefixes", R::repairHomebrewPath(), {"Added Homebrew to your PATH in ~/.zprofile (backup at "}, done(0), "", inBothPrefixes, {{".zprofile", "eval \"$(/opt/homebrew/bin/brew shellenv)\""}}},
        {"homebrew path without brew", R::repairHomebrewPath(), {"Homebrew isn't installed yet — nothing to repair."}, done(1), "", {}},
        {"env doc", R::documentEnvironment(), {}, done(0), "", {}},
        {"project", R::createProject(ProjectTemplate::simple), {}, done(0), "", {}, {{"Documents/AI-Simple-Project/", ""}}},
        {"bundled skill", R::installSkill(kBundledSkill), {}, done(0), "", withClaudeFolder, {{".claude/skills/avoid-ai-writing/SKILL.md", "name: avoid-ai-writing"}}},
        {"missing bundled skill", R::installSkill({"ghost", "Ghost", "", AgentSkill::bundle("no-such-skill")}), {"Couldn't find the bundled ghost skill in the app — this build may be missing its skill resources."}, done(1), "", {}},
        {"fetched skill", R::installSkill(kFetchedSkill), {"Fetching the Demo skill from acme/skills…"}, done(0), "git clone --filter=blob:none --no-checkout https://github.com/acme/skills", withClaudeFolder, {{".claude/skills/demo/SKILL.md", "# Demo"}}},
        {"fetch fails", R::installSkill(kFetchedSkill), {"Couldn't fetch demo from acme/skills."}, done(1), "git clone", [](RunnerScene& scene) { scene.onPath("git", "exit 128"); }},
        {"mcp", R::addMCPServer(kOAuthServer), {"Adding Linear to Claude Code…", "Sign in to Linear inside Claude or Codex, then restart it to finish."}, done(0), "claude mcp add --transport http linear https://mcp.linear.app/mcp -s user", {}},
        {"mcp with a key", R::addMCPServer(kKeyedServer, "sk-live&secret"), {"Adding Exa to Claude Code…", "Added exa: https://mcp.exa.ai/mcp?key=sk-l…", "key sk-l…"}, done(0), "claude mcp add --transport http exa", [](RunnerScene& scene) { scene.onPath("claude", "echo \"Added $5: $6\"\necho 'key sk-live&secret'"); }},
        {"mcp without claude", R::addMCPServer(kOAuthServer), {"Claude Code CLI isn't on your PATH — skipping it for Linear."}, done(0), "", [&](RunnerScene& scene) { withClaudeFolder(scene); scene.offPath("claude"); }},
        {"mcp registration fails", R::addMCPServer(kOAuthServer), {"Adding Linear to Claude Code…"}, done(1), "claude mcp add", [](RunnerScene& scene) { scene.onPath("claude", "[ \"$1\" = mcp ] && exit 2\nexit 0"); }},
        {"git", R::configureGit("Ada", "ada@example.com"), {"Saving your Git name and email…", "Saved to ~/.gitconfig (+ ~/.config/git/ignore)."}, done(0), "git config --global user.name Ada", {}, {{".config/git/ignore", ".DS_Store"}}},
        {"gh", R::installGh(), {}, done(0), "brew install gh", {}},
        {"github", R::githubAuth(), {"Starting GitHub sign-in…", "Signed in to GitHub. Git is ready — pushes won't ask for a password."}, done(0), "gh auth setup-git", {}},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RunnerScene scene;
        if (row.prepare)
            row.prepare(scene);
        const std::vector<fs::path> userCopies = {scene.home / ".zprofile.bak", scene.home / ".zshrc.bak"};
        if (row.besideUserCopies) {
            for (const auto& copy : userCopies)
                std::ofstream(copy) << kUserCopy;
        }
        const auto events = scene.run(row.fix);
        ASSERT_FALSE(events.empty());
        if (row.besideUserCopies) {
            for (const auto& copy : userCopies)
                EXPECT_EQ(test::readFile(copy), kUserCopy) << copy;
            for (const auto& text : linesOf(events))
                EXPECT_FALSE(contains(text, "ackup")) << text;
        }
        EXPECT_EQ(events.back(), row.last);
        EXPECT_TRUE(inOrder(row.lines, linesOf(events))) << ::testing::PrintToString(events);
        EXPECT_TRUE(inOrder(row.said, linesOf(events, OutputKind::own))) << ::testing::PrintToString(events);
        if (!row.start.empty()) {
            EXPECT_TRUE(scene.started(row.start)) << ::testing::PrintToString(scene.starts());
        } else {
            EXPECT_TRUE(scene.starts().empty()) << ::testing::PrintToString(scene.starts());
        }
        // One terminal event, at the end.
        const auto terminal = std::count_if(events.begin(), events.end(), [](const RunnerEvent& event) {
            return std::holds_alternative<RunnerEvent::Completed>(event.value) ||
                   std::holds_alternative<RunnerEvent::Canceled>(event.value);
        });
        EXPECT_EQ(terminal, 1);
        EXPECT_TRUE(scene.privilegedFoldersGone());
        expectHomeFiles(scene.homeSnapshot(), row.home);
    }
}

TEST(SetupRemediationRunner, GuardedFixesWithoutHomebrewSayOneLineAndStartNothing) {
    for (const auto& fix :
         {R::installClaudeCLI(), R::installWarp(), R::installClaudeDesktop(), R::installZed(),
          R::installVSCode(), R::installZettlr(), R::installObsidian(), R::installCodexCLI(),
          R::installChatGPTDesktop(), R::installTemurin(), R::installMise(), R::installGh()}) {
        SCOPED_TRACE(fix.id());
        RunnerScene scene;
        EXPECT_EQ(scene.run(fix, false),
                  (RunnerEvents{said("Homebrew isn't available yet — install Homebrew first."), done(-1)}));
        EXPECT_TRUE(scene.starts().empty());
        EXPECT_TRUE(scene.homeSnapshot().empty()) << "the shell files are left alone";
    }
}

TEST(SetupRemediationRunner, AFailedDownloadFailsTheUvAndRustupInstallsBeforeAnyShellEdit) {
    for (const auto& fix : {R::installUv(), R::installRustup()}) {
        SCOPED_TRACE(fix.id());
        RunnerScene scene;
        scene.onPath("curl", "exit 22");
        const auto events = scene.run(fix);
        EXPECT_EQ(events.back(), done(22));
        EXPECT_FALSE(fs::exists(scene.home / ".zprofile"));
        EXPECT_FALSE(scene.started("uv python install"));
    }
}

TEST(SetupRemediationRunner, ClaudeCodeAutoUpdateIsWrittenOnceAndOnlyAfterASuccessfulInstall) {
    RunnerScene scene;
    scene.atPath("/opt/homebrew/bin/brew", "exit 1");
    EXPECT_EQ(scene.run(R::installClaudeCLI()).back(), done(1));
    EXPECT_FALSE(fs::exists(scene.home / ".zprofile"));

    scene.atPath("/opt/homebrew/bin/brew", "exit 0");
    EXPECT_EQ(scene.run(R::installClaudeCLI()).back(), done(0));
    const auto again = scene.run(R::installClaudeCLI());
    EXPECT_EQ(again,
              (RunnerEvents{said("Claude Code auto-update is already enabled in ~/.zprofile."), done(0)}));
}

TEST(SetupRemediationRunner, SynchronousFixesHaveBufferedEveryEventWhenRunReturns) {
    RunnerScene scene;
    auto stream = scene.runner().run(R::repairPath("/opt/a \"b\" $c `d`\\e"), "");
    std::vector<RunnerEvent> events;
    while (auto event = stream.tryNext())
        events.push_back(std::move(*event));
    ASSERT_EQ(events.size(), 2U);
    EXPECT_EQ(events.back(), done(0));
    EXPECT_TRUE(stream.ended());

    std::ifstream in(scene.home / ".zprofile");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("export PATH=\"/opt/a \\\"b\\\" \\$c \\`d\\`\\\\e:$PATH\""), std::string::npos)
        << text;
    // The same folder again is found by its escaped form and written once.
    EXPECT_EQ(scene.run(R::repairPath("/opt/a \"b\" $c `d`\\e")),
              (RunnerEvents{
                  said("`/opt/a \"b\" $c `d`\\e` is already on your PATH in ~/.zprofile — nothing to do."),
                  done(0)}));
}

TEST(SetupRemediationRunner, APinAndAScratchPathHoldingQuotesReachGitAsOneWordEach) {
    RunnerScene scene;
    fs::create_directories(scene.home / ".claude");
    // Each argument on its own line, so that a split word shows.
    scene.onPath("git",
                 "for a in \"$@\"; do echo \"arg:$a\" >> \"$HOME/git-args\"; done\n"
                 "if [ \"$1\" = clone ]; then mkdir -p \"$5\" && echo '# Root' > \"$5/SKILL.md\"; fi");
    const test::ScopedVariable tmp("TMPDIR", (scene.temporary() / "it's here").string());
    fs::create_directories(scene.temporary() / "it's here");
    const AgentSkill skill{"quoted", "Quoted", "",
                           AgentSkill::fetch("acme/skills", ".", "v1'; touch pwned; '")};
    EXPECT_EQ(scene.run(R::installSkill(skill)).back(), done(0));

    std::ifstream in(scene.home / "git-args");
    std::vector<std::string> arguments;
    for (std::string text; std::getline(in, text);)
        arguments.push_back(text);
    ASSERT_EQ(arguments.size(), 9U) << ::testing::PrintToString(arguments);
    EXPECT_TRUE(arguments[4].starts_with("arg:" +
                                         (scene.temporary() / "it's here" / "quill-skill-quoted-").string()));
    EXPECT_EQ(arguments[8], "arg:v1'; touch pwned; '");
    EXPECT_TRUE(fs::exists(scene.home / ".claude/skills/quoted/SKILL.md"))
        << "a subpath of \".\" is the clone";
    EXPECT_TRUE(fs::is_empty(scene.temporary() / "it's here")) << "the scratch folder is removed";
}

TEST(SetupRemediationRunner, GithubSignInReadsTheDeviceCodeAndPageFromTheLoginTranscript) {
    struct Transcript {
        const char* name;
        const char* login;
        const char* statusExit;
        RunnerEvents browser;
        RunnerEvent last;
    };
    const std::vector<Transcript> transcripts = {
        {"web flow",
         "echo '! First copy your one-time code: 1A2B-3C4D'\n"
         "echo 'Press Enter to open github.com/login/device in your browser...'\n"
         "echo 'Open https://github.com/login/device again'",
         "0",
         {RunnerEvent::OpenBrowser{"https://github.com/login/device", "1A2B-3C4D"}},
         done(0)},
        {"pattern without code word",
         "echo 'Ticket ABCD-EFGH'\necho 'Open this URL: https://github.com/login/device'",
         "0",
         {RunnerEvent::OpenBrowser{"https://github.com/login/device", std::nullopt}},
         done(0)},
        {"closed without signing in", "echo 'error: authentication cancelled'\nexit 1", "1", {}, done(1)},
    };
    for (const auto& transcript : transcripts) {
        SCOPED_TRACE(transcript.name);
        RunnerScene scene;
        scene.onPath("gh", std::string("case \"$2\" in\n  login) ") + transcript.login +
                               ";;\n  status) exit " + transcript.statusExit + ";;\nesac");
        const auto events = scene.run(R::githubAuth());
        RunnerEvents browser;
        std::copy_if(events.begin(), events.end(), std::back_inserter(browser), [](const RunnerEvent& event) {
            return std::holds_alternative<RunnerEvent::OpenBrowser>(event.value);
        });
        EXPECT_EQ(browser, transcript.browser);
        EXPECT_EQ(events.back(), transcript.last);
        if (transcript.last == done(1)) {
            EXPECT_EQ(linesOf(events).back(),
                      "GitHub sign-in not completed. You can finish anytime by running `gh "
                      "auth login` in your terminal.");
            EXPECT_FALSE(scene.started("gh auth setup-git"));
        }
    }
}

TEST(SetupRemediationRunner, TheShellStepIsALoginShellAndReportsOneThatCannotStart) {
    RunnerScene scene;
    auto runner = scene.runner();
    {
        // An app started from the Finder has only launchd's PATH: tools are found through ~/.zprofile.
        scene.home.write(".zprofile", "export QUILL_PROFILE_MARKER=read\n");
        auto [sink, stream] = makeStream<RunnerEvent>();
        EXPECT_EQ(runner.loginShellStep("echo \"profile $QUILL_PROFILE_MARKER\"", sink, {}), 0);
        sink.finish();
        EXPECT_EQ(drain(stream), RunnerEvents{line("profile read")});
    }
    runner.process = std::make_shared<test::PathMappingProcessRunner>(
        runner.process, std::map<std::string, std::string>{{"/bin/zsh", "/nonexistent/zsh"}});
    auto [sink, stream] = makeStream<RunnerEvent>();
    EXPECT_EQ(runner.loginShellStep("true", sink, {}), -1);
    sink.finish();
    const auto events = drain(stream);
    ASSERT_EQ(events.size(), 1U);
    EXPECT_TRUE(linesOf(events).front().starts_with("Failed to start: ")) << linesOf(events).front();
}

TEST(SetupRemediationRunnerSignInTest, ACancelEndsTheSignInAtOnceWhileGhFloods) {
    // A gh that ignores the terminate request and prints without end: the sign-in ends at the Cancel, and gh
    // at the kill that closes its grace period.
    RunnerScene scene;
    const fs::path pidFile = scene.temporary() / "gh.pid";
    scene.onPath("gh", "[ \"$2\" = login ] || exit 0\necho $$ > " + shellSingleQuoted(pidFile.string()) +
                           "\ntrap '' TERM\nexec yes 'Still waiting for your one-time code'");
    const auto runner = scene.runner();
    std::stop_source stop;
    auto [sink, events] = makeStream<RunnerEvent>();
    std::thread signIn([&runner, sink, token = stop.get_token()] { fixes::githubAuth(runner, sink, token); });

    for (int lines = 0; lines < 20'000 && events.next();)
        ++lines;
    const auto canceled = std::chrono::steady_clock::now();
    events.cancel();
    stop.request_stop();
    signIn.join();
    EXPECT_LT(std::chrono::steady_clock::now() - canceled, std::chrono::seconds(1));
    EXPECT_TRUE(test::waitUntilEnded(std::atoi(test::readFile(pidFile).c_str()),
                                     ChildProcess::kTerminationGrace + std::chrono::seconds(2)));
}

}  // namespace
}  // namespace quill
