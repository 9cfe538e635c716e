#include "engine/java/java_profile.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/text.h"
#include "engine/services/java_version_parser.h"

namespace quill {

namespace {

struct RankedJDK {
    const JDKInfo* jdk;
    std::optional<int> major;
};

/// `path` without trailing slashes (the root stays "/"), so that ".../Home/" and ".../Home" name one home.
std::string_view withoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

bool isModern(const RankedJDK& ranked) {
    return ranked.major && *ranked.major >= kModernJavaMajor;
}

/// The first JDK of the highest major among those `accept` admits; a JDK without a major ranks lowest.
template <class Accept>
const JDKInfo* highest(const std::vector<RankedJDK>& ranked, Accept accept) {
    const RankedJDK* best = nullptr;
    for (const auto& candidate : ranked) {
        if (!accept(candidate))
            continue;
        if (best == nullptr || candidate.major.value_or(-1) > best->major.value_or(-1))
            best = &candidate;
    }
    return best ? best->jdk : nullptr;
}

}  // namespace

Diagnosis JavaProfile::diagnose(const ProbeBundle& bundle) const {
    if (bundle.installedJDKs.empty()) {
        // Hidden entries such as .DS_Store are Finder's bookkeeping, not JDK bundles.
        std::vector<std::string> entries;
        for (const auto& name : bundle.jvmDirContents) {
            if (!name.starts_with("."))
                entries.push_back(name);
        }
        if (entries.empty())
            return Diagnosis::D1_NoJDK{};
        return Diagnosis::Unknown{
            "JavaVirtualMachines directory has entries (" + join(entries, ", ") +
            ") but /usr/libexec/java_home couldn't parse any JDKs — possible malformed install."};
    }

    std::vector<RankedJDK> ranked;
    ranked.reserve(bundle.installedJDKs.size());
    for (const auto& jdk : bundle.installedJDKs) {
        ranked.push_back({&jdk, JavaVersionParser::majorVersionOfBareVersion(jdk.version)});
    }

    const JDKInfo* newestModern = highest(ranked, isModern);
    if (newestModern == nullptr) {
        return Diagnosis::D3_LegacyOnly{*highest(ranked, [](const RankedJDK&) { return true; })};
    }

    if (bundle.javaHomeInActiveShell) {
        const std::string_view activeHome = withoutTrailingSlashes(*bundle.javaHomeInActiveShell);
        for (const auto& candidate : ranked) {
            if (isModern(candidate) && withoutTrailingSlashes(candidate.jdk->path.native()) == activeHome) {
                return Diagnosis::D4_ModernHomeSet{*candidate.jdk};
            }
        }
    }
    return Diagnosis::D2_HomeUnset{*newestModern};
}

}  // namespace quill
