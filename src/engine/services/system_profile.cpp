#include "engine/services/system_profile.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

namespace quill {

namespace {

template <class Flags, std::size_t N>
std::vector<std::string> identifiersOf(
    const Flags& flags, const std::array<std::pair<bool Flags::*, std::string_view>, N>& table) {
    std::vector<std::string> ids;
    for (const auto& [flag, id] : table) {
        if (flags.*flag)
            ids.emplace_back(id);
    }
    std::ranges::sort(ids);
    return ids;
}

constexpr std::array<std::pair<bool AITooling::*, std::string_view>, 14> kAIToolIDs = {{
    {&AITooling::claudeCodeDesktop, "claude-desktop"},
    {&AITooling::cursor, "cursor"},
    {&AITooling::chatgptDesktop, "chatgpt-desktop"},
    {&AITooling::vsCode, "vs-code"},
    {&AITooling::windsurf, "windsurf"},
    {&AITooling::kiro, "kiro"},
    {&AITooling::antigravity, "antigravity"},
    {&AITooling::zed, "zed"},
    {&AITooling::replit, "replit"},
    {&AITooling::warpApp, "warp"},
    {&AITooling::intellij, "intellij"},
    {&AITooling::claudeCodeCLI, "claude-code-cli"},
    {&AITooling::codexCLI, "codex-cli"},
    {&AITooling::aider, "aider"},
}};

constexpr std::array<std::pair<bool Terminals::*, std::string_view>, 7> kTerminalIDs = {{
    {&Terminals::iterm, "iterm2"},
    {&Terminals::ghostty, "ghostty"},
    {&Terminals::warp, "warp"},
    {&Terminals::hyper, "hyper"},
    {&Terminals::alacritty, "alacritty"},
    {&Terminals::kitty, "kitty"},
    {&Terminals::wezterm, "wezterm"},
}};

}  // namespace

std::vector<std::string> AITooling::installedToolIDs() const {
    return identifiersOf(*this, kAIToolIDs);
}

std::vector<std::string> Terminals::installedIDs() const {
    return identifiersOf(*this, kTerminalIDs);
}

bool SystemProfile::isLikelyDeveloper() const {
    return homebrewPrefix || sdkmanRoot || miseExecutable || jenvRoot ||
           !aiTooling.installedToolIDs().empty() || !terminals.installedIDs().empty() ||
           xcodeCommandLineToolsPath;
}

}  // namespace quill
