#include "engine/services/live_key_value_store.h"

#include <fcntl.h>
#include <sys/file.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <utility>

#include "engine/core/file_descriptor.h"
#include "engine/core/paths.h"
#include "engine/core/system_log.h"
#include "engine/core/task.h"
#include "engine/services/live_file_system.h"

namespace quill {

namespace {

using nlohmann::json;

/// Changes that have not reached their file yet: entry → value, null for an entry removed.
struct Pending {
    json changes = json::object();
    /// The keys of the changes, as callers named them.
    std::set<std::string> keys;
    bool failureLogged = false;  ///< a failure to save them has been logged
    /// Another process held the file's lock at the last try: the background retry writes them.
    bool waitingForLock = false;
    /// Where the background retry writes them: the folder and the file system of the last change.
    std::filesystem::path folder;
    std::shared_ptr<const FileSystemOperating> fs;
};

/// How often changes kept back by another process's lock are tried again.
constexpr std::chrono::milliseconds kLockRetryInterval{200};
/// How often the last attempt before the program ends tries that lock again.
constexpr std::chrono::milliseconds kExitRetryInterval{5};
/// How long before the program's end that attempt stops trying, so that its task has returned by then unless
/// a file call stalls it.
constexpr std::chrono::milliseconds kExitMargin{20};

/// What every store in the process shares.
struct SharedState {
    /// Two instances over the same folder must not interleave their read-change-write of a file. Timed, so
    /// that the program's end never waits on a call stalled on its volume beyond its deadline.
    std::timed_mutex mutex;
    /// By file, the changes kept while it exists but cannot be read (or written). They stand in over what
    /// the file says and go into it, merged, as soon as it can be read again.
    std::map<std::filesystem::path, Pending> pending;
    /// The files whose refusal has been logged, until they can be read again.
    std::set<std::filesystem::path> refusalsLogged;
    /// A task retries the changes that wait for another process's lock.
    bool retrying = false;
    /// How many files' changes wait for another process's lock; read without the mutex.
    std::atomic<int> filesWaitingForLock = 0;
    /// How many files have changes that have not reached them (`pending.size()`); read without the mutex.
    std::atomic<std::size_t> filesPending = 0;
};

SharedState& shared() {
    // Never destroyed: the retry task may still be reading it while static destructors run at exit.
    static auto* state = new SharedState;
    return *state;
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

/// The settings in `file`, read afresh: its object; empty when it is missing or damaged. Only a missing file
/// is empty: one that exists but cannot be read is refused (and logged once while it stays so).
Contents readContents(const FileSystemOperating& fs, const std::filesystem::path& file) {
    auto& logged = shared().refusalsLogged;
    auto text = fs.readData(file);
    if (!text && text.error().code != ENOENT) {
        if (logged.insert(file).second)
            systemLog("Settings: keeping changes in memory until the file can be read: " +
                      text.error().message);
        return Contents{json::object(), false, true};
    }
    logged.erase(file);
    if (!text)
        return {};
    json parsed = json::parse(*text, nullptr, false);
    if (parsed.is_object())
        return Contents{std::move(parsed), false, false};
    return Contents{json::object(), true, false};
}

void applyChanges(json& object, const json& changes) {
    for (const auto& [entry, value] : changes.items()) {
        if (value.is_null())
            object.erase(entry);
        else
            object[entry] = value;
    }
}

/// An advisory lock on a file beside a settings file, held for one read-change-write, so that app processes
/// running at once do not write over each other's changes. Taken only when free: a caller never waits for
/// another process (a stopped one, or one on a stalled volume). Released on destruction.
class SettingsFileLock {
  public:
    explicit SettingsFileLock(const std::filesystem::path& settingsFile) {
        std::filesystem::path path = settingsFile;
        path += ".lock";
        m_file = FileDescriptor(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        if (!m_file.valid()) {
            // No lock file can be made where the settings are; the write itself will tell whether it can.
            m_held = true;
            return;
        }
        int taken = 0;
        do {
            taken = ::flock(m_file.get(), LOCK_EX | LOCK_NB);
        } while (taken != 0 && errno == EINTR);
        m_held = taken == 0;
    }

    /// Whether the changes may be written: the lock is held, or there is no lock file to take.
    [[nodiscard]] bool held() const { return m_held; }

  private:
    FileDescriptor m_file;  // closing it releases the lock
    bool m_held = false;
};

/// Writes the pending changes of `file` into it, merged with what it holds now, once it can be read.
void settle(const FileSystemOperating& fs, const std::filesystem::path& folder,
            const std::filesystem::path& file) {
    auto& pending = shared().pending;
    const auto it = pending.find(file);
    if (it == pending.end())
        return;
    // Every lookup tries again while changes wait: say why they wait only once.
    const auto failed = [&](const std::string& reason) {
        if (!std::exchange(it->second.failureLogged, true))
            systemLog("Couldn't save the settings in " + file.string() + ": " + reason);
    };
    Result<void> written = fs.createDirectory(folder, CreateDirectoryMode::withIntermediates);
    if (!written)
        return failed(written.error().message);
    const SettingsFileLock lock(file);
    if (const bool waiting = !lock.held(); waiting != std::exchange(it->second.waitingForLock, waiting))
        shared().filesWaitingForLock += waiting ? 1 : -1;
    if (it->second.waitingForLock)
        return;
    const Contents contents = readContents(fs, file);
    if (contents.refused)
        return;
    json object = contents.object;
    applyChanges(object, it->second.changes);
    const auto settled = [&] {
        pending.erase(it);
        shared().filesPending = pending.size();
    };
    if (object == contents.object)
        return settled();
    if (contents.damaged) {
        // Keep what was there for a person to look at rather than writing over it.
        std::filesystem::path aside = file;
        aside += ".corrupt";
        (void)fs.removeItem(aside);
        (void)fs.moveItem(file, aside);
    }
    written = fs.write(object.dump(2, ' ', false, json::error_handler_t::replace) + "\n", file,
                       WriteMode::atomically);
    if (!written)
        return failed(written.error().message);
    settled();
}

void retryLockedChanges(std::stop_token stop);

/// With the shared mutex held: starts the retry task when changes wait for a lock and none runs.
void retryIfWaitingForLock(const std::filesystem::path& file) {
    auto& state = shared();
    const auto it = state.pending.find(file);
    if (it == state.pending.end() || !it->second.waitingForLock || state.retrying)
        return;
    state.retrying = true;
    spawnTask(retryLockedChanges);
}

/// With the shared mutex held: tries to write the pending changes of every file, or only of those that wait
/// for another process's lock; `tried(file)` after each try.
void settleEveryFile(bool onlyWaitingForLock,
                     const std::function<void(const std::filesystem::path&)>& tried = {}) {
    auto& pending = shared().pending;
    for (auto it = pending.begin(); it != pending.end();) {
        const auto next = std::next(it);
        if ((it->second.waitingForLock || !onlyWaitingForLock) && it->second.fs) {
            // Settling may erase the entry: what it needs is copied first.
            const auto file = it->first;
            const auto folder = it->second.folder;
            const auto fs = it->second.fs;
            settle(*fs, folder, file);
            if (tried)
                tried(file);
        }
        it = next;
    }
}

/// Tries the changes that wait for another process's lock until none does. A stop (the program's end)
/// leaves them to `LiveKeyValueStore::saveBeforeExit`.
void retryLockedChanges(std::stop_token stop) {
    auto& state = shared();
    while (sleepFor(kLockRetryInterval, stop)) {
        std::lock_guard lock(state.mutex);
        settleEveryFile(true);
        if (state.filesWaitingForLock == 0) {
            state.retrying = false;
            return;
        }
    }
    std::lock_guard lock(state.mutex);
    state.retrying = false;
}

/// The keys (never the values) of the changes the program's last attempt has not written yet, by file: shared
/// between that attempt's task and the quitting thread, which names them once the task returns or its time
/// is up.
struct Unsaved {
    std::mutex mutex;
    bool copied = false;  ///< the attempt got the shared mutex and copied the keys
    /// The quitting thread has stopped waiting: a write begun now would be cut off by the process's end.
    std::atomic<bool> tooLate = false;
    std::map<std::filesystem::path, std::set<std::string>> keys;
};

/// With the shared mutex held: makes `unsaved` say which keys `file` still has to write.
void noteUnsaved(Unsaved& unsaved, const std::filesystem::path& file) {
    const auto& pending = shared().pending;
    const std::lock_guard lock(unsaved.mutex);
    if (const auto it = pending.find(file); it != pending.end())
        unsaved.keys[file] = it->second.keys;
    else
        unsaved.keys.erase(file);
}

/// The program's last attempt at the pending changes, run as a task: a file call stalled on its volume holds
/// the task, never the quit, whose forced exit ends the process at its deadline. A write goes to a temporary
/// file renamed over the old one, so a write cut off loses only its change. Tries the locks that other
/// processes hold every few milliseconds until shortly before `deadline`.
void saveLast(Unsaved& unsaved, std::chrono::steady_clock::time_point deadline, const std::stop_token& stop) {
    using Clock = std::chrono::steady_clock;
    auto& state = shared();
    const auto lastTry = deadline - kExitMargin;
    std::unique_lock lock(state.mutex, lastTry);
    if (!lock)
        return;
    {
        const std::lock_guard copying(unsaved.mutex);
        if (unsaved.tooLate)
            return;
        unsaved.copied = true;
        for (const auto& [file, pending] : state.pending)
            unsaved.keys[file] = pending.keys;
    }
    const auto tried = [&unsaved](const std::filesystem::path& file) { noteUnsaved(unsaved, file); };
    settleEveryFile(false, tried);
    while (state.filesWaitingForLock > 0 && Clock::now() + kExitRetryInterval < lastTry) {
        lock.unlock();
        if (!sleepFor(kExitRetryInterval, stop) || !lock.try_lock_until(lastTry) || unsaved.tooLate)
            return;
        settleEveryFile(true, tried);
    }
}

std::optional<json> lookup(const FileSystemOperating& fs, const std::filesystem::path& folder,
                           const std::string& key) {
    const Location location = locate(folder, key);
    std::lock_guard lock(shared().mutex);
    settle(fs, folder, location.file);
    retryIfWaitingForLock(location.file);
    json object = readContents(fs, location.file).object;
    if (const auto it = shared().pending.find(location.file); it != shared().pending.end())
        applyChanges(object, it->second.changes);
    const auto it = object.find(location.entry);
    if (it == object.end())
        return std::nullopt;
    return *it;
}

void change(const std::shared_ptr<const FileSystemOperating>& fs, const std::filesystem::path& folder,
            const std::string& key, const std::optional<json>& value) {
    const Location location = locate(folder, key);
    std::lock_guard lock(shared().mutex);
    auto& pending = shared().pending[location.file];
    shared().filesPending = shared().pending.size();
    pending.changes[location.entry] = value ? *value : json(nullptr);
    pending.keys.insert(key);
    pending.folder = folder;
    pending.fs = fs;
    settle(*fs, folder, location.file);
    retryIfWaitingForLock(location.file);
}

}  // namespace

LiveKeyValueStore::LiveKeyValueStore() : m_fs(std::make_shared<LiveFileSystem>()) {}

LiveKeyValueStore::LiveKeyValueStore(std::filesystem::path folder)
    : LiveKeyValueStore(std::move(folder), std::make_shared<LiveFileSystem>()) {}

LiveKeyValueStore::LiveKeyValueStore(std::filesystem::path folder,
                                     std::shared_ptr<const FileSystemOperating> fs)
    : m_folder(std::move(folder)), m_fs(std::move(fs)) {}

bool LiveKeyValueStore::changesPending() {
    return shared().filesPending > 0;
}

void LiveKeyValueStore::saveBeforeExit(std::chrono::steady_clock::time_point deadline) {
    auto unsaved = std::make_shared<Unsaved>();
    const TaskHandle task =
        spawnTask([unsaved, deadline](const std::stop_token& stop) { saveLast(*unsaved, deadline, stop); });
    (void)task.waitFor(
        std::max(std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()),
                 std::chrono::milliseconds{0}));
    std::map<std::filesystem::path, std::set<std::string>> left;
    {
        const std::lock_guard lock(unsaved->mutex);
        unsaved->tooLate = true;
        if (unsaved->copied) {
            left = unsaved->keys;
        } else {
            // The task never got to the changes. Unless a settings call holds them (stalled on its volume,
            // or about to finish), they are named here.
            const std::unique_lock store(shared().mutex, std::try_to_lock);
            if (!store) {
                systemLog(
                    "Couldn't save the settings before quitting: a change of them did not finish in time");
                return;
            }
            for (const auto& [file, pending] : shared().pending)
                left[file] = pending.keys;
        }
    }
    for (const auto& [file, keys] : left) {
        std::string names;
        for (const auto& key : keys)
            names += (names.empty() ? "" : ", ") + key;
        systemLog("Couldn't save the settings in " + file.string() + " before quitting: " + names);
    }
}

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
    change(m_fs, folder(), key, value ? std::optional<json>(*value) : std::nullopt);
}

std::optional<bool> LiveKeyValueStore::boolean(const std::string& key) const {
    const auto value = lookup(*m_fs, folder(), key);
    if (!value || !value->is_boolean())
        return std::nullopt;
    return value->get<bool>();
}

void LiveKeyValueStore::setBool(const std::string& key, bool value) const {
    change(m_fs, folder(), key, json(value));
}

}  // namespace quill
