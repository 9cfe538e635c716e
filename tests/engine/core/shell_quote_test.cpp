#include "engine/core/shell_quote.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace quill {
namespace {

/// Runs `script` with `/bin/zsh -c` and returns its standard output (empty when zsh cannot run).
std::string runZsh(const std::string& script) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
    const char* argv[] = {"/bin/zsh", "-f", "-c", script.c_str(), nullptr};
    pid_t pid = 0;
    const int started =
        posix_spawn(&pid, "/bin/zsh", &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    std::string output;
    char buffer[4096];
    ssize_t length = 0;
    while (started == 0 && (length = ::read(pipeFds[0], buffer, sizeof(buffer))) > 0) {
        output.append(buffer, static_cast<std::size_t>(length));
    }
    ::close(pipeFds[0]);
    if (started == 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    return output;
}

/// Random values made of the characters that shells treat specially, plus plain and non-ASCII text.
std::vector<std::string> randomValues(bool withDollarAndBacktick) {
    std::vector<std::string> pieces = {"a",
                                       "Z",
                                       " ",
                                       "\"",
                                       "'",
                                       "\\",
                                       "\n",
                                       "\t",
                                       "*",
                                       "?",
                                       "!",
                                       "~",
                                       "#",
                                       ";",
                                       "&",
                                       "|",
                                       "<",
                                       ">",
                                       "(",
                                       ")",
                                       "{",
                                       "}",
                                       "[",
                                       "]",
                                       "%",
                                       "^",
                                       "=",
                                       ",",
                                       "\xC3\xA9",
                                       "\xE2\x80\x94",
                                       "\xF0\x9F\x98\x80",
                                       "'\\''",
                                       "\\\"",
                                       "\r"};
    if (withDollarAndBacktick) {
        for (const char* piece : {"$", "`", "$(", "${", "$HOME", "`id`", "\\$", "$'x'"})
            pieces.emplace_back(piece);
    }
    std::mt19937 random(20240611);
    std::vector<std::string> values = {"", "'", "\\", "plain", "two words", "trailing\\"};
    for (int i = 0; i < 300; ++i) {
        std::string value;
        const int length = static_cast<int>(random() % 12);
        for (int j = 0; j < length; ++j)
            value += pieces[random() % pieces.size()];
        values.push_back(value);
    }
    return values;
}

/// Prints every value through zsh, each ended by a NUL, and returns what came back.
std::vector<std::string> roundTrip(const std::vector<std::string>& values,
                                   const std::function<std::string(const std::string&)>& line) {
    std::string script;
    for (const auto& value : values)
        script += line(value) + "\n";
    const std::string output = runZsh(script);
    std::vector<std::string> back;
    std::size_t start = 0;
    for (std::size_t end; (end = output.find('\0', start)) != std::string::npos; start = end + 1) {
        back.push_back(output.substr(start, end - start));
    }
    return back;
}

TEST(ShellQuoteTest, FixedForms) {
    EXPECT_EQ(shellSingleQuoted("it's"), "'it'\\''s'");
    EXPECT_EQ(shellSingleQuoted(""), "''");
    EXPECT_EQ(shellDoubleQuoted("a \"b\" \\c"), "\"a \\\"b\\\" \\\\c\"");
    EXPECT_EQ(shellEscapedForDoubleQuotes("\\$`\"x"), "\\\\\\$\\`\\\"x");
}

TEST(ShellQuoteTest, SingleQuotedValuesReachTheCommandUnchanged) {
    const auto values = randomValues(true);
    const auto back = roundTrip(
        values, [](const std::string& value) { return "printf '%s\\0' " + shellSingleQuoted(value); });
    EXPECT_EQ(back, values);
}

TEST(ShellQuoteTest, ExportPathLineKeepsTheValueUnchanged) {
    const auto values = randomValues(true);
    const auto back = roundTrip(values, [](const std::string& value) {
        return "export PATH=\"" + shellEscapedForDoubleQuotes(value) + "\"; printf '%s\\0' \"$PATH\"";
    });
    EXPECT_EQ(back, values);
}

TEST(ShellQuoteTest, DoubleQuotedValuesWithoutExpansionsReachTheCommandUnchanged) {
    const auto values = randomValues(false);
    const auto back = roundTrip(
        values, [](const std::string& value) { return "printf '%s\\0' " + shellDoubleQuoted(value); });
    EXPECT_EQ(back, values);
}

}  // namespace
}  // namespace quill
