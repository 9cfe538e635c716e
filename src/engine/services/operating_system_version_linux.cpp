#include <sys/utsname.h>

#include "engine/services/system_profiler.h"

namespace quill::detail {

std::string operatingSystemVersionText() {
    utsname name{};
    if (uname(&name) != 0)
        return {};
    return name.release;
}

}  // namespace quill::detail
