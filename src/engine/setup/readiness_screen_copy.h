#pragma once

#include <string>

#include "engine/setup/disk_readiness.h"
#include "engine/setup/network_readiness_probe.h"

namespace quill {

/// The texts of a readiness warning screen, which offers to continue or to stop.
struct ReadinessScreenCopy {
    std::string windowTitle;
    std::string headline;
    std::string body;
    std::string continueLabel;
    std::string stopLabel;

    /// The warning about the connection.
    static ReadinessScreenCopy network(const NetworkReadinessResult& result);
    /// The warning about the free disk space.
    static ReadinessScreenCopy disk(const DiskReadinessResult& result);

    bool operator==(const ReadinessScreenCopy&) const = default;
};

}  // namespace quill
