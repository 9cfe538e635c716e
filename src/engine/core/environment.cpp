#include "engine/core/environment.h"

#include <cstring>

extern char** environ;  // NOLINT(readability-redundant-declaration): POSIX declares it nowhere else

namespace quill {

Environment processEnvironment() {
    Environment variables;
    for (char** entry = environ; entry && *entry; ++entry) {
        const char* text = *entry;
        const char* equals = std::strchr(text, '=');
        if (!equals || equals == text)
            continue;
        // The first definition wins, as getenv would see it.
        variables.emplace(std::string(text, equals), std::string(equals + 1));
    }
    return variables;
}

Environment processEnvironment(const Environment& overrides) {
    Environment variables = processEnvironment();
    for (const auto& [name, value] : overrides)
        variables[name] = value;
    return variables;
}

}  // namespace quill
