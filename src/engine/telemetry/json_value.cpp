#include "engine/telemetry/json_value.h"

#include <cmath>
#include <limits>

#include <nlohmann/json.hpp>

#include "engine/core/overloaded.h"
#include "engine/core/text.h"

namespace quill {

namespace {

Error unknownValue() {
    return Error{"JSONValue", 1, "Unknown JSONValue"};
}

}  // namespace

bool JSONValue::operator==(const JSONValue& other) const {
    return m_storage == other.m_storage;
}

nlohmann::json JSONValue::toJSON() const {
    return std::visit(Overloaded{
                          [](const std::string& text) { return nlohmann::json(sanitizeUtf8(text)); },
                          [](std::int64_t number) { return nlohmann::json(number); },
                          [](double number) {
                              return std::isfinite(number) ? nlohmann::json(number) : nlohmann::json(nullptr);
                          },
                          [](bool flag) { return nlohmann::json(flag); },
                          [](const JSONArray& elements) {
                              auto json = nlohmann::json::array();
                              for (const auto& element : elements)
                                  json.push_back(element.toJSON());
                              return json;
                          },
                          [](const JSONObject& members) { return quill::toJSON(members); },
                          [](std::nullptr_t) { return nlohmann::json(nullptr); },
                      },
                      m_storage);
}

namespace {

// Far deeper than any event; a damaged file nested deeper is refused instead of exhausting the stack.
constexpr int kMaxDepth = 100;

Result<JSONObject> decodeObject(const nlohmann::json& json, int depth);

Result<JSONValue> decode(const nlohmann::json& json, int depth) {
    if (depth > kMaxDepth)
        return fail(Error{"JSONValue", 2, "The JSON value is nested too deeply."});
    switch (json.type()) {
        case nlohmann::json::value_t::null:
            return JSONValue();
        case nlohmann::json::value_t::boolean:
            return JSONValue(json.get<bool>());
        case nlohmann::json::value_t::number_integer:
            return JSONValue(json.get<std::int64_t>());
        case nlohmann::json::value_t::number_unsigned: {
            const auto number = json.get<std::uint64_t>();
            if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                return JSONValue(static_cast<std::int64_t>(number));
            }
            return JSONValue(static_cast<double>(number));
        }
        case nlohmann::json::value_t::number_float:
            return JSONValue(json.get<double>());
        case nlohmann::json::value_t::string:
            return JSONValue(json.get_ref<const std::string&>());
        case nlohmann::json::value_t::array: {
            JSONArray elements;
            elements.reserve(json.size());
            for (const auto& element : json) {
                auto decoded = decode(element, depth + 1);
                if (!decoded)
                    return fail(decoded.error());
                elements.push_back(std::move(*decoded));
            }
            return JSONValue(std::move(elements));
        }
        case nlohmann::json::value_t::object: {
            auto members = decodeObject(json, depth);
            if (!members)
                return fail(members.error());
            return JSONValue(std::move(*members));
        }
        case nlohmann::json::value_t::binary:
        case nlohmann::json::value_t::discarded:
            break;
    }
    return fail(unknownValue());
}

Result<JSONObject> decodeObject(const nlohmann::json& json, int depth) {
    if (!json.is_object())
        return fail(unknownValue());
    JSONObject members;
    for (const auto& [key, value] : json.items()) {
        auto decoded = decode(value, depth + 1);
        if (!decoded)
            return fail(decoded.error());
        members.emplace(key, std::move(*decoded));
    }
    return members;
}

}  // namespace

Result<JSONValue> JSONValue::fromJSON(const nlohmann::json& json) {
    return decode(json, 0);
}

nlohmann::json toJSON(const JSONObject& object) {
    auto json = nlohmann::json::object();
    for (const auto& [key, value] : object)
        json[sanitizeUtf8(key)] = value.toJSON();
    return json;
}

Result<JSONObject> jsonObjectFromJSON(const nlohmann::json& json) {
    return decodeObject(json, 0);
}

std::string dumpJSON(const nlohmann::json& json) {
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace quill
