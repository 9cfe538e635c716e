#pragma once

#include <cerrno>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "engine/services/file_system_operating.h"

namespace quill::test {

/// A `FileSystemOperating` that hands every call to `inner`, each path first through `route`: a test derives
/// from it and overrides only the operations it wants to fail or observe, or `route` to move paths.
class ForwardingFileSystem : public FileSystemOperating {
  public:
    explicit ForwardingFileSystem(std::shared_ptr<const FileSystemOperating> inner)
        : m_inner(std::move(inner)) {}

    [[nodiscard]] std::filesystem::path homeDirectory() const override { return m_inner->homeDirectory(); }
    [[nodiscard]] bool fileExists(const std::filesystem::path& path) const override {
        return m_inner->fileExists(route(path));
    }
    [[nodiscard]] ItemKind itemKind(const std::filesystem::path& path) const override {
        return m_inner->itemKind(route(path));
    }
    [[nodiscard]] bool isExecutableFile(const std::filesystem::path& path) const override {
        return m_inner->isExecutableFile(route(path));
    }
    [[nodiscard]] Result<std::vector<std::string>> contentsOfDirectory(
        const std::filesystem::path& path) const override {
        return m_inner->contentsOfDirectory(route(path));
    }
    Result<void> createDirectory(const std::filesystem::path& path, CreateDirectoryMode mode) const override {
        return m_inner->createDirectory(route(path), mode);
    }
    Result<void> removeItem(const std::filesystem::path& path) const override {
        return m_inner->removeItem(route(path));
    }
    Result<void> moveItem(const std::filesystem::path& source,
                          const std::filesystem::path& destination) const override {
        return m_inner->moveItem(route(source), route(destination));
    }
    [[nodiscard]] Result<FileAttributes> attributesOfItem(const std::filesystem::path& path) const override {
        return m_inner->attributesOfItem(route(path));
    }
    Result<void> setAttributes(const FileAttributes& attributes,
                               const std::filesystem::path& path) const override {
        return m_inner->setAttributes(attributes, route(path));
    }
    [[nodiscard]] Result<std::string> readString(const std::filesystem::path& path) const override {
        return m_inner->readString(route(path));
    }
    [[nodiscard]] Result<std::string> readData(const std::filesystem::path& path) const override {
        return m_inner->readData(route(path));
    }
    Result<void> write(std::string_view text, const std::filesystem::path& path, WriteMode mode,
                       std::optional<unsigned> newFilePermissions = std::nullopt) const override {
        return m_inner->write(text, route(path), mode, newFilePermissions);
    }
    [[nodiscard]] Result<std::filesystem::path> userDirectory(UserDirectory which,
                                                              IfMissing ifMissing) const override {
        return m_inner->userDirectory(which, ifMissing);
    }

  protected:
    /// Where a call about `path` goes: `path` itself, unless a derived file system moves it.
    [[nodiscard]] virtual std::filesystem::path route(const std::filesystem::path& path) const {
        return path;
    }

  private:
    std::shared_ptr<const FileSystemOperating> m_inner;
};

/// Fails every write whose file, links followed, lies outside `folder`: a test that puts a link to a device
/// in place of a file then cannot replace the device, even when the code under test is faulty.
class FencedFileSystem final : public ForwardingFileSystem {
  public:
    FencedFileSystem(std::shared_ptr<const FileSystemOperating> inner, std::filesystem::path folder)
        : ForwardingFileSystem(std::move(inner)), m_folder(std::filesystem::weakly_canonical(folder)) {}

    Result<void> write(std::string_view text, const std::filesystem::path& path, WriteMode mode,
                       std::optional<unsigned> newFilePermissions = std::nullopt) const override {
        std::error_code error;
        const auto target = std::filesystem::weakly_canonical(path, error).lexically_relative(m_folder);
        if (error || target.empty() || *target.begin() == "..")
            return fail(Error{std::string(kFileSystemErrorDomain), EPERM,
                              "The test fence refused to write " + path.string()});
        return ForwardingFileSystem::write(text, path, mode, newFilePermissions);
    }

  private:
    std::filesystem::path m_folder;
};

}  // namespace quill::test
