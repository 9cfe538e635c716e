#include "engine/services/live_key_value_store.h"

#include <mutex>
#include <nlohmann/json.hpp>

#include "engine/core/paths.h"
#include "engine/core/system_log.h"
#include "engine/services/live_file_system.h"

namespace quill {

namespace {

using nlohmann::json;

/// One lock for every store in the process: two instances over the same folder must not interleave their
/// read-modify-write of a file. Never destroyed: a task finishing at exit may still read a setting.
std::mutex& storeMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
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

/// The file's object; empty when it is missing or unreadable. `damaged` tells whether the file exists but
/// holds no JSON object.
json readObject(const std::filesystem::path& file, bool* damaged = nullptr) {
    auto text = LiveFileSystem().readData(file);
    if (!text)
        return json::object();
    json parsed = json::parse(*text, nullptr, false);
    if (parsed.is_object())
        return parsed;
    if (damaged)
        *damaged = true;
    return json::object();
}

std::optional<json> lookup(const std::filesystem::path& folder, const std::string& key) {
    const Location location = locate(folder, key);
    std::lock_guard lock(storeMutex());
    const json object = readObject(location.file);
    const auto it = object.find(location.entry);
    if (it == object.end())
        return std::nullopt;
    return *it;
}

void change(const std::filesystem::path& folder, const std::string& key, const std::optional<json>& value) {
    const Location location = locate(folder, key);
    const LiveFileSystem fs;
    std::lock_guard lock(storeMutex());
    bool damaged = false;
    json object = readObject(location.file, &damaged);
    if (damaged) {
        // Keep what was there for a person to look at rather than writing over it.
        std::filesystem::path aside = location.file;
        aside += ".corrupt";
        (void)fs.removeItem(aside);
        (void)fs.moveItem(location.file, aside);
    }
    if (value) {
        object[location.entry] = *value;
    } else {
        if (!object.contains(location.entry))
            return;
        object.erase(location.entry);
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

LiveKeyValueStore::LiveKeyValueStore(std::filesystem::path folder) : m_folder(std::move(folder)) {}

std::filesystem::path LiveKeyValueStore::folder() const {
    return m_folder ? *m_folder : userDirectoryPath(UserDirectory::configuration) / "quillstart";
}

std::optional<std::string> LiveKeyValueStore::string(const std::string& key) const {
    const auto value = lookup(folder(), key);
    if (!value || !value->is_string())
        return std::nullopt;
    return value->get<std::string>();
}

void LiveKeyValueStore::setString(const std::string& key, const std::optional<std::string>& value) const {
    change(folder(), key, value ? std::optional<json>(*value) : std::nullopt);
}

std::optional<bool> LiveKeyValueStore::boolean(const std::string& key) const {
    const auto value = lookup(folder(), key);
    if (!value || !value->is_boolean())
        return std::nullopt;
    return value->get<bool>();
}

void LiveKeyValueStore::setBool(const std::string& key, bool value) const {
    change(folder(), key, json(value));
}

}  // namespace quill
