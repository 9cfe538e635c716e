#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "engine/services/file_system_operating.h"

namespace quill {

/// Homebrew's bin folders, the Apple-silicon prefix's first: a Mac moved over from Intel may still have the
/// old one.
inline constexpr std::array<std::string_view, 2> kHomebrewBinFolders{"/opt/homebrew/bin", "/usr/local/bin"};

/// The path of the tool `name` in the first Homebrew bin folder where it exists; nothing when in neither.
std::optional<std::string> homebrewTool(const FileSystemOperating& fs, std::string_view name);

/// The path of brew itself, looked up as `homebrewTool` does.
std::optional<std::string> homebrewExecutable(const FileSystemOperating& fs);

}  // namespace quill
