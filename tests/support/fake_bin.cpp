#include "tests/support/fake_bin.h"

#include "engine/core/shell_quote.h"

namespace quill::test {

std::filesystem::path FakeBin::add(const std::string& toolPath, const std::string& script) {
    const std::filesystem::path relative = std::filesystem::path(toolPath).relative_path();
    const std::string text = script.starts_with("#!") ? script : "#!/bin/sh\n" + script;
    auto path = m_directory.write(relative, text);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
    m_paths[toolPath] = path.string();
    return path;
}

std::filesystem::path FakeBin::addPrinting(const std::string& toolPath, const std::string& stdoutText,
                                           int exitCode) {
    return add(toolPath,
               "printf '%s' " + shellSingleQuoted(stdoutText) + "\nexit " + std::to_string(exitCode) + "\n");
}

std::shared_ptr<const ProcessRunning> FakeBin::runner(std::shared_ptr<const ProcessRunning> inner) const {
    if (!inner)
        inner = shortWaitRunner();
    return std::make_shared<PathMappingProcessRunner>(std::move(inner), m_paths);
}

const std::string& PathMappingProcessRunner::mapped(const std::string& executable) const {
    const auto found = m_paths.find(executable);
    return found == m_paths.end() ? executable : found->second;
}

Result<ProcessResult> PathMappingProcessRunner::run(const std::string& executable,
                                                    const std::vector<std::string>& arguments,
                                                    const std::optional<Environment>& environment,
                                                    std::optional<std::chrono::milliseconds> timeLimit,
                                                    std::stop_token stop) const {
    return m_inner->run(mapped(executable), arguments, environment, timeLimit, std::move(stop));
}

Stream<ProcessStreamEvent> PathMappingProcessRunner::stream(
    const std::string& executable, const std::vector<std::string>& arguments,
    const std::optional<Environment>& environment, std::shared_ptr<LiveProcessCancellation> handle) const {
    return m_inner->stream(mapped(executable), arguments, environment, std::move(handle));
}

}  // namespace quill::test
