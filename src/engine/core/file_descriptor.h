#pragma once

#include <string_view>
#include <utility>

namespace quill {

/// A descriptor closed on destruction. Move-only.
class FileDescriptor {
  public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(); }

    [[nodiscard]] int get() const { return m_fd; }
    [[nodiscard]] bool valid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    /// Closes now, ignoring the outcome.
    void reset();
    /// Closes now and reports whether the close succeeded (a failed close can mean lost data), with errno set
    /// when it did not.
    bool close();

  private:
    int m_fd = -1;
};

/// Writes all of `bytes` to `fd`, again after an interruption; false with errno set when the system refuses.
bool writeAll(int fd, std::string_view bytes);

}  // namespace quill
