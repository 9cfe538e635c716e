#pragma once

#include <type_traits>
#include <utility>
#include <variant>

namespace quill {

/// Whether `T` is exactly one of the alternatives of `Variant`.
template <class T, class Variant>
inline constexpr bool kIsCaseOf = false;

template <class T, class... Cases>
inline constexpr bool kIsCaseOf<T, std::variant<Cases...>> = (std::is_same_v<T, Cases> || ...);

/// The common part of a tagged union: a value that is exactly one of the case structs of `Cases`, which
/// declares them and lists them as `using Case = std::variant<...>`. A union derives from it, so its cases
/// are named through it (`ProcessStreamEvent::Line`):
///
///     struct ShellCases {
///         struct Zsh { bool operator==(const Zsh&) const = default; };
///         struct Other { std::string name; bool operator==(const Other&) const = default; };
///         using Case = std::variant<Zsh, Other>;
///     };
///     struct Shell : TaggedUnion<ShellCases> {
///         using TaggedUnion::TaggedUnion;
///     };
///
/// A case converts implicitly into the union; no other value does, not even one a case could be made from.
/// Two unions are equal when they hold the same case with equal payloads. There is no default value: a union
/// that has one says so in a constructor of its own.
template <class Cases>
struct TaggedUnion : Cases {
    typename Cases::Case value;

    template <class C>
    requires(kIsCaseOf<std::remove_cvref_t<C>, typename Cases::Case>) TaggedUnion(C&& valueCase)
        : value(std::forward<C>(valueCase)) {}  // NOLINT: implicit, a case is a value

    /// Whether the value is the case `C`.
    template <class C>
    [[nodiscard]] bool is() const noexcept {
        return std::holds_alternative<C>(value);
    }
    /// The case's payload, or null when the value is another case.
    template <class C>
    [[nodiscard]] const C* as() const noexcept {
        return std::get_if<C>(&value);
    }

    // Written out, not defaulted: the `Cases` base has no comparison of its own.
    bool operator==(const TaggedUnion& other) const { return value == other.value; }
};

}  // namespace quill
