#include <os/log.h>

#include <string>

#include "engine/core/system_log.h"

namespace quill {

void systemLog(std::string_view text) {
    const std::string line(text);
    os_log(OS_LOG_DEFAULT, "%{public}s", line.c_str());
}

}  // namespace quill
