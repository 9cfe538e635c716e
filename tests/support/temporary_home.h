#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "tests/support/temporary_directory.h"

namespace quill::test {

/// Points HOME and the XDG folders at a fresh temporary folder for the lifetime of the object, and puts the
/// previous values back afterwards. ZDOTDIR is cleared, so that a login shell reads its files from this home.
/// Not thread-safe: create it before the test starts any thread.
class TemporaryHome {
  public:
    TemporaryHome();
    ~TemporaryHome();
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;

    /// The home folder.
    [[nodiscard]] const std::filesystem::path& path() const { return m_directory.path(); }
    /// A path inside the home folder.
    [[nodiscard]] std::filesystem::path operator/(const std::filesystem::path& relative) const {
        return path() / relative;
    }
    /// Writes `contents` to `relative` inside the home folder (creating folders) and returns the full path.
    std::filesystem::path write(const std::filesystem::path& relative, const std::string& contents) const {
        return m_directory.write(relative, contents);
    }

  private:
    TemporaryDirectory m_directory;
    std::map<std::string, std::optional<std::string>> m_saved;
};

}  // namespace quill::test
