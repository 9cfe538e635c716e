#include "engine/installers/shell_configurator.h"

#include <gtest/gtest.h>

#include <map>

#include "engine/services/live_file_system.h"
#include "tests/engine/installers/installer_test_kit.h"
#include "tests/support/scripted_file_system.h"
#include "tests/support/temporary_home.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

constexpr const char* kComplete =
    "Shell configuration complete. The changes apply automatically from now on.";
constexpr const char* kEnvCreated =
    "Created ~/.env (permissions 600) with commented placeholders — add your API keys there.";
constexpr const char* kEnvKept = "~/.env already exists — leaving it untouched (add keys there yourself).";

class ShellConfiguratorTest : public ::testing::Test {
  protected:
    /// Every file of the home folder with its text and modification time.
    [[nodiscard]] std::map<std::string, std::pair<std::string, fs::file_time_type>> snapshot() const {
        std::map<std::string, std::pair<std::string, fs::file_time_type>> found;
        for (const auto& entry : fs::directory_iterator(home.path())) {
            if (entry.is_regular_file())
                found[entry.path().filename()] = {test::readFile(entry.path()), entry.last_write_time()};
        }
        return found;
    }
    [[nodiscard]] std::string configured(const char* name) const {
        return "Configured ~/" + std::string(name) + " (backup at " + (home / name).string() + ".bak).";
    }

    test::TemporaryHome home;
    std::shared_ptr<const LiveFileSystem> files = std::make_shared<LiveFileSystem>();
    ScopedProductConfig product{test::installerProduct()};
};

TEST_F(ShellConfiguratorTest, FreshHomeGetsAllThreeFilesOnceAndAgainNothing) {
    const ShellConfigurator shell(files);
    EXPECT_FALSE(ShellConfigurator::isConfigured(*files));
    EXPECT_EQ(shell.configure(),
              (ShellConfigurator::Report{
                  {configured(".zprofile"), configured(".zshrc"), kEnvCreated, kComplete}, true}));

    EXPECT_EQ(test::readFile(home / ".zprofile"),
              "# ~/.zprofile — PATH + environment, loaded once per login shell\n\n"
              "# Quillstart — shell environment\ntypeset -U path PATH\n");
    EXPECT_EQ(test::readFile(home / ".zprofile.bak"),
              "# ~/.zprofile — PATH + environment, loaded once per login shell\n");
    EXPECT_EQ(test::readFile(home / ".zshrc"),
              "# ~/.zshrc — aliases, completions, prompt (interactive shells)\n\n"
              "# Quillstart — interactive shell\n"
              "if type brew >/dev/null 2>&1; then\n"
              "  FPATH=\"$(brew --prefix)/share/zsh/site-functions:$FPATH\"\n"
              "fi\n"
              "autoload -Uz compinit && compinit\n"
              "[ -f \"$HOME/.env\" ] && set -a && source \"$HOME/.env\" && set +a\n");
    const std::string env = test::readFile(home / ".env");
    EXPECT_EQ(env,
              "# ~/.env — API keys for MCP servers and CLIs (sourced by ~/.zshrc). Fill in real values.\n"
              "# Uncomment a line and paste your own value.\n"
              "# export ANTHROPIC_API_KEY=...\n"
              "# export OPENAI_API_KEY=...\n"
              "# Example vendor-specific MCP key (rename per server):\n"
              "# export BRAVE_API_KEY=...\n");
    EXPECT_EQ(fs::status(home / ".env").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(ShellConfigurator::isConfigured(*files));

    const auto before = snapshot();
    EXPECT_EQ(shell.configure(), (ShellConfigurator::Report{
                                     {"~/.zprofile is already configured — nothing to do.",
                                      "~/.zshrc is already configured — nothing to do.", kEnvKept, kComplete},
                                     true}));
    EXPECT_EQ(snapshot(), before);
}

TEST_F(ShellConfiguratorTest, EachFileIsHandledOnItsOwnAndAnUnreadableOneIsLeftAlone) {
    const std::string zshrcDone = "source \"$HOME/.env\"\n";
    const std::string injected = test::FaultyFileSystem::injectedError(home / ".zshrc").message;
    struct Case {
        const char* name;
        std::map<std::string, std::string> before;
        test::FaultyFileSystem::Rule failing;
        std::function<Lines()> lines;
        bool success;
        bool configuredAfter;
        std::map<std::string, std::string> after;  // texts that must hold afterwards ("-": no such file)
    };
    const std::vector<Case> cases = {
        {"a commented setting counts as configured",
         {{".zprofile", "# typeset -U path PATH\n"}, {".zshrc", zshrcDone}, {".env", ""}},
         nullptr,
         [&] {
             return Lines{"~/.zprofile is already configured — nothing to do.",
                          "~/.zshrc is already configured — nothing to do.", kEnvKept, kComplete};
         },
         true,
         false,
         {{".zprofile", "# typeset -U path PATH\n"}, {".zprofile.bak", "-"}}},
        {"~/.zshrc cannot be written",
         {{".env", "KEY=1\n"}},
         [&](std::string_view operation, const fs::path& path) {
             return operation == "write" && path == home / ".zshrc";
         },
         [&] {
             return Lines{configured(".zprofile"),
                          "Couldn't update ~/.zshrc: Couldn't write file: " + injected, kEnvKept};
         },
         false,
         false,
         {{".env", "KEY=1\n"}}},
        {"~/.zprofile is not UTF-8",
         {{".zprofile", "export A=\xFF\n"}},
         nullptr,
         [&] {
             return Lines{
                 "Couldn't update ~/.zprofile: " + files->readString(home / ".zprofile").error().message,
                 configured(".zshrc"), kEnvCreated};
         },
         false,
         false,
         {{".zprofile", "export A=\xFF\n"}, {".zprofile.bak", "-"}}},
        {"the user's own copies beside missing files stay as they are",
         {{".zprofile.bak", "export MINE=1\n"}, {".zshrc.bak", ""}},
         nullptr,
         [&] {
             return Lines{"Configured ~/.zprofile.", "Configured ~/.zshrc.", kEnvCreated, kComplete};
         },
         true,
         true,
         {{".zprofile.bak", "export MINE=1\n"}, {".zshrc.bak", ""}}},
        {"the user's own copies beside blank files stay as they are",
         {{".zprofile", ""},
          {".zprofile.bak", "export MINE=1\n"},
          {".zshrc", " \n\t\n"},
          {".zshrc.bak", "alias mine=1\n"}},
         nullptr,
         [&] {
             return Lines{"Configured ~/.zprofile.", "Configured ~/.zshrc.", kEnvCreated, kComplete};
         },
         true,
         true,
         {{".zprofile.bak", "export MINE=1\n"}, {".zshrc.bak", "alias mine=1\n"}}},
        // Not white space: the block follows them, with no header seeded in their place.
        {"the user's own copies beside a byte-order mark or NUL bytes stay as they are",
         {{".zprofile", "\xEF\xBB\xBF\n"},
          {".zprofile.bak", "export MINE=1\n"},
          {".zshrc", std::string(2, '\0')},
          {".zshrc.bak", "alias mine=1\n"}},
         nullptr,
         [&] {
             return Lines{"Configured ~/.zprofile.", "Configured ~/.zshrc.", kEnvCreated, kComplete};
         },
         true,
         true,
         {{".zprofile", "\xEF\xBB\xBF\n\n# Quillstart — shell environment\ntypeset -U path PATH\n"},
          {".zprofile.bak", "export MINE=1\n"},
          {".zshrc.bak", "alias mine=1\n"}}},
        {"an existing file's copy replaces an older one",
         {{".zprofile", "export A=1\n"}, {".zprofile.bak", "export MINE=1\n"}, {".env", ""}},
         nullptr,
         [&] {
             return Lines{configured(".zprofile"), configured(".zshrc"), kEnvKept, kComplete};
         },
         true,
         true,
         {{".zprofile.bak", "export A=1\n"},
          {".zshrc.bak", "# ~/.zshrc — aliases, completions, prompt (interactive shells)\n"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* name : {".zprofile", ".zprofile.bak", ".zshrc", ".zshrc.bak", ".env"})
            fs::remove(home / name);
        for (const auto& [name, text] : c.before)
            home.write(name, text);
        const auto faulty = std::make_shared<test::FaultyFileSystem>(
            c.failing ? c.failing : [](auto, const auto&) { return false; });
        EXPECT_EQ(ShellConfigurator(faulty).configure(), (ShellConfigurator::Report{c.lines(), c.success}));
        EXPECT_EQ(ShellConfigurator::isConfigured(*faulty), c.configuredAfter);
        for (const auto& [name, text] : c.after) {
            if (text == "-")
                EXPECT_FALSE(fs::exists(home / name)) << name;
            else
                EXPECT_EQ(test::readFile(home / name), text) << name;
        }
    }
}

TEST_F(ShellConfiguratorTest, SingleLinesAreAddedOnceEach) {
    const ShellConfigurator shell(files);
    home.write(".zprofile", "command -v mise >/dev/null 2>&1 && eval \"$(mise activate zsh --shims)\"\n");
    EXPECT_EQ(shell.configureMise(), (Lines{"mise shims (~/.zprofile) is already set — nothing to do.",
                                            "Configured mise activate (~/.zshrc)."}));
    EXPECT_EQ(test::readFile(home / ".zshrc"),
              "# Quillstart — mise (interactive)\ncommand -v mise >/dev/null 2>&1 && eval \"$(mise activate "
              "zsh)\"\n");

    const auto faulty =
        std::make_shared<test::FaultyFileSystem>([&](std::string_view operation, const fs::path& path) {
            return operation == "write" && path == home / ".zprofile.bak";
        });
    EXPECT_EQ(ShellConfigurator(faulty).configureCargoPath(),
              Lines{"Couldn't configure Rust (cargo) on PATH (~/.zprofile): Couldn't write backup file: " +
                    test::FaultyFileSystem::injectedError(home / ".zprofile.bak").message});
}

constexpr char kZprofile[] = "/Users/tester/.zprofile";
constexpr char kZshrc[] = "/Users/tester/.zshrc";
constexpr char kEnv[] = "/Users/tester/.env";

TEST(ShellConfiguratorQueryTest, ConfiguredOnlyWithBothActiveLinesAndTheEnvFile) {
    const std::string zprofile = "# ~/.zprofile\r\n  typeset -U path PATH  \r\n";
    const std::string zshrc = "[ -f \"$HOME/.env\" ] && set -a && source \"$HOME/.env\" && set +a";
    struct Row {
        const char* name;
        std::optional<std::string> zprofile;
        std::optional<std::string> zshrc;
        bool env;
        bool configured;
    };
    const Row rows[] = {
        {"all set", zprofile, zshrc, true, true},
        {"no ~/.env", zprofile, zshrc, false, false},
        {"no ~/.zshrc", zprofile, std::nullopt, true, false},
        {"no ~/.zprofile", std::nullopt, zshrc, true, false},
        {"commented out", "  # typeset -U path PATH\n", zshrc, true, false},
        {"line after a form feed", "export A=1\ftypeset -U path PATH", zshrc, true, true},
        {"not UTF-8", "typeset -U path PATH\n\xFF", zshrc, true, false},
    };
    for (const auto& row : rows) {
        test::ScriptedFileSystem files;
        if (row.zprofile)
            files.addFile(kZprofile, *row.zprofile);
        if (row.zshrc)
            files.addFile(kZshrc, *row.zshrc);
        if (row.env)
            files.addFile(kEnv, "");
        EXPECT_EQ(ShellConfigurator::isConfigured(files), row.configured) << row.name;
    }
}

}  // namespace
}  // namespace quill
