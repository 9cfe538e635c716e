#include <syslog.h>

#include "tests/support/system_log_echo.h"

namespace quill::test {

void echoSystemLogToStandardError() {
    ::openlog(nullptr, LOG_PERROR, LOG_USER);
}

}  // namespace quill::test
