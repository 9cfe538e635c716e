#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>

#include "engine/services/file_system_operating.h"
#include "engine/services/key_value_storing.h"
#include "engine/telemetry/telemetry_service.h"
#include "tests/support/loopback_server.h"

namespace quill::test {

/// Settings kept in memory. Thread-safe.
class MemoryKeyValueStore : public KeyValueStoring {
  public:
    [[nodiscard]] std::optional<std::string> string(const std::string& key) const override {
        std::lock_guard lock(m_mutex);
        const auto found = m_strings.find(key);
        return found == m_strings.end() ? std::nullopt : std::optional(found->second);
    }
    void set(const std::optional<std::string>& value, const std::string& key) const override {
        std::lock_guard lock(m_mutex);
        if (value) {
            m_strings[key] = *value;
        } else {
            m_strings.erase(key);
        }
    }
    [[nodiscard]] std::optional<bool> boolean(const std::string& key) const override {
        std::lock_guard lock(m_mutex);
        const auto found = m_bools.find(key);
        return found == m_bools.end() ? std::nullopt : std::optional(found->second);
    }
    void setBool(bool value, const std::string& key) const override {
        std::lock_guard lock(m_mutex);
        m_bools[key] = value;
    }

  private:
    mutable std::mutex m_mutex;
    mutable std::map<std::string, std::string> m_strings;
    mutable std::map<std::string, bool> m_bools;
};

/// The real disk, with the application data folder placed at `applicationSupport`. Only what the telemetry
/// service uses does anything.
class DiskFileSystem : public FileSystemOperating {
  public:
    explicit DiskFileSystem(std::filesystem::path applicationSupport)
        : m_applicationSupport(std::move(applicationSupport)) {}

    [[nodiscard]] std::filesystem::path homeDirectory() const override { return m_applicationSupport; }
    [[nodiscard]] bool fileExists(const std::string& path) const override {
        std::error_code error;
        return std::filesystem::exists(path, error);
    }
    bool fileExists(const std::string& path, bool& isDirectory) const override {
        std::error_code error;
        isDirectory = std::filesystem::is_directory(path, error);
        return std::filesystem::exists(path, error);
    }
    [[nodiscard]] bool isExecutableFile(const std::string&) const override { return false; }
    [[nodiscard]] Result<std::vector<std::string>> contentsOfDirectory(const std::string&) const override {
        return std::vector<std::string>{};
    }
    Result<void> createDirectory(const std::filesystem::path& path, bool) const override {
        std::error_code error;
        std::filesystem::create_directories(path, error);
        if (error)
            return failure(error, path);
        return {};
    }
    Result<void> removeItem(const std::filesystem::path& path) const override {
        std::error_code error;
        if (std::filesystem::remove_all(path, error) == 0 || error)
            return failure(error, path);
        return {};
    }
    Result<void> moveItem(const std::filesystem::path& source,
                          const std::filesystem::path& destination) const override {
        std::error_code error;
        std::filesystem::rename(source, destination, error);
        if (error)
            return failure(error, source);
        return {};
    }
    [[nodiscard]] Result<FileAttributes> attributesOfItem(const std::string&) const override {
        return FileAttributes{};
    }
    Result<void> setAttributes(const FileAttributes&, const std::string&) const override { return {}; }
    [[nodiscard]] Result<std::string> readString(const std::filesystem::path& path) const override {
        return readData(path);
    }
    [[nodiscard]] Result<std::string> readData(const std::filesystem::path& path) const override {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return Error{"FileSystem", 2, "Couldn't read " + path.string()};
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    Result<void> write(const std::string& text, const std::filesystem::path& path, bool) const override {
        auto temporary = path;
        temporary += ".writing";
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            if (!out)
                return Error{"FileSystem", 13, "Couldn't write " + path.string()};
            out << text;
        }
        std::error_code error;
        std::filesystem::rename(temporary, path, error);
        if (error)
            return failure(error, path);
        return {};
    }
    [[nodiscard]] Result<std::filesystem::path> userDirectory(UserDirectory, bool) const override {
        return m_applicationSupport;
    }

  private:
    static Error failure(const std::error_code& error, const std::filesystem::path& path) {
        return Error{"FileSystem", error ? error.value() : 2, error.message() + ": " + path.string()};
    }

    std::filesystem::path m_applicationSupport;
};

}  // namespace quill::test
