#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace quill {

enum class DiskVerdict { ok, low, critical, unmeasured };

std::string_view toRaw(DiskVerdict verdict);
std::optional<DiskVerdict> fromRawDiskVerdict(std::string_view raw);

/// What the disk check found.
struct DiskReadinessResult {
    DiskVerdict verdict = DiskVerdict::unmeasured;
    std::optional<std::int64_t> availableBytes;  ///< free bytes of the home volume, as measured
    std::int64_t worstCaseBytes = 0;             ///< what the full install may take
    std::int64_t headroomBytes = 0;              ///< what must stay free after it

    /// Whether the user should be warned: the disk is low or almost full.
    [[nodiscard]] bool needsAttention() const;

    bool operator==(const DiskReadinessResult&) const = default;
};

/// Settings of the disk check that runs before a product starts installing (bytes).
struct DiskReadinessConfig {
    std::int64_t worstCaseInstallBytes = 0;
    std::int64_t freeFloorBytes = 0;
    std::int64_t criticalFreeBytes = 0;

    /// Judges the free space of the home volume; `availableBytes` is nothing when it could not be read.
    [[nodiscard]] DiskReadinessResult evaluate(std::optional<std::int64_t> availableBytes) const;

    bool operator==(const DiskReadinessConfig&) const = default;
};

/// The free bytes of the volume holding `path`, for an unprivileged user; nothing when they cannot be read.
/// Blocking.
[[nodiscard]] std::optional<std::int64_t> availableDiskBytes(const std::filesystem::path& path);

}  // namespace quill
