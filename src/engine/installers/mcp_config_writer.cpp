#include "engine/installers/mcp_config_writer.h"

#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "engine/core/shell_quote.h"
#include "engine/core/text.h"
#include "engine/installers/file_tree.h"
#include "engine/services/homebrew_paths.h"

namespace quill {

namespace {

constexpr std::string_view kClaudeRegistry = ".claude.json";
constexpr std::string_view kCodexFolder = ".codex";
constexpr std::string_view kCodexConfig = "config.toml";
constexpr unsigned kPrivateMode = 0600;

/// The inside of a TOML basic string: backslash, double quote and the control characters escaped.
std::string tomlEscaped(std::string_view value) {
    std::string out;
    for (const char c : value) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F') {
                    std::array<char, 8> escape{};
                    std::snprintf(escape.data(), escape.size(), "\\u%04X", static_cast<unsigned>(c));
                    out += escape.data();
                } else {
                    out += c;
                }
        }
    }
    return out;
}

/// Whether `name` can stand as a bare TOML key.
bool isBareKey(std::string_view name) {
    if (name.empty())
        return false;
    for (const char c : name) {
        const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                             c == '_' || c == '-';
        if (!allowed)
            return false;
    }
    return true;
}

}  // namespace

std::filesystem::path MCPConfigWriter::claudeDesktopConfigDirectory() const {
    auto folder = fs->userDirectory(UserDirectory::applicationSupport, IfMissing::leave);
    const std::filesystem::path base = folder ? *folder : fs->homeDirectory() / "Library/Application Support";
    return base / "Claude";
}

std::string MCPConfigWriter::codexTable(std::string_view name, std::string_view url) {
    const std::string key = isBareKey(name) ? std::string(name) : "\"" + tomlEscaped(name) + "\"";
    return "[mcp_servers." + key + "]\nurl = \"" + tomlEscaped(url) + "\"\n";
}

bool MCPConfigWriter::codexListsServer(std::string_view text, std::string_view name) {
    const std::string bare = "[mcp_servers." + std::string(name) + "]";
    const std::string quoted = "[mcp_servers.\"" + std::string(name) + "\"]";
    const std::string escaped = "[mcp_servers.\"" + tomlEscaped(name) + "\"]";
    return contains(text, bare) || contains(text, quoted) || contains(text, escaped);
}

bool MCPConfigWriter::isConfigured(const std::string& name) const {
    const auto home = fs->homeDirectory();
    int seen = 0;
    int listing = 0;

    const auto registry = home / kClaudeRegistry;
    if (fs->fileExists(registry)) {
        ++seen;
        if (auto text = fs->readData(registry)) {
            const auto json = nlohmann::json::parse(*text, nullptr, false);
            if (json.is_object()) {
                const auto servers = json.find("mcpServers");
                if (servers != json.end() && servers->is_object() && servers->contains(name))
                    ++listing;
            }
        }
    }

    const auto config = home / kCodexFolder / kCodexConfig;
    if (fs->fileExists(config)) {
        ++seen;
        if (auto text = fs->readString(config); text && codexListsServer(*text, name))
            ++listing;
    }
    return seen > 0 && listing == seen;
}

MCPConfigWriter::CodexOutcome MCPConfigWriter::addToCodexConfig(const std::string& name,
                                                                const std::string& url) const {
    const auto folder = fs->homeDirectory() / kCodexFolder;
    if (!fs->fileExists(folder) && !homebrewTool(*fs, "codex", HomebrewToolCheck::exists)) {
        return {{}, true, false};
    }
    const auto failed = [](const Error& error) {
        return CodexOutcome{{"Couldn't write your Codex config: " + error.message}, false, true};
    };

    // Only a missing file is empty: one that cannot be read as text keeps its contents.
    const auto config = folder / kCodexConfig;
    std::string current;
    if (fs->fileExists(config)) {
        auto text = fs->readString(config);
        if (!text)
            return failed(text.error());
        current = std::move(*text);
    }
    if (codexListsServer(current, name))
        return {{name + " is already in your Codex config — left as is."}, true, true};

    const std::string separator = current.empty() ? "" : endsWithLineFeed(current) ? "\n" : "\n\n";
    const std::string updated = current + separator + codexTable(name, url);

    if (auto created = fs->createDirectory(folder, CreateDirectoryMode::withIntermediates); !created)
        return failed(created.error());
    // The configuration may hold other servers' keys: the copy and the file are private from their first
    // byte. The copy is best effort: the edit keeps every old byte of the file.
    // A blank file has nothing of the user's to keep: a ".bak" beside it is the user's own.
    if (const auto backup = folder / (std::string(kCodexConfig) + ".bak");
        !current.empty() && backupOwed(*fs, current, backup)) {
        (void)fs->write(current, backup, WriteMode::replacingItem, kPrivateMode);
    }
    if (auto written = fs->write(updated, config, WriteMode::atomicallyWithPermissions, kPrivateMode);
        !written)
        return failed(written.error());
    return {{"Added " + name + " to your Codex config."}, true, true};
}

std::string MCPConfigWriter::claudeAddCommand(const std::string& name, const std::string& url) {
    return "claude mcp add --transport http " + shellSingleQuoted(name) + " " + shellSingleQuoted(url) +
           " -s user";
}

}  // namespace quill
