#include "engine/telemetry/event.h"

#include <nlohmann/json.hpp>

#include "engine/core/text.h"
#include "engine/telemetry/session_id.h"

namespace quill::telemetry {

namespace {

const std::string* stringMember(const nlohmann::json& json, const char* key) {
    const auto found = json.find(key);
    if (found == json.end() || !found->is_string())
        return nullptr;
    return &found->get_ref<const std::string&>();
}

Error badRecord(const std::string& what) {
    return Error{"TelemetryEvent", 1, what};
}

}  // namespace

nlohmann::json Event::toJSON() const {
    return nlohmann::json{
        {"sessionID", sanitizeUtf8(sessionID)},   {"clientTimestamp", sanitizeUtf8(clientTimestamp)},
        {"appVersion", sanitizeUtf8(appVersion)}, {"eventName", sanitizeUtf8(eventName)},
        {"eventData", quill::toJSON(eventData)},
    };
}

Result<Event> Event::fromJSON(const nlohmann::json& json) {
    if (!json.is_object())
        return fail(badRecord("The event record is not an object."));
    Event event;
    const std::pair<const char*, std::string*> texts[] = {
        {"sessionID", &event.sessionID},
        {"clientTimestamp", &event.clientTimestamp},
        {"appVersion", &event.appVersion},
        {"eventName", &event.eventName},
    };
    for (const auto& [key, field] : texts) {
        const auto* value = stringMember(json, key);
        if (!value)
            return fail(badRecord(std::string("The event record has no text \"") + key + "\"."));
        *field = *value;
    }
    auto session = canonicalUUID(event.sessionID);
    if (!session)
        return fail(badRecord("The event record's \"sessionID\" is not a UUID."));
    event.sessionID = std::move(*session);
    const auto data = json.find("eventData");
    if (data == json.end())
        return fail(badRecord("The event record has no \"eventData\"."));
    auto decoded = jsonObjectFromJSON(*data);
    if (!decoded)
        return fail(decoded.error());
    event.eventData = std::move(*decoded);
    return event;
}

EventPayload EventPayload::make(const Event& event, const std::string& appID, const std::string& runContext) {
    return EventPayload{
        .session_id = toLower(event.sessionID),
        .client_timestamp = event.clientTimestamp,
        .app_version = event.appVersion,
        .app_id = appID,
        .run_context = runContext,
        .event_name = event.eventName,
        .event_data = event.eventData,
    };
}

std::string EventPayload::requestBody() const {
    // Written member by member so that the record keeps its documented key order on the wire.
    const std::pair<const char*, const std::string*> texts[] = {
        {"session_id", &session_id}, {"client_timestamp", &client_timestamp}, {"app_version", &app_version},
        {"app_id", &app_id},         {"run_context", &run_context},           {"event_name", &event_name},
    };
    std::string body = "[{";
    for (const auto& [key, value] : texts) {
        body += dumpJSON(nlohmann::json(key));
        body += ':';
        body += dumpJSON(nlohmann::json(sanitizeUtf8(*value)));
        body += ',';
    }
    body += "\"event_data\":";
    body += dumpJSON(quill::toJSON(event_data));
    body += "}]";
    return body;
}

std::string encodePendingFile(const std::vector<Event>& events) {
    auto array = nlohmann::json::array();
    for (const auto& event : events)
        array.push_back(event.toJSON());
    return dumpJSON(array);
}

Result<DecodedPendingFile> decodePendingFile(const std::string& text) {
    const auto json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded())
        return fail(badRecord("The pending events file is not valid JSON."));
    if (!json.is_array())
        return fail(badRecord("The pending events file does not hold a list of events."));
    DecodedPendingFile decoded;
    decoded.events.reserve(json.size());
    for (const auto& record : json) {
        auto event = Event::fromJSON(record);
        if (event) {
            decoded.events.push_back(std::move(*event));
        } else {
            ++decoded.skipped;
        }
    }
    return decoded;
}

}  // namespace quill::telemetry
