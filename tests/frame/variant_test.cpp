// Host-like conversions between Variant types.
#include "ombrak/frame/variant.h"

#include <gtest/gtest.h>

#include "ombrak/frame/error.h"
#include "support.h"

namespace ombrak {
namespace {

struct Conversion {
    Variant from;
    VarType to;
    Variant expected;  // Empty with error != 0
    int error = 0;
};

TEST(Variant, ConvertsAsAHostDoes) {
    const Conversion cases[] = {
        {Variant(u"  42 "), VarType::I16, Variant(std::int16_t{42})},
        {Variant(u"-1.5"), VarType::I32, Variant(std::int32_t{-2})},  // half to even
        {Variant(u"2.5"), VarType::I32, Variant(std::int32_t{2})},
        {Variant(u"&HFF"), VarType::I32, Variant(std::int32_t{255})},
        {Variant(u"&HFFFF"), VarType::I16, Variant(std::int16_t{-1})},
        {Variant(u"1e3"), VarType::F64, Variant(1000.0)},
        {Variant(u"True"), VarType::Bool, Variant(true)},
        {Variant(u"0"), VarType::Bool, Variant(false)},
        {Variant(true), VarType::I32, Variant(std::int32_t{-1})},
        {Variant(std::int32_t{7}), VarType::Text, Variant(u"7")},
        {Variant(false), VarType::Text, Variant(u"False")},
        {Variant(0.5), VarType::Text, Variant(u"0.5")},
        {Variant(), VarType::I32, Variant(std::int32_t{0})},
        {Variant(), VarType::Text, Variant(u"")},
        {Variant(Bytes{0x41, 0x00, 0x42}), VarType::Text, Variant(Text(u"A\u0042"))},
        {Variant(u"AB"), VarType::Bytes, Variant(Bytes{0x41, 0, 0x42, 0})},
        {Variant(std::int32_t{32768}), VarType::I16, Variant(), 6},
        {Variant(u"40000"), VarType::I16, Variant(), 6},
        {Variant(3e10), VarType::I32, Variant(), 6},
        {Variant(u"12a"), VarType::I32, Variant(), 13},
        {Variant(u""), VarType::I16, Variant(), 13},
        {Variant(u"yes"), VarType::Bool, Variant(), 13},
        {Variant(Bytes{1}), VarType::I32, Variant(), 13},
        {Variant(u"x"), VarType::Object, Variant(), 13},
        {Variant(), VarType::Bytes, Variant(), 13},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(type_name(c.from.type())) + " -> " + type_name(c.to));
        if (c.error) {
            EXPECT_ERROR(coerce(c.from, c.to), c.error);
        } else {
            EXPECT_EQ(coerce(c.from, c.to), c.expected);
        }
    }
}

}  // namespace
}  // namespace ombrak
