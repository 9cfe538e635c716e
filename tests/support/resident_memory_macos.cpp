#include <mach/mach.h>

#include "tests/support/resident_memory.h"

namespace quill::test {

std::size_t residentBytes() {
    mach_task_basic_info_data_t info{};
    mach_msg_type_number_t count = MACH_TASK_BASIC_INFO_COUNT;
    if (task_info(mach_task_self(), MACH_TASK_BASIC_INFO, reinterpret_cast<task_info_t>(&info), &count) !=
        KERN_SUCCESS)
        return 0;
    return static_cast<std::size_t>(info.resident_size);
}

}  // namespace quill::test
