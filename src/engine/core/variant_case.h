#pragma once

#include <type_traits>
#include <variant>

namespace quill {

/// Whether `T` is exactly one of the alternatives of `Variant`. Tagged-union wrappers use it to accept their
/// case structs implicitly without letting other values convert into a case.
template <class T, class Variant>
inline constexpr bool kIsCaseOf = false;

template <class T, class... Cases>
inline constexpr bool kIsCaseOf<T, std::variant<Cases...>> = (std::is_same_v<T, Cases> || ...);

}  // namespace quill
