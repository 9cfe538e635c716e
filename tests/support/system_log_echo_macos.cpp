#include <cstdlib>

#include "tests/support/system_log_echo.h"

namespace quill::test {

void echoSystemLogToStandardError() {
    // The unified log mirrors a process's lines to standard error when this is set as the process starts.
    ::setenv("OS_ACTIVITY_DT_MODE", "YES", 1);
}

}  // namespace quill::test
