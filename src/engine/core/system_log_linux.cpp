#include <syslog.h>

#include <string>

#include "engine/core/system_log.h"

namespace quill {

void systemLog(std::string_view text) {
    const std::string line(text);
    syslog(LOG_USER | LOG_NOTICE, "%s", line.c_str());
}

}  // namespace quill
