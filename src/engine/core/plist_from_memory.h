#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace quill {

/// Parses `length` bytes at `data` into `*root` with libplist's `plist_from_memory`, passed as `read`. Up to
/// libplist 2.2 it takes (data, length, root); from 2.3 on a fourth argument receives the format it found,
/// which we leave out. The form is chosen from the function's own type, so either generation's header builds.
/// `*root` stays null when the data does not parse.
template <typename Read, typename Root>
void plistFromMemory(Read read, const char* data, std::uint32_t length, Root* root) {
    if constexpr (std::is_invocable_v<Read, const char*, std::uint32_t, Root*, std::nullptr_t>)
        read(data, length, root, nullptr);
    else
        read(data, length, root);
}

}  // namespace quill
