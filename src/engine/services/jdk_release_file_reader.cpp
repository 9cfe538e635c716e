#include "engine/services/jdk_release_file_reader.h"

#include <set>

#include "engine/core/property_list.h"
#include "engine/core/text.h"
#include "engine/services/java_version_parser.h"

namespace quill {

namespace {

/// The non-empty pieces of `text` between `separator` characters.
std::vector<std::string_view> nonEmptyPieces(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto end = std::min(text.find(separator, start), text.size());
        if (end > start)
            pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

bool hasMajor(std::string_view version) {
    return JavaVersionParser::majorVersionOfBareVersion(version).has_value();
}

}  // namespace

std::vector<JDKInfo> JdkReleaseFileReader::discoverJDKs(const std::vector<std::string>& jvmDirContents,
                                                        const std::vector<JDKInfo>& listed) const {
    std::set<std::string, std::less<>> knownBundles;
    for (const auto& jdk : listed) {
        const std::string& home = jdk.path.native();
        if (!home.starts_with(kJavaVirtualMachinesPrefix))
            continue;
        const auto pieces =
            nonEmptyPieces(std::string_view(home).substr(kJavaVirtualMachinesPrefix.size()), '/');
        if (!pieces.empty())
            knownBundles.emplace(pieces.front());
    }

    std::vector<JDKInfo> discovered;
    for (const auto& name : jvmDirContents) {
        if (knownBundles.contains(name))
            continue;
        if (auto jdk = jdkInfo(name))
            discovered.push_back(std::move(*jdk));
    }
    return discovered;
}

std::optional<JDKInfo> JdkReleaseFileReader::jdkInfo(const std::string& bundleName) const {
    const std::string bundle = std::string(kJavaVirtualMachinesPrefix) + bundleName;
    const std::string home = bundle + "/Contents/Home";

    if (auto text = fs->readString(home + "/release")) {
        const auto values = parse(*text);
        if (const auto version = values.find("JAVA_VERSION");
            version != values.end() && hasMajor(version->second)) {
            const auto vendor = values.find("IMPLEMENTOR");
            return JDKInfo{
                version->second, vendor != values.end() ? vendor->second : std::string(), {}, home};
        }
    }

    if (auto data = fs->readData(bundle + "/Contents/Info.plist")) {
        if (auto version = propertyListText(*data, {"JavaVM", "JVMVersion"}); version && hasMajor(*version)) {
            return JDKInfo{std::move(*version), {}, {}, home};
        }
    }
    return std::nullopt;
}

std::map<std::string, std::string> JdkReleaseFileReader::parse(std::string_view text) {
    std::map<std::string, std::string> values;
    for (const std::string& lineText : splitLines(text)) {
        const std::string_view line = lineText;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        const auto key = trimSpacesAndTabs(line.substr(0, equals));
        auto value = trimSpacesAndTabs(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (!key.empty())
            values.insert_or_assign(std::string(key), std::string(value));
    }
    return values;
}

}  // namespace quill
