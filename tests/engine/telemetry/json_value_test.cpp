#include "engine/telemetry/json_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "engine/telemetry/event.h"

namespace quill {
namespace {

JSONValue decoded(const std::string& text) {
    auto value = JSONValue::fromJSON(nlohmann::json::parse(text, nullptr, false));
    EXPECT_TRUE(value) << text;
    return value ? *value : JSONValue("<failed>");
}

std::string encoded(const JSONValue& value) {
    return dumpJSON(value.toJSON());
}

TEST(JSONValue, DecodesEachJSONKindAsItsOwnCase) {
    EXPECT_EQ(decoded("null"), JSONValue());
    EXPECT_EQ(decoded("true"), JSONValue(true)) << "true is a Bool, never 1";
    EXPECT_EQ(decoded("1"), JSONValue(1));
    EXPECT_EQ(decoded("-7"), JSONValue(-7));
    EXPECT_EQ(decoded("3"), JSONValue(3));
    EXPECT_EQ(decoded("2.5"), JSONValue(2.5));
    EXPECT_EQ(decoded("\"text\""), JSONValue("text"));
    EXPECT_EQ(decoded("[]"), JSONValue(JSONArray{}));
    EXPECT_EQ(decoded("{}"), JSONValue(JSONObject{}));
    EXPECT_EQ(decoded(R"([1,"a",[false],{"k":null}])"),
              JSONValue(JSONArray{1, "a", JSONArray{false}, JSONObject{{"k", nullptr}}}));
    // The extremes of a 64-bit integer stay integers; one past the top becomes a double.
    EXPECT_EQ(decoded("9223372036854775807"), JSONValue(std::numeric_limits<std::int64_t>::max()));
    EXPECT_EQ(decoded("-9223372036854775808"), JSONValue(std::numeric_limits<std::int64_t>::min()));
    EXPECT_EQ(decoded("9223372036854775808"), JSONValue(9223372036854775808.0));

    auto binary = JSONValue::fromJSON(nlohmann::json::binary({1, 2}));
    ASSERT_FALSE(binary);
    EXPECT_EQ(binary.error().message, "Unknown JSONValue");
}

TEST(JSONValue, ComparesCaseAndPayloadNeverNumbersAcrossCases) {
    EXPECT_NE(JSONValue(1), JSONValue(1.0));
    EXPECT_NE(JSONValue(true), JSONValue(1));
    EXPECT_NE(JSONValue(""), JSONValue());
    EXPECT_EQ(JSONValue(JSONObject{{"a", 1}, {"b", 2}}), JSONValue(JSONObject{{"b", 2}, {"a", 1}}));
    EXPECT_NE(JSONValue(JSONArray{1, 2}), JSONValue(JSONArray{2, 1}));
}

TEST(JSONValue, EncodingNeverFailsOnBadTextOrNonFiniteNumbers) {
    EXPECT_EQ(encoded(JSONValue(std::numeric_limits<double>::quiet_NaN())), "null");
    EXPECT_EQ(encoded(JSONValue(std::numeric_limits<double>::infinity())), "null");
    EXPECT_EQ(encoded(JSONValue(std::string("caf\xC3", 4))), "\"caf\xEF\xBF\xBD\"");
    EXPECT_EQ(encoded(JSONValue(JSONObject{{std::string("k\xFF"), "v"}})), "{\"k\xEF\xBF\xBD\":\"v\"}");
    EXPECT_EQ(encoded(JSONValue(JSONObject{{"nested", JSONArray{-std::numeric_limits<double>::infinity()}}})),
              R"({"nested":[null]})");
    EXPECT_EQ(encoded(JSONValue(JSONObject{})), "{}");
    EXPECT_EQ(encoded(JSONValue(JSONArray{})), "[]");
    EXPECT_EQ(encoded(JSONValue("quote \" and \\ and \n")), R"("quote \" and \\ and \n")");
}

TEST(JSONValue, RoundTripsEveryCase) {
    const JSONValue value(JSONObject{{"s", "é"},
                                     {"i", std::int64_t{-42}},
                                     {"d", 0.1},
                                     {"whole", 3.0},
                                     {"b", false},
                                     {"a", JSONArray{JSONObject{}, JSONArray{}}},
                                     {"n", nullptr}});
    const auto back = JSONValue::fromJSON(nlohmann::json::parse(encoded(value), nullptr, false));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, value) << "a whole-number double keeps its case: " << encoded(value);
}

TEST(TelemetryRecords, PendingFileKeepsTheEventAndDecodesRecordByRecord) {
    const telemetry::Event event{"3F2504E0-4F89-41D3-9A0C-0305E82C3301", "2026-12-07T04:28:47.123Z",
                                 "1.4 (27)", "nps_submitted", JSONObject{{"score", 9}, {"reason", nullptr}}};
    auto decoded = telemetry::decodePendingFile(telemetry::encodePendingFile({event, event}));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->events, (std::vector<telemetry::Event>{event, event}));
    EXPECT_EQ(decoded->skipped, 0u);

    auto record = event.toJSON();
    EXPECT_EQ(record.size(), 5u);
    for (const char* key : {"sessionID", "clientTimestamp", "appVersion", "eventName", "eventData"}) {
        auto missing = record;
        missing.erase(key);
        EXPECT_FALSE(telemetry::Event::fromJSON(missing)) << key;
    }
    auto mistyped = record;
    mistyped["eventData"] = nlohmann::json::array();
    EXPECT_FALSE(telemetry::Event::fromJSON(mistyped));

    auto mixed = telemetry::decodePendingFile("[" + record.dump() + ",42," + record.dump() + "]");
    ASSERT_TRUE(mixed);
    EXPECT_EQ(mixed->events.size(), 2u);
    EXPECT_EQ(mixed->skipped, 1u);

    // The session identifier is a UUID: any case is read, canonical upper case is kept, anything else is a
    // bad record.
    auto lowerCase = record;
    lowerCase["sessionID"] = "3f2504e0-4f89-41d3-9a0c-0305e82c3301";
    auto readBack = telemetry::Event::fromJSON(lowerCase);
    ASSERT_TRUE(readBack);
    EXPECT_EQ(readBack->sessionID, event.sessionID);
    for (const char* bad : {"", "not-a-uuid", "3F2504E0-4F89-41D3-9A0C-0305E82C330"}) {
        auto wrong = record;
        wrong["sessionID"] = bad;
        EXPECT_FALSE(telemetry::Event::fromJSON(wrong)) << bad;
    }

    // A damaged record nested far deeper than any event is skipped, not followed to the bottom.
    const std::size_t depth = 100'000;
    auto deep = record.dump();
    deep.replace(deep.find("{\"reason\""), 1,
                 "{\"deep\":" + std::string(depth, '[') + std::string(depth, ']') + ",");
    auto withDeep = telemetry::decodePendingFile("[" + deep + "," + record.dump() + "]");
    ASSERT_TRUE(withDeep);
    EXPECT_EQ(withDeep->events, std::vector<telemetry::Event>{event});
    EXPECT_EQ(withDeep->skipped, 1u);

    EXPECT_FALSE(telemetry::decodePendingFile("{\"sessionID\":1}"));
    EXPECT_FALSE(telemetry::decodePendingFile("[{"));
    EXPECT_FALSE(telemetry::decodePendingFile(""));
}

TEST(TelemetryRecords, PayloadAddsTheSendersIdentityAndLowerCasesTheSession) {
    const telemetry::Event event{"3F2504E0-4F89-41D3-9A0C-0305E82C3301", "2026-12-07T04:28:47.123Z",
                                 "1.4 (27)", "app_launched", JSONObject{{"arch", "arm64"}}};
    const auto payload = telemetry::EventPayload::make(event, "code", "release");
    EXPECT_EQ(
        payload.requestBody(),
        R"x([{"session_id":"3f2504e0-4f89-41d3-9a0c-0305e82c3301","client_timestamp":"2026-12-07T04:28:47.123Z",)x"
        R"x("app_version":"1.4 (27)","app_id":"code","run_context":"release","event_name":"app_launched",)x"
        R"x("event_data":{"arch":"arm64"}}])x");
}

}  // namespace
}  // namespace quill
