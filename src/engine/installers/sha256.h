#pragma once

#include <filesystem>
#include <stop_token>
#include <string>
#include <string_view>

#include "engine/core/result.h"

namespace quill {

/// The SHA-256 digest of `data` as 64 lower-case hexadecimal digits.
std::string sha256Hex(std::string_view data);

/// The SHA-256 digest of one regular file as `sha256Hex` text, read in 1 MiB pieces, so that a package of any
/// size is hashed without being held in memory. Fails with the file system's error when the file cannot be
/// read or is not a regular file, and with a cancellation ("FileSystem", ECANCELED) when `stop` is requested
/// between two pieces. Blocking.
Result<std::string> sha256OfFile(const std::filesystem::path& path, std::stop_token stop = {});

}  // namespace quill
