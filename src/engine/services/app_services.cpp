#include "engine/services/app_services.h"

#include "engine/services/live_file_system.h"
#include "engine/services/live_http_fetcher.h"
#include "engine/services/live_key_value_store.h"
#include "engine/services/live_process_runner.h"

namespace quill {

const AppServices& AppServices::live() {
    // Built once, on first use. Shutdown stops every task before statics are destroyed.
    static const AppServices services{
        .processRunner = std::make_shared<const LiveProcessRunner>(),
        .http = std::make_shared<const LiveHTTPFetcher>(),
        .fs = std::make_shared<const LiveFileSystem>(),
        .store = std::make_shared<const LiveKeyValueStore>(),
        .isFixtureMode = false,
    };
    return services;
}

}  // namespace quill
