// Result<T>: a value or a CliError, the return type of every operation that can fail.
#pragma once

#include <utility>
#include <variant>

#include "core/error.hpp"

namespace tarnwick {

template <class T, class E = CliError>
class [[nodiscard]] Result {
public:
    Result(T value) : data_(std::in_place_index<0>, std::move(value)) {}
    Result(E error) : data_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return data_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() & { return std::get<0>(data_); }
    const T& value() const& { return std::get<0>(data_); }
    T&& value() && { return std::get<0>(std::move(data_)); }
    const E& error() const& { return std::get<1>(data_); }
    E&& error() && { return std::get<1>(std::move(data_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

private:
    std::variant<T, E> data_;
};

struct Ok {};

// Success with no value, or an error.
using Status = Result<Ok>;

// Evaluates a Result (any expression, or a named one); when it holds an error, returns that
// error from the enclosing function, which must return a Result with the same error type.
#define TARNWICK_TRY(expr)                                  \
    do {                                                    \
        auto&& tarnwick_try_result_ = (expr);               \
        if (!tarnwick_try_result_) {                        \
            return std::move(tarnwick_try_result_).error(); \
        }                                                   \
    } while (false)

// Evaluates a Result; when it holds an error, returns that error as TARNWICK_TRY does, and
// otherwise moves its value into `var`: a declaration (`auto name`, `const Type name`) or a
// variable already declared, which is assigned. It expands to three statements, so it cannot
// be the body of an `if` without braces.
#define TARNWICK_TRY_ASSIGN(var, ...) \
    TARNWICK_TRY_ASSIGN_(var, TARNWICK_TRY_JOIN_(tarnwick_try_result_, __LINE__), __VA_ARGS__)
#define TARNWICK_TRY_JOIN_(a, b) TARNWICK_TRY_JOIN2_(a, b)
#define TARNWICK_TRY_JOIN2_(a, b) a##b
#define TARNWICK_TRY_ASSIGN_(var, result, ...)     \
    auto&& result = (__VA_ARGS__);                 \
    if (!result) return std::move(result).error(); \
    var = std::move(result).value()

}  // namespace tarnwick
