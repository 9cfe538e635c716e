#include "engine/core/file_descriptor.h"

#include <unistd.h>

#include <cerrno>

namespace quill {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        reset();
        m_fd = other.release();
    }
    return *this;
}

void FileDescriptor::reset() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool FileDescriptor::close() {
    const int fd = release();
    return fd < 0 || ::close(fd) == 0;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace quill
