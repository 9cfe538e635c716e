#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "engine/core/result.h"

namespace quill {

class JSONValue;

/// The data of one event: property names to values.
using JSONObject = std::map<std::string, JSONValue>;
using JSONArray = std::vector<JSONValue>;

/// The value of one property of an event's data: a text, a 64-bit integer, a double, a Bool, an array, an
/// object or null. An `int` never equals a `double`, whatever their numeric values. Encoding never fails:
/// ill-formed UTF-8 is replaced by U+FFFD and a non-finite double is written as null.
class JSONValue {
  public:
    using Storage =
        std::variant<std::string, std::int64_t, double, bool, JSONArray, JSONObject, std::nullptr_t>;

    JSONValue() noexcept : m_storage(nullptr) {}
    JSONValue(std::nullptr_t) noexcept : m_storage(nullptr) {}          // NOLINT: implicit by design
    JSONValue(std::string text) : m_storage(std::move(text)) {}         // NOLINT
    JSONValue(std::string_view text) : m_storage(std::string(text)) {}  // NOLINT
    JSONValue(const char* text) : m_storage(std::string(text)) {}       // NOLINT
    template <class B>
    requires std::is_same_v<B, bool> JSONValue(B flag)
    noexcept : m_storage(flag) {}  // NOLINT
    template <class I>
    requires(std::is_integral_v<I> && !std::is_same_v<I, bool> && !std::is_same_v<I, char>)
        JSONValue(I number)
    noexcept : m_storage(static_cast<std::int64_t>(number)) {}  // NOLINT
    template <class F>
    requires std::is_floating_point_v<F> JSONValue(F number)
    noexcept : m_storage(static_cast<double>(number)) {}               // NOLINT
    JSONValue(JSONArray elements) : m_storage(std::move(elements)) {}  // NOLINT
    JSONValue(JSONObject members) : m_storage(std::move(members)) {}   // NOLINT

    [[nodiscard]] const Storage& storage() const noexcept { return m_storage; }

    [[nodiscard]] bool isNull() const noexcept { return std::holds_alternative<std::nullptr_t>(m_storage); }
    [[nodiscard]] const std::string* string() const noexcept { return std::get_if<std::string>(&m_storage); }
    [[nodiscard]] const std::int64_t* int_() const noexcept { return std::get_if<std::int64_t>(&m_storage); }
    [[nodiscard]] const double* double_() const noexcept { return std::get_if<double>(&m_storage); }
    [[nodiscard]] const bool* bool_() const noexcept { return std::get_if<bool>(&m_storage); }
    [[nodiscard]] const JSONArray* array() const noexcept { return std::get_if<JSONArray>(&m_storage); }
    [[nodiscard]] const JSONObject* object() const noexcept { return std::get_if<JSONObject>(&m_storage); }

    // Defined out of line: a comparison defaulted in the class makes libc++ 19 take the still incomplete
    // class for trivially relocatable, and a growing array then moves the objects it holds by copying bytes,
    // leaving their trees pointing into the old storage.
    bool operator==(const JSONValue& other) const;

    /// The value as nlohmann-json, ready to dump.
    [[nodiscard]] nlohmann::json toJSON() const;

    /// Decodes one JSON value: null, then Bool, then a 64-bit signed integer, then a double, then a text, an
    /// array or an object. Fails with "Unknown JSONValue" for anything else (such as binary data); fails too
    /// for values nested more than 100 levels deep.
    static Result<JSONValue> fromJSON(const nlohmann::json& json);

  private:
    Storage m_storage;
};

/// `object` as nlohmann-json.
nlohmann::json toJSON(const JSONObject& object);

/// Decodes a JSON object of `JSONValue`s; fails when `json` is not an object or holds an undecodable value.
Result<JSONObject> jsonObjectFromJSON(const nlohmann::json& json);

/// Writes `json` compactly, replacing any ill-formed UTF-8 instead of failing.
std::string dumpJSON(const nlohmann::json& json);

}  // namespace quill
