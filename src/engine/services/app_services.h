#pragma once

#include <memory>

#include "engine/services/file_system_operating.h"
#include "engine/services/http_fetching.h"
#include "engine/services/key_value_storing.h"
#include "engine/services/process_running.h"

namespace quill {

/// The four services every engine part reaches the outside world through, copied by value (copies share the
/// same service objects).
struct AppServices {
    std::shared_ptr<const ProcessRunning> processRunner;
    std::shared_ptr<const HTTPFetching> http;
    std::shared_ptr<const FileSystemOperating> fs;
    std::shared_ptr<const KeyValueStoring> store;
    /// When true, screens use the profile they are given instead of surveying the machine, and the readiness
    /// checks are skipped.
    bool isFixtureMode = false;

    /// The process-wide live bundle, built once on first use.
    static const AppServices& live();
};

}  // namespace quill
