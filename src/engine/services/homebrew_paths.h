#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/services/file_system_operating.h"

namespace quill {

/// Homebrew's bin folder under its Apple-silicon prefix and under its Intel one.
inline constexpr std::string_view kAppleSiliconHomebrewBin = "/opt/homebrew/bin";
inline constexpr std::string_view kIntelHomebrewBin = "/usr/local/bin";

/// Homebrew's bin folders, the Apple-silicon one first: a Mac moved over from Intel may still have the
/// old one.
inline constexpr std::array<std::string_view, 2> kHomebrewBinFolders{kAppleSiliconHomebrewBin,
                                                                     kIntelHomebrewBin};

/// brew itself in each bin folder.
inline constexpr std::string_view kAppleSiliconBrewPath = "/opt/homebrew/bin/brew";
inline constexpr std::string_view kIntelBrewPath = "/usr/local/bin/brew";

/// What a Homebrew tool's file must be to count: `exists` for a look at what is installed, `executable`
/// where the program is about to start it.
enum class HomebrewToolCheck { exists, executable };

/// `folder`/`name`: the tool `name` in the bin folder `folder`.
[[nodiscard]] std::string homebrewBinPath(std::string_view folder, std::string_view name);

/// The tool `name` in each of Homebrew's bin folders, in their order.
[[nodiscard]] std::vector<std::string> inHomebrewFolders(std::string_view name);

/// The path of the tool `name` in the first Homebrew bin folder where it passes `check`; nothing when in
/// neither.
[[nodiscard]] std::optional<std::string> homebrewTool(const FileSystemOperating& fs, std::string_view name,
                                                      HomebrewToolCheck check);

/// The path of brew itself, looked up as `homebrewTool` does.
[[nodiscard]] std::optional<std::string> homebrewExecutable(const FileSystemOperating& fs,
                                                            HomebrewToolCheck check);

}  // namespace quill
