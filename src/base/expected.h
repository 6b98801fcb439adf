#pragma once

#include <utility>
#include <variant>

// What an operation gives back: its value, or the failure that kept it from
// one. The caller has to look which before it takes either.
template <typename T, typename E>
class [[nodiscard]] Expected {
public:
    Expected(T value) : m_value(std::in_place_index<0>, std::move(value)) {}
    Expected(E failure) : m_value(std::in_place_index<1>, std::move(failure)) {}

    bool hasValue() const { return m_value.index() == 0; }
    explicit operator bool() const { return hasValue(); }

    T &value() { return std::get<0>(m_value); }
    const T &value() const { return std::get<0>(m_value); }
    T &operator*() { return value(); }
    const T &operator*() const { return value(); }
    T *operator->() { return &value(); }
    const T *operator->() const { return &value(); }

    T valueOr(T fallback) const { return hasValue() ? value() : std::move(fallback); }
    const E &failure() const { return std::get<1>(m_value); }

private:
    std::variant<T, E> m_value;
};

// An operation with nothing to give back but whether it worked.
template <typename E>
class [[nodiscard]] Expected<void, E> {
public:
    Expected() = default;
    Expected(E failure) : m_failure(std::move(failure)), m_failed(true) {}

    bool hasValue() const { return !m_failed; }
    explicit operator bool() const { return hasValue(); }
    const E &failure() const { return m_failure; }

private:
    E m_failure{};
    bool m_failed = false;
};
