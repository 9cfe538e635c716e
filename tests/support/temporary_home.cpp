#include "tests/support/temporary_home.h"

#include <stdlib.h>

namespace quill::test {

TemporaryHome::TemporaryHome() {
    const std::map<std::string, std::optional<std::string>> values = {
        {"HOME", path().string()},
        {"XDG_CONFIG_HOME", (path() / ".config").string()},
        {"XDG_CACHE_HOME", (path() / ".cache").string()},
        {"XDG_DATA_HOME", (path() / ".local" / "share").string()},
        {"XDG_STATE_HOME", (path() / ".local" / "state").string()},
        {"ZDOTDIR", std::nullopt},
    };
    for (const auto& [name, value] : values) {
        const char* previous = std::getenv(name.c_str());
        m_saved[name] = previous ? std::optional<std::string>(previous) : std::nullopt;
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }
}

TemporaryHome::~TemporaryHome() {
    for (const auto& [name, value] : m_saved) {
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }
}

}  // namespace quill::test
