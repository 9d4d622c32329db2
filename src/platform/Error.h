// Error and ErrorOr: how an operation of the platform layer fails. An Error
// says what was being done, to which file (if any), and why: the system's
// own text for an errno, or the decoder's or parser's reason. ErrorOr<T> is
// a T or an Error; ErrorOr<void> is success or an Error. Both are values.
// Callers that only need to know whether it worked test it like an optional;
// callers that report failures print error().message().
#pragma once

#include <cerrno>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace platform {

class Error {
public:
    // The kind of failure, for callers that act on it rather than print it.
    enum class Code {
        System, // a system call failed; errorNumber() says how
        Invalid, // the request itself cannot be carried out (a path with a zero byte)
        UnknownFormat, // the bytes are not of any format this operation reads
        TooLarge, // the input exceeds a limit set before reading or decoding it
        Corrupt, // the bytes are of the format but bad, truncated or unsupported
        OutOfMemory,
        Unavailable, // a library the operation needs cannot be loaded
    };

    // `what` is the operation as a verb phrase ("read", "write", "decode");
    // `path` the file it was done to, empty when there is none.
    Error(Code code, std::string what, std::string path, std::string why)
        : code_(code)
        , what_(std::move(what))
        , path_(std::move(path))
        , why_(std::move(why))
    {
    }

    // A failed system call, with the system's text for `errorNumber`.
    static Error fromErrno(std::string what, std::string path, int errorNumber = errno);

    Code code() const { return code_; }
    // The errno of a System error; 0 for every other code.
    int errorNumber() const { return errorNumber_; }
    const std::string& what() const { return what_; }
    const std::string& path() const { return path_; }
    const std::string& why() const { return why_; }

    // The same failure, of the operation `what` on `path`: a decoder's error
    // becomes the error of reading a picture file.
    Error about(std::string what, std::string path) const;

    // One line for a person: "cannot write /a/b.png: No such file or
    // directory", or without a path "cannot decode: not a JPEG or PNG
    // picture".
    std::string message() const;

private:
    Code code_;
    int errorNumber_ = 0;
    std::string what_;
    std::string path_;
    std::string why_;
};

template<class T> class [[nodiscard]] ErrorOr {
public:
    ErrorOr(T value)
        : value_(std::in_place_index<0>, std::move(value))
    {
    }
    ErrorOr(Error error)
        : value_(std::in_place_index<1>, std::move(error))
    {
    }

    bool has_value() const { return value_.index() == 0; }
    explicit operator bool() const { return has_value(); }

    // The value; only when there is one.
    T& value() & { return std::get<0>(value_); }
    const T& value() const& { return std::get<0>(value_); }
    T&& value() && { return std::get<0>(std::move(value_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T&& operator*() && { return std::move(*this).value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    template<class U> T value_or(U&& fallback) const&
    {
        return has_value() ? value() : T(std::forward<U>(fallback));
    }
    template<class U> T value_or(U&& fallback) &&
    {
        return has_value() ? std::move(value()) : T(std::forward<U>(fallback));
    }

    // The error; only when there is no value.
    const Error& error() const { return std::get<1>(value_); }

    // The value or none, for a caller whose own contract has no room for a
    // reason: the engine's operations keep the optionals they promise.
    operator std::optional<T>() &&
    {
        if (!has_value())
            return std::nullopt;
        return std::move(value());
    }
    operator std::optional<T>() const&
    {
        if (!has_value())
            return std::nullopt;
        return value();
    }

    // Equal to a value when it holds one equal to it, as an optional is; two
    // failures are equal when they say the same.
    friend bool operator==(const ErrorOr& a, const T& b) { return a.has_value() && a.value() == b; }
    friend bool operator==(const ErrorOr& a, const ErrorOr& b)
    {
        if (a.has_value() != b.has_value())
            return false;
        return a.has_value() ? a.value() == b.value() : a.error().message() == b.error().message();
    }

private:
    std::variant<T, Error> value_;
};

template<> class [[nodiscard]] ErrorOr<void> {
public:
    ErrorOr() = default;
    ErrorOr(Error error)
        : error_(std::move(error))
    {
    }

    bool has_value() const { return !error_; }
    explicit operator bool() const { return has_value(); }

    // The error; only after a failure.
    const Error& error() const { return *error_; }

private:
    std::optional<Error> error_;
};

} // namespace platform
