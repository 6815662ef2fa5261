#pragma once

#include <type_traits>
#include <utility>
#include <variant>

// A value or an error, shaped like std::expected so that a later switch is an alias.
//
//   Result<QByteArray, SheetCipherError> r = cipher.decrypt(bytes);
//   if (!r) return unexpected(r.error());
//   use(*r);

template <typename E> struct Unexpected {
    E error;
};

template <typename E> [[nodiscard]] constexpr Unexpected<std::decay_t<E>> unexpected(E&& error)
{
    return {std::forward<E>(error)};
}

template <typename T, typename E> class [[nodiscard]] Result {
public:
    using value_type = T;
    using error_type = E;

    constexpr Result()
        requires std::is_default_constructible_v<T>
        : m_data(std::in_place_index<0>)
    {
    }
    constexpr Result(const T& value) : m_data(std::in_place_index<0>, value) {}
    constexpr Result(T&& value) : m_data(std::in_place_index<0>, std::move(value)) {}
    template <typename G>
    constexpr Result(Unexpected<G> failure) : m_data(std::in_place_index<1>, std::move(failure.error))
    {
    }

    constexpr bool has_value() const { return m_data.index() == 0; }
    constexpr explicit operator bool() const { return has_value(); }

    constexpr T& value() & { return std::get<0>(m_data); }
    constexpr const T& value() const& { return std::get<0>(m_data); }
    constexpr T&& value() && { return std::get<0>(std::move(m_data)); }
    constexpr const E& error() const { return std::get<1>(m_data); }

    constexpr T& operator*() & { return value(); }
    constexpr const T& operator*() const& { return value(); }
    constexpr T&& operator*() && { return std::move(*this).value(); }
    constexpr T* operator->() { return &value(); }
    constexpr const T* operator->() const { return &value(); }

    template <typename U> constexpr T value_or(U&& fallback) const&
    {
        return has_value() ? value() : static_cast<T>(std::forward<U>(fallback));
    }

    bool operator==(const Result&) const = default;

private:
    std::variant<T, E> m_data;
};

template <typename E> class [[nodiscard]] Result<void, E> {
public:
    using value_type = void;
    using error_type = E;

    constexpr Result() = default;
    template <typename G>
    constexpr Result(Unexpected<G> failure) : m_error(std::move(failure.error)), m_failed(true)
    {
    }

    constexpr bool has_value() const { return !m_failed; }
    constexpr explicit operator bool() const { return has_value(); }
    constexpr void value() const {}
    constexpr const E& error() const { return m_error; }

    bool operator==(const Result&) const = default;

private:
    E m_error{};
    bool m_failed = false;
};
