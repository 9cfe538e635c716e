#include "engine/services/file_system_operating.h"

#include <cerrno>

namespace quill::fileSystemErrors {

namespace {

Error error(int code, std::string message) {
    return Error{std::string(kFileSystemErrorDomain), code, std::move(message)};
}

}  // namespace

Error failed(int code, std::string_view action, const std::filesystem::path& path) {
    return failed(std::error_code(code, std::generic_category()), action, path);
}

Error failed(const std::error_code& code, std::string_view action, const std::filesystem::path& path) {
    return error(code.value(),
                 "Couldn't " + std::string(action) + " " + path.string() + ": " + code.message());
}

Error notARegularFile(const std::filesystem::path& path, bool isDirectory) {
    return error(isDirectory ? EISDIR : EINVAL,
                 "Couldn't read " + path.string() + ": it is not a regular file");
}

Error tooLarge(const std::filesystem::path& path) {
    return error(EFBIG, "Couldn't read " + path.string() + ": it is larger than 64 MiB");
}

Error notUtf8(const std::filesystem::path& path) {
    return error(EILSEQ, "Couldn't read " + path.string() + " as text: it is not valid UTF-8");
}

}  // namespace quill::fileSystemErrors
