#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>

// The one table per enumeration from which both directions of its raw values are read.
namespace quill::detail {

template <class E, std::size_t N>
using RawValueTable = std::array<std::pair<E, std::string_view>, N>;

template <class E, std::size_t N>
constexpr std::string_view rawValueOf(const RawValueTable<E, N>& table, E value) {
    for (const auto& [candidate, raw] : table) {
        if (candidate == value)
            return raw;
    }
    return {};
}

template <class E, std::size_t N>
constexpr std::optional<E> valueOfRaw(const RawValueTable<E, N>& table, std::string_view raw) {
    for (const auto& [candidate, text] : table) {
        if (text == raw)
            return candidate;
    }
    return std::nullopt;
}

}  // namespace quill::detail
