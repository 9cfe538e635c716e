#pragma once

#include <cstdlib>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace quill {

/// A failure as data: the raising component (`domain`), a numeric code and a sentence for people.
struct Error {
    std::string domain;
    int code = 0;
    std::string message;

    bool operator==(const Error&) const = default;
};

/// A failure on its way into a `Result`, as `std::unexpected` is for `std::expected`: `return fail(error);`.
struct Failure {
    Error error;
};

[[nodiscard]] inline Failure fail(Error error) {
    return Failure{std::move(error)};
}

/// Either a value or an `Error`, with the member names of `std::expected` so that it can become an alias
/// later. Accessing the wrong alternative is a programming error and aborts.
template <class T>
class [[nodiscard]] Result {
  public:
    using value_type = T;

    Result(const T& value) : m_storage(std::in_place_index<0>, value) {}        // NOLINT: implicit by design
    Result(T&& value) : m_storage(std::in_place_index<0>, std::move(value)) {}  // NOLINT
    Result(Failure failure) : m_storage(std::in_place_index<1>, std::move(failure.error)) {}  // NOLINT

    template <class U>
    requires(std::is_constructible_v<T, U&&> && !std::is_same_v<std::remove_cvref_t<U>, T> &&
             !std::is_same_v<std::remove_cvref_t<U>, Error> &&
             !std::is_same_v<std::remove_cvref_t<U>, Failure> &&
             !std::is_same_v<std::remove_cvref_t<U>, Result>) Result(U&& value)
        : m_storage(std::in_place_index<0>, T(std::forward<U>(value))) {}  // NOLINT

    [[nodiscard]] bool has_value() const noexcept { return m_storage.index() == 0; }
    explicit operator bool() const noexcept { return has_value(); }

    T& value() & { return std::get<0>(checked()); }
    const T& value() const& { return std::get<0>(checked()); }
    T&& value() && { return std::move(std::get<0>(checked())); }

    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T&& operator*() && { return std::move(*this).value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    [[nodiscard]] const Error& error() const& {
        if (has_value())
            std::abort();
        return std::get<1>(m_storage);
    }

    template <class U>
    T value_or(U&& fallback) const& {
        return has_value() ? value() : static_cast<T>(std::forward<U>(fallback));
    }

    bool operator==(const Result&) const = default;

  private:
    std::variant<T, Error>& checked() {
        if (!has_value())
            std::abort();
        return m_storage;
    }
    const std::variant<T, Error>& checked() const {
        if (!has_value())
            std::abort();
        return m_storage;
    }

    std::variant<T, Error> m_storage;
};

/// A success with no value, or an `Error`.
template <>
class [[nodiscard]] Result<void> {
  public:
    using value_type = void;

    Result() = default;
    Result(Failure failure)
        : m_error(std::move(failure.error)), m_failed(true) {}  // NOLINT: implicit by design

    [[nodiscard]] bool has_value() const noexcept { return !m_failed; }
    explicit operator bool() const noexcept { return has_value(); }
    void value() const {
        if (m_failed)
            std::abort();
    }
    [[nodiscard]] const Error& error() const& {
        if (!m_failed)
            std::abort();
        return m_error;
    }

    bool operator==(const Result&) const = default;

  private:
    Error m_error;
    bool m_failed = false;
};

}  // namespace quill
