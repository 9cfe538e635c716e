#pragma once

namespace quill::test {

/// Makes the lines `systemLog` writes go to standard error as well, where a death test's matcher reads
/// them: in this process from now on, and in the processes it starts (a death test's own process runs the
/// test from its start, so calling this at the top of the test reaches it either way).
void echoSystemLogToStandardError();

}  // namespace quill::test
