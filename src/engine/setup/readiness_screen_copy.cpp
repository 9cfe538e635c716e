#include "engine/setup/readiness_screen_copy.h"

#include <algorithm>

namespace quill {

namespace {

constexpr std::int64_t kBytesPerGigabyte = 1'000'000'000;

// Whole units, rounded half away from zero (for counts of zero or more), never less than 1.
std::int64_t atLeastOne(std::int64_t amount, std::int64_t unit) {
    if (amount <= 0)
        return 1;
    const std::int64_t rounded = amount / unit + (amount % unit * 2 >= unit ? 1 : 0);
    return std::max<std::int64_t>(rounded, 1);
}

std::string gigabytes(std::int64_t bytes) {
    return std::to_string(atLeastOne(bytes, kBytesPerGigabyte));
}

}  // namespace

// Each text stays one whole literal, as people read it.
// clang-format off
ReadinessScreenCopy ReadinessScreenCopy::network(const NetworkReadinessResult& result) {
    ReadinessScreenCopy copy;
    copy.windowTitle = "Your connection";
    copy.continueLabel = "Continue now";
    copy.stopLabel = "Stop and try later";
    if (result.verdict == NetworkVerdict::unreachable) {
        copy.headline = "We can't reach the servers needed to install";
        copy.body =
            "The Apple and Homebrew download servers aren't responding right now. You can still try, but it may fail partway. Checking your internet connection first is recommended.";
        return copy;
    }
    const std::int64_t minutes =
        result.estimatedInstallSeconds ? atLeastOne(*result.estimatedInstallSeconds, 60) : 10;
    copy.headline = "Slow Internet Connection";
    copy.body =
        "Setting up your Mac downloads several hundred megabytes from Apple and Homebrew. On this connection that will take about " +
        std::to_string(minutes) +
        " minutes. You can continue now, or stop and try again later when your connection is faster. Nothing has changed on your Mac yet.";
    return copy;
}

ReadinessScreenCopy ReadinessScreenCopy::disk(const DiskReadinessResult& result) {
    ReadinessScreenCopy copy;
    copy.windowTitle = "Your disk space";
    copy.continueLabel = "Continue anyway";
    copy.stopLabel = "Stop and free up space";
    if (result.verdict == DiskVerdict::critical) {
        const std::string free = result.availableBytes ? gigabytes(*result.availableBytes) : "a few";
        copy.headline = "Your Mac is almost out of space";
        copy.body = "Your Mac has only about " + free +
                    " GB free. Installing new software now is likely to fail partway and may leave your Mac unstable. Freeing up space first is strongly recommended.";
        return copy;
    }
    const std::string free = result.availableBytes ? gigabytes(*result.availableBytes) : "a little";
    copy.headline = "Low on disk space";
    copy.body = "Setting up your Mac can add up to about " + gigabytes(result.worstCaseBytes) +
                " GB if you install everything we recommend. Your Mac has about " + free +
                " GB free right now. You can continue and choose fewer items, free up some space first, or stop and come back later. Nothing has changed on your Mac yet.";
    return copy;
}

// clang-format on

}  // namespace quill
