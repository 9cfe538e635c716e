#include "engine/installers/shell_configurator.h"

#include "engine/core/text.h"
#include "engine/installers/file_append_writer.h"

namespace quill {

namespace {

constexpr const char* kZprofileSeed = "# ~/.zprofile — PATH + environment, loaded once per login shell";
constexpr const char* kZshrcSeed = "# ~/.zshrc — aliases, completions, prompt (interactive shells)";

constexpr std::string_view kEnvTemplate =
    "# ~/.env — API keys for MCP servers and CLIs (sourced by ~/.zshrc). Fill in real values.\n"
    "# Uncomment a line and paste your own value.\n"
    "# export ANTHROPIC_API_KEY=...\n"
    "# export OPENAI_API_KEY=...\n"
    "# Example vendor-specific MCP key (rename per server):\n"
    "# export BRAVE_API_KEY=...\n";
constexpr unsigned kPrivateMode = 0600;

/// "~/.zshrc" for ".zshrc": how messages name a file of the home folder.
std::string display(std::string_view name) {
    return "~/" + std::string(name);
}

}  // namespace

bool ShellConfigurator::isConfigured(const FileSystemOperating& fs) {
    const auto home = fs.homeDirectory();
    const auto fileHasActiveLine = [&](const char* name, std::string_view needle) {
        const auto text = fs.readString(home / name);
        return text.has_value() && FileAppendWriter::containsActiveLine(*text, needle);
    };
    return fileHasActiveLine(".zprofile", kZprofileNeedle) && fileHasActiveLine(".zshrc", kZshrcNeedle) &&
           fs.fileExists(home / ".env");
}

ShellConfigurator::Report ShellConfigurator::configure() const {
    Report report;
    configureBlock(".zprofile", kZprofileSeed, "shell environment", {std::string(kZprofileNeedle)},
                   kZprofileNeedle, report);
    configureBlock(
        ".zshrc", kZshrcSeed, "interactive shell",
        {"if type brew >/dev/null 2>&1; then", "  FPATH=\"$(brew --prefix)/share/zsh/site-functions:$FPATH\"",
         "fi", "autoload -Uz compinit && compinit",
         "[ -f \"$HOME/.env\" ] && set -a && source \"$HOME/.env\" && set +a"},
        kZshrcNeedle, report);
    createEnvFile(report.lines, report.success);
    if (report.success)
        report.lines.emplace_back(
            "Shell configuration complete. The changes apply automatically from now on.");
    return report;
}

void ShellConfigurator::configureBlock(std::string_view name, const std::string& seedComment,
                                       const std::string& label, const std::vector<std::string>& blockLines,
                                       std::string_view needle, Report& report) const {
    const auto file = m_fs->homeDirectory() / name;
    auto failed = [&](const Error& error) {
        report.lines.push_back("Couldn't update " + display(name) + ": " + error.message);
        report.success = false;
    };
    // A file we cannot read as text is the user's, not blank: neither the seed nor a block may replace it.
    if (m_fs->itemKind(file) != ItemKind::missing) {
        if (auto text = m_fs->readString(file); !text)
            return failed(text.error());
    }
    const bool seeded = seedHeaderComment(file, seedComment);
    const FileAppendWriter writer{file, m_fs};
    // Configured is judged on the whole text: a commented-out setting counts, so the user's choice stands.
    const auto proposal = writer.preview(
        blockLines, label, [needle](const std::string& text) { return contains(text, needle); });
    const auto backupWritten = writer.apply(proposal, seeded);
    if (!backupWritten)
        return failed(backupWritten.error());
    if (proposal.alreadySet)
        report.lines.push_back(display(name) + " is already configured — nothing to do.");
    else if (*backupWritten)
        report.lines.push_back("Configured " + display(name) + " (backup at " + proposal.backupPath.string() +
                               ").");
    else
        report.lines.push_back("Configured " + display(name) + ".");
}

bool ShellConfigurator::seedHeaderComment(const std::filesystem::path& file,
                                          const std::string& comment) const {
    const bool missing = m_fs->itemKind(file) == ItemKind::missing;
    if (!missing) {
        auto text = m_fs->readString(file);
        if (!text || !trimWhitespaceAndNewlines(*text).empty())
            return false;
    }
    // A failed seed leaves the file as it was; the block proposal then sees it unchanged.
    return m_fs->write(comment + "\n", file, WriteMode::atomically).has_value();
}

void ShellConfigurator::createEnvFile(std::vector<std::string>& lines, bool& success) const {
    const auto file = m_fs->homeDirectory() / ".env";
    if (m_fs->fileExists(file)) {
        lines.emplace_back("~/.env already exists — leaving it untouched (add keys there yourself).");
        return;
    }
    auto failed = [&](const Error& error) {
        lines.push_back("Couldn't create ~/.env: " + error.message);
        success = false;
    };
    // Created private, so that no failure below ever leaves a readable file for keys.
    if (auto written = m_fs->write(kEnvTemplate, file, WriteMode::atomically, kPrivateMode); !written)
        return failed(written.error());
    FileAttributes privateMode;
    privateMode.posixPermissions = kPrivateMode;
    if (auto set = m_fs->setAttributes(privateMode, file); !set)
        return failed(set.error());
    lines.emplace_back(
        "Created ~/.env (permissions 600) with commented placeholders — add your API keys there.");
}

std::vector<std::string> ShellConfigurator::configureUvPath() const {
    return {appendLine(".zprofile", "export PATH=\"$HOME/.local/bin:$PATH\"", "uv PATH", "HOME/.local/bin",
                       "uv on PATH (~/.zprofile)")};
}

std::vector<std::string> ShellConfigurator::configureCargoPath() const {
    return {appendLine(".zprofile", "export PATH=\"$HOME/.cargo/bin:$PATH\"", "rustup PATH",
                       "HOME/.cargo/bin", "Rust (cargo) on PATH (~/.zprofile)")};
}

std::vector<std::string> ShellConfigurator::configureMise() const {
    // The interactive needle ends with ")" so that the login-shims line does not count as activation.
    return {
        appendLine(".zprofile", "command -v mise >/dev/null 2>&1 && eval \"$(mise activate zsh --shims)\"",
                   "mise (login shims)", "mise activate zsh --shims", "mise shims (~/.zprofile)"),
        appendLine(".zshrc", "command -v mise >/dev/null 2>&1 && eval \"$(mise activate zsh)\"",
                   "mise (interactive)", "mise activate zsh)", "mise activate (~/.zshrc)")};
}

std::string ShellConfigurator::appendLine(std::string_view name, const std::string& line,
                                          const std::string& label, const std::string& needle,
                                          std::string_view subject) const {
    const FileAppendWriter writer{m_fs->homeDirectory() / name, m_fs};
    auto appended = writer.append(line, label, needle, FileAppendWriter::NeedleScope::anywhere);
    if (!appended)
        return "Couldn't configure " + std::string(subject) + ": " + appended.error().message;
    if (appended->preview.alreadySet)
        return std::string(subject) + " is already set — nothing to do.";
    return "Configured " + std::string(subject) + ".";
}

}  // namespace quill
