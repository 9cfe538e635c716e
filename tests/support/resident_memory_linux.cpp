#include <unistd.h>

#include <fstream>

#include "tests/support/resident_memory.h"

namespace quill::test {

std::size_t residentBytes() {
    // The second field of statm counts resident pages.
    std::ifstream statm("/proc/self/statm");
    std::size_t size = 0;
    std::size_t resident = 0;
    if (!(statm >> size >> resident))
        return 0;
    return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

}  // namespace quill::test
