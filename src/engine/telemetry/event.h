#pragma once

#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "engine/core/result.h"
#include "engine/telemetry/json_value.h"

// The records the telemetry service keeps and posts. Private to the service; tests reach them here.
namespace quill::telemetry {

/// One queued event as kept in memory and in the pending file: what belongs to the event itself.
struct Event {
    std::string sessionID;        ///< canonical upper-case UUID text
    std::string clientTimestamp;  ///< ISO 8601, UTC, milliseconds, "Z"
    std::string appVersion;
    std::string eventName;
    JSONObject eventData;

    bool operator==(const Event&) const = default;

    /// The pending-file form: an object with "sessionID", "clientTimestamp", "appVersion", "eventName",
    /// "eventData".
    [[nodiscard]] nlohmann::json toJSON() const;
    /// Decodes the pending-file form; every key is required and must have its type, and "sessionID" must be a
    /// UUID (kept in canonical upper case).
    static Result<Event> fromJSON(const nlohmann::json& json);
};

/// One posted record: the event plus what belongs to the sending process (`app_id`, `run_context`).
struct EventPayload {
    std::string session_id;  ///< lower-case UUID text
    std::string client_timestamp;
    std::string app_version;
    std::string app_id;
    std::string run_context;
    std::string event_name;
    JSONObject event_data;

    bool operator==(const EventPayload&) const = default;

    /// The payload of `event` as sent by a process with `appID` and `runContext`.
    static EventPayload make(const Event& event, const std::string& appID, const std::string& runContext);

    /// The request body: a JSON array holding exactly this one record, keys in the order above.
    [[nodiscard]] std::string requestBody() const;
};

/// The pending file's text: a compact JSON array of `events`, oldest first.
std::string encodePendingFile(const std::vector<Event>& events);

/// What reading a pending file gave.
struct DecodedPendingFile {
    std::vector<Event> events;  ///< the records that decoded, in file order
    std::size_t skipped = 0;    ///< records that did not
};

/// Decodes a pending file record by record: a record that does not decode is skipped and counted. Fails only
/// when the text is not a JSON array at all.
Result<DecodedPendingFile> decodePendingFile(const std::string& text);

}  // namespace quill::telemetry
