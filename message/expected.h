#pragma once

#include <optional>
#include <utility>
#include <variant>

namespace kulverant {

/// The failure half of an Expected: `return Unexpected(error);`.
template <typename E> class Unexpected {
public:
    explicit Unexpected(E error) : error(std::move(error)) {}
    E error;
};

/// A value, or the error that prevented it. The part of C++23's std::expected
/// that the program uses, so that the core builds with every compiler the
/// project uses (the fuzzing build's clang among them).
template <typename T, typename E> class [[nodiscard]] Expected {
public:
    Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    template <typename G> Expected(Unexpected<G> failure) : state_(std::in_place_index<1>, std::move(failure.error)) {}

    bool has_value() const { return state_.index() == 0; }
    explicit operator bool() const { return has_value(); }
    const T& operator*() const { return std::get<0>(state_); }
    const T* operator->() const { return &std::get<0>(state_); }
    const E& error() const { return std::get<1>(state_); }
    E& error() { return std::get<1>(state_); }

private:
    std::variant<T, E> state_;
};

template <typename E> class [[nodiscard]] Expected<void, E> {
public:
    Expected() = default;
    template <typename G> Expected(Unexpected<G> failure) : error_(std::move(failure.error)) {}

    bool has_value() const { return !error_; }
    explicit operator bool() const { return has_value(); }
    const E& error() const { return *error_; }
    E& error() { return *error_; }

private:
    std::optional<E> error_;
};

} // namespace kulverant
