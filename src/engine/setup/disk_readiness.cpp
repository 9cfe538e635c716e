#include "engine/setup/disk_readiness.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <limits>

#include "engine/core/raw_value_table.h"

namespace quill {

namespace {

constexpr detail::RawValueTable<DiskVerdict, 4> kVerdicts{{
    {DiskVerdict::ok, "ok"},
    {DiskVerdict::low, "low"},
    {DiskVerdict::critical, "critical"},
    {DiskVerdict::unmeasured, "unmeasured"},
}};

std::int64_t saturatingSum(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) {
        return b > 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
    }
    return sum;
}

}  // namespace

std::string_view toRaw(DiskVerdict verdict) {
    return detail::rawValueOf(kVerdicts, verdict);
}

std::optional<DiskVerdict> fromRawDiskVerdict(std::string_view raw) {
    return detail::valueOfRaw(kVerdicts, raw);
}

bool DiskReadinessResult::needsAttention() const {
    return verdict == DiskVerdict::low || verdict == DiskVerdict::critical;
}

DiskReadinessResult DiskReadinessConfig::evaluate(std::optional<std::int64_t> availableBytes) const {
    DiskReadinessResult result;
    result.availableBytes = availableBytes;
    result.worstCaseBytes = worstCaseInstallBytes;
    result.headroomBytes = freeFloorBytes;
    if (!availableBytes) {
        result.verdict = DiskVerdict::unmeasured;
    } else if (*availableBytes < criticalFreeBytes) {
        result.verdict = DiskVerdict::critical;
    } else if (*availableBytes < saturatingSum(worstCaseInstallBytes, freeFloorBytes)) {
        result.verdict = DiskVerdict::low;
    } else {
        result.verdict = DiskVerdict::ok;
    }
    return result;
}

std::optional<std::int64_t> availableDiskBytes(const std::filesystem::path& path) {
    struct statvfs volume {};
    if (::statvfs(path.c_str(), &volume) != 0)
        return std::nullopt;
    const auto bytes =
        static_cast<unsigned long long>(volume.f_bavail) * static_cast<unsigned long long>(volume.f_frsize);
    return static_cast<std::int64_t>(
        std::min<unsigned long long>(bytes, std::numeric_limits<std::int64_t>::max()));
}

}  // namespace quill
