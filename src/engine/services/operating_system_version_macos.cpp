#include <sys/sysctl.h>

#include <array>

#include "engine/services/system_profiler.h"

namespace quill::detail {

std::string operatingSystemVersionText() {
    std::array<char, 64> buffer{};
    std::size_t size = buffer.size();
    if (sysctlbyname("kern.osproductversion", buffer.data(), &size, nullptr, 0) != 0)
        return {};
    return std::string(buffer.data());
}

}  // namespace quill::detail
