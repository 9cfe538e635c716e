#include "engine/telemetry/session_id.h"

#include "engine/core/text.h"
#include "engine/core/uuid.h"

namespace quill {

std::optional<std::string> canonicalUUID(std::string_view text) {
    if (text.size() != 36)
        return std::nullopt;
    std::string canonical;
    canonical.reserve(36);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != '-')
                return std::nullopt;
            canonical.push_back(c);
        } else {
            if (!isAsciiHexDigit(c))
                return std::nullopt;
            canonical.push_back(toAsciiUpper(c));
        }
    }
    return canonical;
}

std::string SessionID::loadOrCreate() const {
    const std::string key = userDefaultsPrefix + ".session_id";
    if (store) {
        if (auto stored = store->string(key)) {
            if (auto canonical = canonicalUUID(*stored))
                return *canonical;
        }
    }
    auto fresh = randomUUID();
    if (store)
        store->setString(key, fresh);
    return fresh;
}

}  // namespace quill
