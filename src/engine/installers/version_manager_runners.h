#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/stream.h"
#include "engine/services/file_system_operating.h"
#include "engine/services/shell_runner.h"

namespace quill {

/// A value as one double-quoted word of a version manager's script: backslash, double quote, backtick and
/// dollar sign escaped, so a folder name or version reaches the command literally. Callers of
/// `SDKMANRunner::run` quote their candidate with it too.
std::string versionManagerQuoted(std::string_view value);

/// Registers a JDK with jEnv and makes its major version the global one, in a fresh login shell. Each script
/// operation returns at once with the stream of `ShellRunner::stream`; ending it terminates the shell.
struct JEnvRunner {
    std::filesystem::path jenvRoot;
    ShellRunner shell;
    std::shared_ptr<const FileSystemOperating> fs;

    /// `jenv add` of `jdkHome` (a failure ignored, as for the export plugin), then `jenv rehash` and
    /// `jenv global <major>`, stopping at the first other failure.
    [[nodiscard]] Stream<StreamEvent> addAndSetGlobal(const std::filesystem::path& jdkHome, int major) const;

    /// The ~/.zshrc lines jEnv still needs to set JAVA_HOME in new shells: its PATH line, then its init line,
    /// each only when no active line has it. An unreadable ~/.zshrc lacks both. Blocking.
    [[nodiscard]] std::vector<std::string> missingZshrcLines() const;
};

/// Installs Java versions with mise and makes one the global version, in a fresh login shell. Each script
/// operation returns at once with the stream of `ShellRunner::stream`; ending it terminates the shell.
struct MiseRunner {
    std::filesystem::path miseExecutable;
    ShellRunner shell;
    std::shared_ptr<const FileSystemOperating> fs;

    /// `mise install java@<version>`, then, when it succeeded, `mise use -g` of the same version.
    [[nodiscard]] Stream<StreamEvent> installJava(const std::string& version) const;
    [[nodiscard]] Stream<StreamEvent> useGlobalJava(const std::string& version) const;

    /// The activation line when no active line of ~/.zshrc activates mise. Blocking.
    [[nodiscard]] std::vector<std::string> missingZshrcLines() const;
};

/// Runs `sdk` commands in a fresh login shell after sourcing SDKMAN's init script. Returns at once with the
/// stream of `ShellRunner::stream`; ending it terminates the shell.
struct SDKMANRunner {
    std::filesystem::path sdkmanRoot;
    ShellRunner shell;
    std::shared_ptr<const FileSystemOperating> fs;

    /// `sdk` with `arguments` as given: the caller quotes the values in them (`versionManagerQuoted`).
    [[nodiscard]] Stream<StreamEvent> run(const std::string& arguments) const;
};

}  // namespace quill
