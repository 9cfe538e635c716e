#include "engine/services/live_key_value_store.h"

#include <cerrno>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>

#include "engine/core/paths.h"
#include "engine/core/system_log.h"
#include "engine/services/live_file_system.h"

namespace quill {

namespace {

using nlohmann::json;

/// What every store in the process shares.
struct SharedState {
    /// Two instances over the same folder must not interleave their read-modify-write of a file.
    std::mutex mutex;
    /// The settings of files that exist but could not be read, by file. For the rest of the run they stand
    /// in for the file, which is neither read again nor written over.
    std::map<std::filesystem::path, json> refusedFiles;
};

SharedState& shared() {
    static SharedState state;
    return state;
}

struct Location {
    std::filesystem::path file;
    std::string entry;
};

/// The file name for a key's prefix: never a path, never hidden.
std::string safeFileStem(std::string stem) {
    for (char& c : stem) {
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20)
            c = '_';
    }
    if (!stem.empty() && stem.front() == '.')
        stem.front() = '_';
    return stem.empty() ? "defaults" : stem;
}

Location locate(const std::filesystem::path& folder, const std::string& key) {
    const std::size_t dot = key.rfind('.');
    if (dot == std::string::npos)
        return {folder / "defaults.json", key};
    return {folder / (safeFileStem(key.substr(0, dot)) + ".json"), key.substr(dot + 1)};
}

/// What a settings file holds.
struct Contents {
    json object = json::object();
    bool damaged = false;  ///< it was read but holds no JSON object
    bool refused = false;  ///< it exists but could not be read
};

/// The settings of `file`: its object; empty when it is missing or damaged. Only a missing file is empty: a
/// file that exists but cannot be read is refused, logged once and from then on held in memory.
Contents readObject(const FileSystemOperating& fs, const std::filesystem::path& file) {
    auto& refusedFiles = shared().refusedFiles;
    if (const auto kept = refusedFiles.find(file); kept != refusedFiles.end())
        return Contents{kept->second, false, true};
    auto text = fs.readData(file);
    if (!text) {
        if (text.error().code == ENOENT)
            return {};
        systemLog("Settings: keeping changes in memory only: " + text.error().message);
        refusedFiles.emplace(file, json::object());
        return Contents{json::object(), false, true};
    }
    json parsed = json::parse(*text, nullptr, false);
    if (parsed.is_object())
        return Contents{std::move(parsed), false, false};
    return Contents{json::object(), true, false};
}

std::optional<json> lookup(const FileSystemOperating& fs, const std::filesystem::path& folder,
                           const std::string& key) {
    const Location location = locate(folder, key);
    std::lock_guard lock(shared().mutex);
    const json object = readObject(fs, location.file).object;
    const auto it = object.find(location.entry);
    if (it == object.end())
        return std::nullopt;
    return *it;
}

void change(const FileSystemOperating& fs, const std::filesystem::path& folder, const std::string& key,
            const std::optional<json>& value) {
    const Location location = locate(folder, key);
    std::lock_guard lock(shared().mutex);
    Contents contents = readObject(fs, location.file);
    json& object = contents.refused ? shared().refusedFiles[location.file] : contents.object;
    if (value) {
        object[location.entry] = *value;
    } else {
        if (!object.contains(location.entry))
            return;
        object.erase(location.entry);
    }
    if (contents.refused)
        return;
    if (contents.damaged) {
        // Keep what was there for a person to look at rather than writing over it.
        std::filesystem::path aside = location.file;
        aside += ".corrupt";
        (void)fs.removeItem(aside);
        (void)fs.moveItem(location.file, aside);
    }
    Result<void> written = fs.createDirectory(folder, CreateDirectoryMode::withIntermediates);
    if (written) {
        written = fs.write(object.dump(2, ' ', false, json::error_handler_t::replace) + "\n", location.file,
                           WriteMode::atomically);
    }
    if (!written)
        systemLog("Couldn't save the setting " + key + ": " + written.error().message);
}

}  // namespace

LiveKeyValueStore::LiveKeyValueStore() : m_fs(std::make_shared<LiveFileSystem>()) {}

LiveKeyValueStore::LiveKeyValueStore(std::filesystem::path folder)
    : LiveKeyValueStore(std::move(folder), std::make_shared<LiveFileSystem>()) {}

LiveKeyValueStore::LiveKeyValueStore(std::filesystem::path folder,
                                     std::shared_ptr<const FileSystemOperating> fs)
    : m_folder(std::move(folder)), m_fs(std::move(fs)) {}

std::filesystem::path LiveKeyValueStore::folder() const {
    return m_folder ? *m_folder : userDirectoryPath(UserDirectory::configuration) / "quillstart";
}

std::optional<std::string> LiveKeyValueStore::string(const std::string& key) const {
    const auto value = lookup(*m_fs, folder(), key);
    if (!value || !value->is_string())
        return std::nullopt;
    return value->get<std::string>();
}

void LiveKeyValueStore::setString(const std::string& key, const std::optional<std::string>& value) const {
    change(*m_fs, folder(), key, value ? std::optional<json>(*value) : std::nullopt);
}

std::optional<bool> LiveKeyValueStore::boolean(const std::string& key) const {
    const auto value = lookup(*m_fs, folder(), key);
    if (!value || !value->is_boolean())
        return std::nullopt;
    return value->get<bool>();
}

void LiveKeyValueStore::setBool(const std::string& key, bool value) const {
    change(*m_fs, folder(), key, json(value));
}

}  // namespace quill
