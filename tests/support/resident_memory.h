#pragma once

#include <cstddef>

namespace quill::test {

/// The bytes of memory this process has resident now; 0 where the platform does not say.
std::size_t residentBytes();

}  // namespace quill::test
