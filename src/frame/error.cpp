// Error construction and the standard run-time error texts.
#include "ombrak/frame/error.h"

#include <new>

namespace ombrak {

Error::Error(std::int32_t number, std::string source, std::string description)
    : std::runtime_error(description),
      number_(number),
      source_(source.empty() ? std::string(kDefaultSource) : std::move(source)),
      description_(std::move(description)) {}

const char* runtime_description(RuntimeError e) noexcept {
    switch (e) {
        case RuntimeError::InvalidCall:
            return "Invalid procedure call or argument";
        case RuntimeError::Overflow:
            return "Overflow";
        case RuntimeError::SubscriptOutOfRange:
            return "Subscript out of range";
        case RuntimeError::DivisionByZero:
            return "Division by zero";
        case RuntimeError::TypeMismatch:
            return "Type mismatch";
        case RuntimeError::FileNotFound:
            return "File not found";
        case RuntimeError::FileAccess:
            return "Path/File access error";
        case RuntimeError::ObjectNotSet:
            return "Object variable or With block variable not set";
        case RuntimeError::ObjectRequired:
            return "Object required";
        case RuntimeError::ResourceNotFound:
            return "Resource not found";
        case RuntimeError::CannotCreateObject:
            return "ActiveX component can't create object";
        case RuntimeError::NotSupported:
            return "Object doesn't support this property or method";
        case RuntimeError::NamedArgumentNotFound:
            return "Named argument not found";
        case RuntimeError::ArgumentNotOptional:
            return "Argument not optional";
        case RuntimeError::WrongArgumentCount:
            return "Wrong number of arguments or invalid property assignment";
    }
    return "Application-defined or object-defined error";
}

void raise_runtime(RuntimeError e) {
    throw Error(static_cast<std::int32_t>(e), kDefaultSource, runtime_description(e));
}

void raise_resource_not_found(std::int32_t id) {
    throw Error(static_cast<std::int32_t>(RuntimeError::ResourceNotFound), kDefaultSource,
                "Resource with identifier '" + std::to_string(id) + "' not found");
}

void raise_library(std::string description, std::string source, std::int32_t number) {
    throw Error(number, std::move(source), std::move(description));
}

Error current_error() {
    try {
        throw;
    } catch (const Error& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return Error(7, kDefaultSource, "Out of memory");
    } catch (...) {
        return Error(51, kDefaultSource, "Internal error");
    }
}

}  // namespace ombrak
