#include <signal.h>

#include <fstream>
#include <string>

#include "tests/support/process_watch.h"

namespace quill::test {

bool processIsRunning(pid_t pid) {
    if (pid <= 0 || ::kill(pid, 0) != 0)
        return false;
    // An orphan whose parent does not reap it stays a zombie; it has ended all the same. A pid reaped since
    // kill() reached it has no stat file left: it has ended too.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text))
        return false;
    const auto close = text.rfind(')');
    return close == std::string::npos || close + 2 >= text.size() || text[close + 2] != 'Z';
}

}  // namespace quill::test
