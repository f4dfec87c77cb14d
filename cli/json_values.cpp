// The script host's JSON value forms.
#include "json_values.h"

#include <limits>

#include "ombrak/frame/error.h"
#include "ombrak/frame/text.h"

namespace ombrak::cli {

namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string hex_of(const std::uint8_t* p, std::size_t n) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    out.reserve(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        out.push_back(digits[p[i] >> 4]);
        out.push_back(digits[p[i] & 15]);
    }
    return out;
}

Bytes bytes_from_hex(const Json& j, const char* form) {
    if (!j.is_string()) throw Malformed(std::string(form) + " wants a hex string");
    const std::string& s = j.get_ref<const std::string&>();
    if (s.size() % 2) throw Malformed(std::string(form) + " has an odd number of hex digits");
    Bytes out(s.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i) {
        int hi = hex_digit(s[2 * i]), lo = hex_digit(s[2 * i + 1]);
        if (hi < 0 || lo < 0) throw Malformed(std::string(form) + " holds a non-hex character");
        out[i] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    return out;
}

template <class Int>
Int integer(const Json& j, const char* form) {
    if (!j.is_number_integer()) throw Malformed(std::string(form) + " wants an integer");
    if (j.is_number_unsigned()) {
        auto v = j.get<std::uint64_t>();
        if (v > static_cast<std::uint64_t>(std::numeric_limits<Int>::max()))
            throw Malformed(std::string(form) + " out of range");
        return static_cast<Int>(v);
    }
    auto v = j.get<std::int64_t>();
    if (v < std::numeric_limits<Int>::min() || v > std::numeric_limits<Int>::max())
        throw Malformed(std::string(form) + " out of range");
    return static_cast<Int>(v);
}

}  // namespace

ObjectRef ObjectNames::find(const std::string& name) const {
    auto it = objects_.find(name);
    if (it == objects_.end()) raise_runtime(RuntimeError::ObjectRequired);
    return it->second;
}

std::string ObjectNames::name_of(const ObjectRef& obj) {
    for (const auto& [name, o] : objects_)
        if (o == obj) return name;
    std::string name = std::to_string(++unnamed_);
    name.insert(name.begin(), '#');
    objects_[name] = obj;
    return name;
}

Variant value_from_json(const Json& j, const ObjectNames& names) {
    if (!j.is_object() || j.size() != 1) throw Malformed("a value is an object with one key");
    const std::string& key = j.begin().key();
    const Json& v = j.begin().value();
    if (key == "empty" && v == true) return Variant();
    if (key == "missing" && v == true) return Variant::missing();
    if (key == "nothing" && v == true) return Variant(ObjectRef());
    if (key == "bool") {
        if (!v.is_boolean()) throw Malformed("bool wants true or false");
        return Variant(v.get<bool>());
    }
    if (key == "i16") return Variant(integer<std::int16_t>(v, "i16"));
    if (key == "i32") return Variant(integer<std::int32_t>(v, "i32"));
    if (key == "f64") {
        if (!v.is_number()) throw Malformed("f64 wants a number");
        return Variant(v.get<double>());
    }
    if (key == "text") {
        if (!v.is_string()) throw Malformed("text wants a string");
        return Variant(utf8_to_text(v.get_ref<const std::string&>()));
    }
    if (key == "u16") {
        Bytes b = bytes_from_hex(v, "u16");
        if (b.size() % 2) throw Malformed("u16 wants four hex digits per code unit");
        Text t(b.size() / 2, u'\0');
        for (std::size_t i = 0; i < t.size(); ++i)
            t[i] = static_cast<char16_t>(b[2 * i] << 8 | b[2 * i + 1]);
        return Variant(std::move(t));
    }
    if (key == "bytes") return Variant(bytes_from_hex(v, "bytes"));
    if (key == "object") {
        if (!v.is_string()) throw Malformed("object wants a name");
        return Variant(names.find(v.get<std::string>()));
    }
    throw Malformed("unknown value form '" + key + "'");
}

Json value_to_json(const Variant& v, ObjectNames& names) {
    switch (v.type()) {
        case VarType::Empty:
            return Json{{"empty", true}};
        case VarType::Missing:
            return Json{{"missing", true}};
        case VarType::Bool:
            return Json{{"bool", v.get<bool>()}};
        case VarType::I16:
            return Json{{"i16", v.get<std::int16_t>()}};
        case VarType::I32:
            return Json{{"i32", v.get<std::int32_t>()}};
        case VarType::F64:
            return Json{{"f64", v.get<double>()}};
        case VarType::Text: {
            const Text& t = v.get<Text>();
            if (!has_lone_surrogate(t)) return Json{{"text", text_to_utf8(t)}};
            std::string hex;
            for (char16_t u : t) {
                std::uint8_t be[2] = {static_cast<std::uint8_t>(u >> 8),
                                      static_cast<std::uint8_t>(u)};
                hex += hex_of(be, 2);
            }
            return Json{{"u16", hex}};
        }
        case VarType::Bytes: {
            const Bytes& b = v.get<Bytes>();
            return Json{{"bytes", hex_of(b.data(), b.size())}};
        }
        case VarType::Object: {
            const ObjectRef& o = v.get<ObjectRef>();
            if (!o) return Json{{"nothing", true}};
            return Json{{"object", names.name_of(o)}};
        }
    }
    return Json{{"empty", true}};
}

}  // namespace ombrak::cli
