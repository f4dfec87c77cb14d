// Test helpers: error checks and by-name calls.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "ombrak/frame/components.h"
#include "ombrak/frame/error.h"
#include "ombrak/frame/object.h"
#include "ombrak/frame/text.h"

/// Expects `expr` to raise a library error with the given number (and, for run-time errors, its
/// standard description).
#define EXPECT_ERROR(expr, num)                                                             \
    do {                                                                                    \
        try {                                                                               \
            (void)(expr);                                                                   \
            ADD_FAILURE() << #expr " raised nothing, expected error " << (num);             \
        } catch (const ::ombrak::Error& e_) {                                               \
            EXPECT_EQ(e_.number(), (num)) << e_.description();                              \
            if ((num) > 0 && (num) != 326) {                                                \
                EXPECT_EQ(e_.description(), ::ombrak::runtime_description(                  \
                                                static_cast<::ombrak::RuntimeError>(num))); \
            }                                                                               \
            EXPECT_EQ(e_.source(), "Ombrak10");                                             \
        }                                                                                   \
    } while (0)

namespace ombrak::test {

/// The seed of a randomised test: OMBRAK10_SEED when set, else `fallback`; printed so a failing
/// run can be repeated.
inline unsigned seed(unsigned fallback) {
    const char* env = std::getenv("OMBRAK10_SEED");
    unsigned s = env ? static_cast<unsigned>(std::strtoul(env, nullptr, 10)) : fallback;
    std::cout << "seed " << s << " (set OMBRAK10_SEED to repeat)\n";
    return s;
}

/// Replaces the error reporter with one that counts its calls (their error numbers and places)
/// for the scope's life.
struct CountingReporter {
    std::vector<std::int32_t> numbers;
    std::vector<std::string> places;
    CountingReporter() {
        register_class(kErrorReporterProgId, [this] {
            return make_host_object([this](std::string_view, MemberKind, std::span<ArgRef> args) {
                numbers.push_back(
                    to_i32(to_object(*args[1].var)->invoke("Number", MemberKind::Get, {})));
                places.push_back(text_to_utf8(to_text(*args[3].var)));
                return Variant();
            });
        });
    }
    ~CountingReporter() { restore_default_classes(); }
};

}  // namespace ombrak::test
