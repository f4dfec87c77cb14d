// The one error type that leaves the library: number, source and description.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace ombrak {

/// Base of the library's own error numbers (hexadecimal 80040000).
inline constexpr std::int32_t kObjectErrorBase = -2147221504;

/// Source of errors raised without one.
inline constexpr const char* kDefaultSource = "Ombrak10";

/// Run-time errors with their standard numbers.
enum class RuntimeError : std::int32_t {
    InvalidCall = 5,
    Overflow = 6,
    SubscriptOutOfRange = 9,
    DivisionByZero = 11,
    TypeMismatch = 13,
    FileNotFound = 53,
    FileAccess = 75,
    ObjectNotSet = 91,
    ObjectRequired = 424,
    ResourceNotFound = 326,
    CannotCreateObject = 429,
    NotSupported = 438,
    NamedArgumentNotFound = 448,
    ArgumentNotOptional = 449,
    WrongArgumentCount = 450,
};

/// A library error. Texts are UTF-8.
class Error : public std::runtime_error {
  public:
    Error(std::int32_t number, std::string source, std::string description);

    std::int32_t number() const noexcept { return number_; }
    const std::string& source() const noexcept { return source_; }
    const std::string& description() const noexcept { return description_; }

  private:
    std::int32_t number_;
    std::string source_;
    std::string description_;
};

/// The standard description of a run-time error.
const char* runtime_description(RuntimeError e) noexcept;

/// Raises a run-time error with its standard description and the default source.
[[noreturn]] void raise_runtime(RuntimeError e);

/// Raises error 326 for a resource identifier.
[[noreturn]] void raise_resource_not_found(std::int32_t id);

/// Raises one of the library's own errors; an empty source becomes the default source.
[[noreturn]] void raise_library(std::string description, std::string source = {},
                                std::int32_t number = kObjectErrorBase);

/// The exception in flight as a library error (inside a catch block): an Error as it is, an
/// allocation failure as error 7 "Out of memory", anything else as error 51 "Internal error".
Error current_error();

}  // namespace ombrak
