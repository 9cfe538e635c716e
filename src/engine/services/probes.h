#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "engine/services/file_system_operating.h"
#include "engine/services/java_facts.h"
#include "engine/services/shell_runner.h"

namespace quill {

/// Gathers the Java facts of the Mac: what `which java` finds, what `java_home -V` lists, what the system JVM
/// folder holds, and `JAVA_HOME` in a fresh login shell. Blocking; never fails (each fact degrades to
/// "nothing found" on its own); holds no state, so any number of threads may probe at once.
struct Probes {
    /// Marks the `JAVA_HOME` value in the login shell's output.
    static constexpr std::string_view kJavaHomeMarker = "__TVN_JAVA_HOME__:";

    ShellRunner shell;
    std::shared_ptr<const FileSystemOperating> fs;
    ProbeLimits limits{};

    /// Runs the four probes concurrently, then finds the JVM-folder bundles that `java_home` did not list.
    /// Once `stop` is requested the running commands are terminated and count as having found nothing.
    [[nodiscard]] ProbeBundle probe(std::stop_token stop = {}) const;

    /// The JDKs of a `java_home -V` listing, in order. Lines other than the indented JDK lines are skipped.
    static std::vector<JDKInfo> parseJavaHomeList(std::string_view text);

    /// The value after the marker on the last output line that holds the marker; absent when that value is
    /// empty or no line holds the marker.
    static std::optional<std::string> parseJavaHomeMarker(std::string_view output);
};

}  // namespace quill
