// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A value or the errno value that explains why there is none: what the
// engines and readers hand back where a call into the system can fail.

#include <optional>
#include <utility>

namespace talvence {

template <class T> class Result {
public:
    Result(T value) : value_(std::move(value)) {}
    static Result failure(int error) { return Result(error, 0); }

    explicit operator bool() const { return value_.has_value(); }
    bool ok() const { return value_.has_value(); }
    // 0 when there is a value.
    int error() const { return error_; }
    T &operator*() & { return *value_; }
    const T &operator*() const & { return *value_; }
    // The value itself out of a result that goes: f(*open(...)).
    T &&operator*() && { return std::move(*value_); }
    T *operator->() { return &*value_; }
    const T *operator->() const { return &*value_; }

private:
    Result(int error, int) : error_(error) {}
    std::optional<T> value_;
    int error_ = 0;
};

} // namespace talvence
