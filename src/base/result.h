#pragma once

#include <utility>
#include <variant>

namespace kalder::base {

// A value or the reason there is none, in the manner of StatusOr. Each layer names its own error
// enum for E and gives it a message function; a Result never carries text of its own. T and E must
// differ, so that a bare value or error converts without naming which it is.
template <typename T, typename E>
class [[nodiscard]] Result {
public:
    Result(T value) : m_v(std::in_place_index<0>, std::move(value)) {}
    Result(E error) : m_v(std::in_place_index<1>, error) {}

    bool ok() const { return m_v.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() & { return std::get<0>(m_v); }
    const T& value() const& { return std::get<0>(m_v); }
    T&& value() && { return std::get<0>(std::move(m_v)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    E error() const { return std::get<1>(m_v); }
    // The value, or `fallback` when there is none.
    T valueOr(T fallback) const& { return ok() ? value() : std::move(fallback); }
    T valueOr(T fallback) && { return ok() ? std::get<0>(std::move(m_v)) : std::move(fallback); }

private:
    std::variant<T, E> m_v;
};

}  // namespace kalder::base

// Returns the error of a failed Result (or anything with ok() and error()) from the enclosing
// function.
#define KALDER_TRY(expr)                                            \
    do {                                                            \
        if (auto kalderTryStatus_ = (expr); !kalderTryStatus_.ok()) \
            return kalderTryStatus_.error();                        \
    } while (0)
