#pragma once

#include <utility>
#include <variant>

namespace tarnleaf {

// The outcome of an operation whose failure the caller must look at: either a value or
// an error, never both. (std::expected arrives only with C++23.)
template <typename T, typename E>
class [[nodiscard]] Result {
public:
    static Result Ok(T value) { return Result(std::in_place_index<0>, std::move(value)); }
    static Result Fail(E error) { return Result(std::in_place_index<1>, std::move(error)); }

    bool ok() const noexcept { return state_.index() == 0; }
    explicit operator bool() const noexcept { return ok(); }

    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    const E& error() const { return std::get<1>(state_); }

private:
    template <std::size_t I, typename V>
    Result(std::in_place_index_t<I> tag, V&& v) : state_(tag, std::forward<V>(v)) {}

    std::variant<T, E> state_;
};

}  // namespace tarnleaf
