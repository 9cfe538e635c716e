#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quill::test {

/// Something other than a regular file in place of one: reads must refuse it at once, never wait on it.
enum class NotAFile { fifo, folder, linkToDevZero };
inline constexpr NotAFile kEveryNotAFile[] = {NotAFile::fifo, NotAFile::folder, NotAFile::linkToDevZero};
std::string_view toString(NotAFile kind);

/// A fresh folder under the system's temporary folder, removed with everything in it on destruction.
class TemporaryDirectory {
  public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return m_path; }
    /// Writes `contents` to `relative` (creating folders) and returns the full path.
    std::filesystem::path write(const std::filesystem::path& relative, const std::string& contents) const;
    /// Creates the folder `relative` (with parents) and returns the full path.
    std::filesystem::path makeDirectory(const std::filesystem::path& relative) const;
    /// Puts `kind` at `relative` (creating folders, replacing a file there) and returns the full path.
    std::filesystem::path makeNotAFile(const std::filesystem::path& relative, NotAFile kind) const;

  private:
    std::filesystem::path m_path;
};

/// Reads a whole file as bytes; empty when it cannot be read.
std::string readFile(const std::filesystem::path& path);

}  // namespace quill::test
