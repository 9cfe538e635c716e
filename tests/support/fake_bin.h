#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "engine/services/live_process_runner.h"
#include "engine/services/process_running.h"
#include "tests/support/temporary_directory.h"

namespace quill::test {

/// The live runner's waits cut short, so that tests which wait one out stay quick. The program's own values
/// are each pinned by one test.
inline constexpr LiveProcessRunner::Options kShortWaits{.terminationGrace = std::chrono::milliseconds(200),
                                                        .exitGrace = std::chrono::milliseconds(200)};

/// The live runner with `kShortWaits`.
inline std::shared_ptr<const LiveProcessRunner> shortWaitRunner() {
    return std::make_shared<const LiveProcessRunner>(kShortWaits);
}

/// Small executable scripts standing in for tools that are absent here, each known by the absolute path the
/// program calls it by ("/usr/libexec/java_home", "/opt/homebrew/bin/brew", …). Scripts live in a temporary
/// folder that mirrors those paths and is removed with the `FakeBin`.
class FakeBin {
  public:
    /// Writes `script` as the stand-in for `toolPath` and returns the script's real path. A script
    /// without a "#!" line runs under /bin/sh.
    std::filesystem::path add(const std::string& toolPath, const std::string& script);

    /// A stand-in that prints `stdoutText` exactly as given and exits with `exitCode`.
    std::filesystem::path addPrinting(const std::string& toolPath, const std::string& stdoutText,
                                      int exitCode = 0);

    /// The folder holding the scripts.
    [[nodiscard]] const std::filesystem::path& root() const { return m_directory.path(); }

    /// Every tool path mapped to its script so far.
    [[nodiscard]] std::map<std::string, std::string> paths() const { return m_paths; }

    /// A runner that starts the stand-ins in place of the tool paths and passes everything else to
    /// `inner` unchanged (a live runner with `kShortWaits` by default). Later additions are not seen by a
    /// runner made earlier.
    [[nodiscard]] std::shared_ptr<const ProcessRunning> runner(
        std::shared_ptr<const ProcessRunning> inner = {}) const;

  private:
    TemporaryDirectory m_directory;
    std::map<std::string, std::string> m_paths;
};

/// A `ProcessRunning` decorator that swaps tool paths for other paths before passing each
/// call to `inner`, so the real spawn path runs against stand-ins. Thread-safe.
class PathMappingProcessRunner final : public ProcessRunning {
  public:
    PathMappingProcessRunner(std::shared_ptr<const ProcessRunning> inner,
                             std::map<std::string, std::string> paths)
        : m_inner(std::move(inner)), m_paths(std::move(paths)) {}

    Result<ProcessResult> run(const std::string& executable, const std::vector<std::string>& arguments,
                              const std::optional<Environment>& environment = std::nullopt,
                              std::optional<std::chrono::milliseconds> timeLimit = std::nullopt,
                              std::stop_token stop = {}) const override;
    Stream<ProcessStreamEvent> stream(const std::string& executable,
                                      const std::vector<std::string>& arguments,
                                      const std::optional<Environment>& environment,
                                      std::shared_ptr<LiveProcessCancellation> handle) const override;

  private:
    [[nodiscard]] const std::string& mapped(const std::string& executable) const;

    std::shared_ptr<const ProcessRunning> m_inner;
    std::map<std::string, std::string> m_paths;
};

}  // namespace quill::test
