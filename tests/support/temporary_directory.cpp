#include "tests/support/temporary_directory.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace quill::test {

TemporaryDirectory::TemporaryDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quill-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = std::filesystem::canonical(buffer.data());
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code error;
    // Folders made read-only by a test would stop the removal; make them writable first.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, error);
        }
    }
    std::filesystem::remove_all(m_path, error);
}

std::filesystem::path TemporaryDirectory::write(const std::filesystem::path& relative,
                                                const std::string& contents) const {
    const auto full = m_path / relative;
    std::filesystem::create_directories(full.parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out << contents;
    return full;
}

std::filesystem::path TemporaryDirectory::makeDirectory(const std::filesystem::path& relative) const {
    const auto full = m_path / relative;
    std::filesystem::create_directories(full);
    return full;
}

std::filesystem::path TemporaryDirectory::makeNotAFile(const std::filesystem::path& relative,
                                                       NotAFile kind) const {
    const auto full = m_path / relative;
    std::filesystem::create_directories(full.parent_path());
    std::filesystem::remove(full);
    switch (kind) {
        case NotAFile::fifo:
            if (::mkfifo(full.c_str(), 0600) != 0)
                throw std::system_error(errno, std::generic_category(), "mkfifo");
            break;
        case NotAFile::folder:
            std::filesystem::create_directory(full);
            break;
        case NotAFile::linkToDevZero:
            std::filesystem::create_symlink("/dev/zero", full);
            break;
    }
    return full;
}

std::string_view toString(NotAFile kind) {
    switch (kind) {
        case NotAFile::fifo:
            return "a FIFO";
        case NotAFile::folder:
            return "a folder";
        case NotAFile::linkToDevZero:
            return "a link to /dev/zero";
    }
    return "?";
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

}  // namespace quill::test
