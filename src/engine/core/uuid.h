#pragma once

#include <string>

namespace quill {

/// A new random (version 4) UUID in canonical upper-case text.
std::string randomUUID();

}  // namespace quill
