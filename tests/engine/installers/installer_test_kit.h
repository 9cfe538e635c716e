#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/stream.h"
#include "engine/installers/installer_event.h"
#include "engine/services/file_system_operating.h"
#include "engine/services/http_fetching.h"
#include "engine/services/live_file_system.h"
#include "engine/setup/product_config.h"
#include "tests/support/eventually.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/process_printers.h"
#include "tests/support/temporary_directory.h"

namespace quill {

namespace test {

inline InstallerEvent out(std::string text) {
    return InstallerEvent::Output{std::move(text)};
}
/// One of the installer's own lines.
inline InstallerEvent own(std::string text) {
    return ownLine(std::move(text));
}
inline InstallerEvent completed(int code) {
    return InstallerEvent::Completed{code};
}
inline InstallerEvent canceled() {
    return InstallerEvent::Canceled{};
}

/// The product the installers' tests run as: blocks headed "Quillstart" without a date, cache folder
/// "QuillCache".
inline ProductConfig installerProduct() {
    ProductConfig product = ProductConfig::javaDiagnostic();
    product.shellConfigMarker = "Quillstart";
    product.datedShellMarker = false;
    product.cacheDirName = "QuillCache";
    return product;
}

/// The permission bits of `path` (0 when it cannot be read).
inline unsigned modeOf(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

/// Sets (or, with nothing, removes) an environment variable for the scope and puts the old value back.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const std::optional<std::string>& value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedVariable() {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

  private:
    const char* m_name;
    std::optional<std::string> m_old;
};

/// A folder of stand-in tools put first on the test process's PATH (children inherit it), and TMPDIR pointed
/// at a fresh folder, so the private askpass folders can be watched.
class StandInPath {
  public:
    StandInPath()
        : m_path("PATH",
                 m_tools.path().string() + ":" + std::string(std::getenv("PATH") ? std::getenv("PATH") : "")),
          m_tmp("TMPDIR", m_temporary.path().string()) {}

    /// Writes an executable stand-in named `name`.
    std::filesystem::path add(const std::string& name, const std::string& script) const {
        const auto path = m_tools.write(name, script.starts_with("#!") ? script : "#!/bin/sh\n" + script);
        std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add);
        return path;
    }
    [[nodiscard]] const std::filesystem::path& tools() const { return m_tools.path(); }
    [[nodiscard]] const std::filesystem::path& temporary() const { return m_temporary.path(); }

    /// The private askpass folders now in TMPDIR.
    [[nodiscard]] std::vector<std::filesystem::path> privateFolders() const {
        std::vector<std::filesystem::path> found;
        for (const auto& entry : std::filesystem::directory_iterator(m_temporary.path())) {
            if (entry.path().filename().string().starts_with("tvn-priv-"))
                found.push_back(entry.path());
        }
        return found;
    }

  private:
    TemporaryDirectory m_tools;
    TemporaryDirectory m_temporary;
    ScopedVariable m_path;
    ScopedVariable m_tmp;
};

/// The live file system with failures injected: an operation fails when `failing` returns true for its name
/// ("write", "remove", "read") and path.
class FaultyFileSystem final : public ForwardingFileSystem {
  public:
    using Rule = std::function<bool(std::string_view operation, const std::filesystem::path& path)>;
    explicit FaultyFileSystem(
        Rule failing, std::shared_ptr<const FileSystemOperating> inner = std::make_shared<LiveFileSystem>())
        : ForwardingFileSystem(std::move(inner)), m_failing(std::move(failing)) {}

    Result<void> removeItem(const std::filesystem::path& path) const override {
        if (m_failing("remove", path))
            return fail(injectedError(path));
        return ForwardingFileSystem::removeItem(path);
    }
    Result<std::string> readString(const std::filesystem::path& path) const override {
        if (m_failing("read", path))
            return fail(injectedError(path));
        return ForwardingFileSystem::readString(path);
    }
    Result<void> write(std::string_view text, const std::filesystem::path& path, WriteMode mode,
                       std::optional<unsigned> newFilePermissions) const override {
        if (m_failing("write", path))
            return fail(injectedError(path));
        return ForwardingFileSystem::write(text, path, mode, newFilePermissions);
    }

    static Error injectedError(const std::filesystem::path& path) {
        return Error{"FileSystem", 5, "Couldn't use " + path.string() + ": Input/output error"};
    }

  private:
    Rule m_failing;
};

/// An HTTP service whose calls either fail at once with `error`, or, without one, wait until stopped (30 s at
/// most) and fail as cancelled. Counts the calls.
class StallingHTTP final : public HTTPFetching {
  public:
    explicit StallingHTTP(std::optional<Error> error = std::nullopt) : m_error(std::move(error)) {}

    Result<HTTPDataResult> data(const HTTPRequest& /*request*/, std::stop_token stop) const override {
        return fail(answer(stop));
    }
    Result<HTTPDownloadResult> download(const std::string& /*url*/, std::stop_token stop) const override {
        return fail(answer(stop));
    }
    Result<HTTPByteCount> bytes(const HTTPRequest& /*request*/, std::int64_t /*maxBytes*/,
                                std::chrono::milliseconds /*timeLimit*/,
                                std::stop_token stop) const override {
        return fail(answer(stop));
    }
    [[nodiscard]] int calls() const {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

  private:
    Error answer(const std::stop_token& stop) const {
        std::unique_lock lock(m_mutex);
        ++m_calls;
        if (m_error)
            return *m_error;
        m_woken.wait_for(lock, stop, std::chrono::seconds(30), [] { return false; });
        return Error{kHTTPErrorDomain, static_cast<int>(HTTPErrorCode::cancelled), "cancelled"};
    }

    std::optional<Error> m_error;
    mutable std::mutex m_mutex;
    mutable std::condition_variable_any m_woken;
    mutable int m_calls = 0;
};

}  // namespace test
}  // namespace quill
