#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quill {

/// One installed Java Development Kit as the probes found it. Equality and hashing cover all four fields; the
/// identity is the home folder.
struct JDKInfo {
    std::string version;         ///< as found, such as 21.0.2 or 1.8.0_392
    std::string vendor;          ///< empty when the source names none
    std::string architecture;    ///< "arm64", "x86_64"; empty for a JDK found only in the JVM folder
    std::filesystem::path path;  ///< the JDK home, `<bundle>/Contents/Home`

    [[nodiscard]] const std::filesystem::path& id() const { return path; }

    bool operator==(const JDKInfo&) const = default;
};

/// The raw Java facts of the Mac. Every field has a value for "nothing found"; nothing here ever fails.
struct ProbeBundle {
    /// What `which java` printed, trimmed; absent when it failed or printed nothing.
    std::optional<std::string> whichJava;
    /// The JDKs that `java_home -V` listed, in its order, then those found only in the JVM folder.
    std::vector<JDKInfo> installedJDKs;
    /// Entry names of the JVM folder as listed; empty when it cannot be read.
    std::vector<std::string> jvmDirContents;
    /// `JAVA_HOME` in a fresh login shell; absent when unset or empty.
    std::optional<std::string> javaHomeInActiveShell;

    bool operator==(const ProbeBundle&) const = default;
};

}  // namespace quill

template <>
struct std::hash<quill::JDKInfo> {
    std::size_t operator()(const quill::JDKInfo& jdk) const noexcept {
        std::size_t seed = 0;
        const auto mix = [&seed](std::size_t value) {
            seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
        };
        mix(std::hash<std::string>{}(jdk.version));
        mix(std::hash<std::string>{}(jdk.vendor));
        mix(std::hash<std::string>{}(jdk.architecture));
        mix(std::filesystem::hash_value(jdk.path));
        return seed;
    }
};
