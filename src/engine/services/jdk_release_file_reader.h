#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/services/file_system_operating.h"
#include "engine/services/java_facts.h"

namespace quill {

/// The system folder of JDK bundles, and the same with its trailing slash (the prefix of every bundle path).
inline constexpr std::string_view kJavaVirtualMachinesFolder = "/Library/Java/JavaVirtualMachines";
inline constexpr std::string_view kJavaVirtualMachinesPrefix = "/Library/Java/JavaVirtualMachines/";

/// Finds the JDK bundles of the system JVM folder that `java_home` did not list, from each bundle's `release`
/// file or, failing that, its Info.plist. Blocking (reads files); never fails; thread-safe.
struct JdkReleaseFileReader {
    std::shared_ptr<const FileSystemOperating> fs;

    /// The JDKs of the folder entries `jvmDirContents` whose bundle is not the home of one of `listed`, in
    /// listing order. Entries that are no readable bundle are left out.
    [[nodiscard]] std::vector<JDKInfo> discoverJDKs(const std::vector<std::string>& jvmDirContents,
                                                    const std::vector<JDKInfo>& listed) const;

    /// The JDK of the bundle folder `bundleName`, or nothing when neither its release file nor its Info.plist
    /// names a version with a major.
    [[nodiscard]] std::optional<JDKInfo> jdkInfo(const std::string& bundleName) const;

    /// The KEY=VALUE lines of a release file (lines end as `splitLines` ends them: LF, CR LF, …); surrounding
    /// double quotes of a value are removed, a later key replaces an earlier one.
    static std::map<std::string, std::string> parse(std::string_view text);
};

}  // namespace quill
