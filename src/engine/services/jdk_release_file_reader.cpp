#include "engine/services/jdk_release_file_reader.h"

#include <plist/plist.h>

#include <cstdint>
#include <limits>
#include <set>

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

/// The `JavaVM` → `JVMVersion` string of a property list in any format libplist reads.
std::optional<std::string> jvmVersionOfPropertyList(const std::string& data) {
    if (data.empty() || data.size() > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    plist_t root = nullptr;
    plist_from_memory(data.data(), static_cast<std::uint32_t>(data.size()), &root);
    if (root == nullptr)
        return std::nullopt;
    const std::unique_ptr<void, void (*)(plist_t)> owner(root, plist_free);

    if (plist_get_node_type(root) != PLIST_DICT)
        return std::nullopt;
    plist_t javaVM = plist_dict_get_item(root, "JavaVM");
    if (javaVM == nullptr || plist_get_node_type(javaVM) != PLIST_DICT)
        return std::nullopt;
    plist_t version = plist_dict_get_item(javaVM, "JVMVersion");
    if (version == nullptr || plist_get_node_type(version) != PLIST_STRING)
        return std::nullopt;
    std::uint64_t length = 0;
    const char* text = plist_get_string_ptr(version, &length);
    if (text == nullptr)
        return std::nullopt;
    return std::string(text, static_cast<std::size_t>(length));
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
        if (auto version = jvmVersionOfPropertyList(*data); version && hasMajor(*version)) {
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
