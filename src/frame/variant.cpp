// Host-like conversions between the Variant types.
#include "ombrak/frame/variant.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "ombrak/frame/error.h"
#include "ombrak/frame/text.h"

namespace ombrak {

const char* type_name(VarType t) noexcept {
    switch (t) {
        case VarType::Empty:
            return "empty";
        case VarType::Missing:
            return "missing";
        case VarType::Bool:
            return "bool";
        case VarType::I16:
            return "i16";
        case VarType::I32:
            return "i32";
        case VarType::F64:
            return "f64";
        case VarType::Text:
            return "text";
        case VarType::Bytes:
            return "bytes";
        case VarType::Object:
            return "object";
    }
    return "?";
}

namespace {

[[noreturn]] void mismatch() {
    raise_runtime(RuntimeError::TypeMismatch);
}

bool is_space(char16_t c) {
    return c == u' ' || c == u'\t';
}

// Parses a numeric text the way a host converts text to a number: blanks around it, a sign,
// digits with a decimal point and an exponent, or "&H" / "&O" integer literals. Anything else
// is a type mismatch.
double parse_number(const Text& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && is_space(s[b])) ++b;
    while (e > b && is_space(s[e - 1])) --e;
    if (b == e) mismatch();
    if (s[b] == u'&' && e - b > 2) {
        char16_t k = s[b + 1] | 0x20;
        int base = k == u'h' ? 16 : k == u'o' ? 8 : 0;
        if (base == 0) mismatch();
        std::uint64_t value = 0;
        std::size_t digits = 0;
        for (std::size_t i = b + 2; i < e; ++i) {
            char16_t c = s[i];
            int d = c >= u'0' && c <= u'9'                     ? c - u'0'
                    : (c | 0x20) >= u'a' && (c | 0x20) <= u'f' ? (c | 0x20) - u'a' + 10
                                                               : 99;
            if (d >= base || ++digits > 11) mismatch();
            value = value * base + d;
        }
        if (value > 0xFFFFFFFFu) raise_runtime(RuntimeError::Overflow);
        // Hex and octal literals are two's complement: 16-bit when they fit, else 32-bit.
        if (value <= 0xFFFF) return static_cast<std::int16_t>(value);
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }
    std::string ascii;
    ascii.reserve(e - b);
    for (std::size_t i = b; i < e; ++i) {
        char16_t c = s[i];
        bool ok = (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.' ||
                  (c | 0x20) == u'e' || (c | 0x20) == u'd';
        if (!ok) mismatch();
        ascii.push_back((c | 0x20) == u'd' ? 'e' : static_cast<char>(c));
    }
    if (ascii.find_first_of("0123456789") == std::string::npos) mismatch();
    char* end = nullptr;
    double v = std::strtod(ascii.c_str(), &end);
    if (end != ascii.c_str() + ascii.size()) mismatch();
    if (std::isinf(v)) raise_runtime(RuntimeError::Overflow);
    return v;
}

bool equals_ci(const Text& s, const char* word) {
    std::size_t b = 0, e = s.size();
    while (b < e && is_space(s[b])) ++b;
    while (e > b && is_space(s[e - 1])) --e;
    std::size_t n = 0;
    for (; word[n]; ++n) {
        if (b + n >= e || (s[b + n] | 0x20) != (word[n] | 0x20)) return false;
    }
    return b + n == e;
}

double number_of(const Variant& v) {
    switch (v.type()) {
        case VarType::Empty:
            return 0;
        case VarType::Bool:
            return v.get<bool>() ? -1 : 0;
        case VarType::I16:
            return v.get<std::int16_t>();
        case VarType::I32:
            return v.get<std::int32_t>();
        case VarType::F64:
            return v.get<double>();
        case VarType::Text:
            return parse_number(v.get<Text>());
        default:
            mismatch();
    }
}

template <class Int>
Int round_to(double d) {
    if (std::isnan(d)) raise_runtime(RuntimeError::Overflow);
    double r = std::nearbyint(d);  // the default rounding mode rounds half to even
    if (r < std::numeric_limits<Int>::min() || r > std::numeric_limits<Int>::max())
        raise_runtime(RuntimeError::Overflow);
    return static_cast<Int>(r);
}

Text format_double(double d) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15G", d);
    return ascii_to_text(buf);
}

}  // namespace

bool to_bool(const Variant& v) {
    if (v.type() == VarType::Bool) return v.get<bool>();
    if (v.type() == VarType::Text) {
        if (equals_ci(v.get<Text>(), "true")) return true;
        if (equals_ci(v.get<Text>(), "false")) return false;
    }
    return number_of(v) != 0;
}

std::int16_t to_i16(const Variant& v) {
    return round_to<std::int16_t>(number_of(v));
}
std::int32_t to_i32(const Variant& v) {
    return round_to<std::int32_t>(number_of(v));
}
double to_f64(const Variant& v) {
    return number_of(v);
}

Text to_text(const Variant& v) {
    switch (v.type()) {
        case VarType::Empty:
            return Text();
        case VarType::Bool:
            return v.get<bool>() ? u"True" : u"False";
        case VarType::I16:
            return ascii_to_text(std::to_string(v.get<std::int16_t>()));
        case VarType::I32:
            return ascii_to_text(std::to_string(v.get<std::int32_t>()));
        case VarType::F64:
            return format_double(v.get<double>());
        case VarType::Text:
            return v.get<Text>();
        case VarType::Bytes: {
            // A byte array read as text pairs its bytes into UTF-16 code units, low byte first.
            const Bytes& b = v.get<Bytes>();
            Text t((b.size() + 1) / 2, u'\0');
            for (std::size_t i = 0; i < b.size(); ++i)
                t[i / 2] |= static_cast<char16_t>(b[i] << (8 * (i % 2)));
            return t;
        }
        default:
            mismatch();
    }
}

Bytes to_bytes(const Variant& v) {
    if (v.type() == VarType::Bytes) return v.get<Bytes>();
    if (v.type() != VarType::Text) mismatch();
    const Text& t = v.get<Text>();
    Bytes b(t.size() * 2);
    for (std::size_t i = 0; i < t.size(); ++i) {
        b[2 * i] = static_cast<std::uint8_t>(t[i]);
        b[2 * i + 1] = static_cast<std::uint8_t>(t[i] >> 8);
    }
    return b;
}

ObjectRef to_object(const Variant& v) {
    if (v.type() != VarType::Object) mismatch();
    return v.get<ObjectRef>();
}

Variant coerce(const Variant& v, VarType t) {
    if (v.type() == t || t == VarType::Empty || t == VarType::Missing) return v;
    switch (t) {
        case VarType::Bool:
            return Variant(to_bool(v));
        case VarType::I16:
            return Variant(to_i16(v));
        case VarType::I32:
            return Variant(to_i32(v));
        case VarType::F64:
            return Variant(to_f64(v));
        case VarType::Text:
            return Variant(to_text(v));
        case VarType::Bytes:
            return Variant(to_bytes(v));
        case VarType::Object:
            return Variant(to_object(v));
        default:
            return v;
    }
}

}  // namespace ombrak
