// The type description, rendered from the member tables as JSON and as signature lines.
#include "ombrak/frame/typelib.h"

#include <array>
#include <cstdio>

#include "ombrak/frame/components.h"
#include "ombrak/frame/text.h"

namespace ombrak {

namespace {

std::string quoted(std::string_view s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// A default value as JSON; empty when there is none to show.
std::string value_json(const Variant& v) {
    switch (v.type()) {
        case VarType::Bool:
            return v.get<bool>() ? "true" : "false";
        case VarType::I16:
        case VarType::I32:
        case VarType::F64:
        case VarType::Text:
            return v.type() == VarType::Text ? quoted(text_to_utf8(v.get<Text>()))
                                             : text_to_utf8(to_text(v));
        case VarType::Object:
            return "null";
        default:
            return {};
    }
}

std::string param_json(const ParamInfo& p) {
    std::string out = "{\"name\":" + quoted(p.name) + ",\"type\":\"" + decl_type_name(p.type) +
                      "\",\"byref\":" + (p.by_ref ? "true" : "false") +
                      ",\"optional\":" + (p.optional ? "true" : "false");
    if (!p.enum_type.empty()) out += ",\"enum\":" + quoted(p.enum_type);
    if (p.optional) {
        std::string d = value_json(p.default_value);
        if (!d.empty()) out += ",\"default\":" + d;
    }
    return out + "}";
}

}  // namespace

std::array<std::uint8_t, 16> interface_id(std::string_view library, std::string_view class_name) {
    // FNV-1a, 128 bits, over "<library>._<class name>".
    using u128 = unsigned __int128;
    const u128 prime = (u128{1} << 88) | 0x13B;
    u128 h = (u128{0x6c62272e07bb0142u} << 64) | 0x62b821756295c58du;
    auto mix = [&](std::string_view s) {
        for (unsigned char c : s) h = (h ^ c) * prime;
    };
    mix(library);
    mix("._");
    mix(class_name);
    std::uint8_t b[16];
    for (int i = 0; i < 16; ++i) b[i] = static_cast<std::uint8_t>(h >> (120 - 8 * i));
    b[6] = static_cast<std::uint8_t>((b[6] & 0x0F) | 0x80);  // version 8: a name-based scheme
    b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80);  // the standard variant
    // The platform's layout: the first three fields little-endian.
    return {b[3], b[2], b[1],  b[0],  b[5],  b[4],  b[7],  b[6],
            b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]};
}

std::string interface_id_text(std::string_view library, std::string_view class_name) {
    const auto g = interface_id(library, class_name);
    char buf[40];
    std::snprintf(buf, sizeof buf,
                  "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g[3],
                  g[2], g[1], g[0], g[5], g[4], g[7], g[6], g[8], g[9], g[10], g[11], g[12], g[13],
                  g[14], g[15]);
    return buf;
}

std::string class_json(const ClassInfo& info, std::string_view progid) {
    std::string out = "{\"name\":" + quoted(info.name) + ",\"progid\":" + quoted(progid) +
                      ",\"interface\":" + quoted("_" + info.name) + ",\"iid\":" +
                      quoted(interface_id_text(progid.substr(0, progid.find('.')), info.name)) +
                      ",\"members\":[";
    for (std::size_t i = 0; i < info.members.size(); ++i) {
        const MemberInfo& m = info.members[i];
        out += i ? "," : "";
        out +=
            "{\"name\":" + quoted(m.name) + ",\"kind\":\"" + kind_name(m.kind) + "\",\"params\":[";
        for (std::size_t k = 0; k < m.params.size(); ++k) {
            if (k) out += ',';
            out += param_json(m.params[k]);
        }
        out += "],\"returns\":\"" + std::string(decl_type_name(m.returns)) + "\"}";
    }
    out += "]";
    if (!info.enums.empty()) {
        out += ",\"enums\":[";
        for (std::size_t i = 0; i < info.enums.size(); ++i) {
            out += i ? ",{\"name\":" : "{\"name\":";
            out += quoted(info.enums[i].name) + ",\"values\":{";
            for (std::size_t k = 0; k < info.enums[i].values.size(); ++k) {
                const auto& [name, value] = info.enums[i].values[k];
                out += (k ? "," : "") + quoted(name) + ":" + std::to_string(value);
            }
            out += "}}";
        }
        out += "]";
    }
    if (info.event) {
        const EventInfo& e = *info.event;
        out += ",\"events\":{\"interface\":" + quoted("__" + info.name) +
               ",\"members\":[{\"name\":" + quoted(e.name) +
               ",\"params\":[{\"name\":" + quoted(e.param) + ",\"type\":\"" +
               decl_type_name(e.width) +
               "\",\"byref\":true}]}],\"buddy_method\":" + quoted(e.buddy_method) + "}";
    }
    return out + "}";
}

std::string type_library_json() {
    std::string out = "{\"library\":\"Ombrak10\",\"version\":\"" +
                      std::to_string(LibraryVersion::major) + "." +
                      std::to_string(LibraryVersion::minor) + "." +
                      std::to_string(LibraryVersion::revision) + "\",\"classes\":[";
    bool first = true;
    for (const auto& e : catalogue()) {
        if (!e.library || !e.info) continue;
        if (!first) out += ',';
        out += class_json(*e.info, e.progid);
        first = false;
    }
    return out + "]}";
}

std::string member_signature(const MemberInfo& m) {
    std::string out;
    if (m.kind != MemberKind::Method) out = std::string(kind_name(m.kind)) + " ";
    out += m.name;
    if (!m.params.empty() || m.kind == MemberKind::Method) {
        out += "(";
        for (std::size_t i = 0; i < m.params.size(); ++i) {
            const ParamInfo& p = m.params[i];
            out += i ? ", " : "";
            std::string one = p.name + ": " +
                              (p.enum_type.empty() ? decl_type_name(p.type) : p.enum_type) +
                              (p.by_ref ? "&" : "");
            if (p.optional) {
                std::string d = value_json(p.default_value);
                one = "[" + one + (d.empty() ? "" : " = " + d) + "]";
            }
            out += one;
        }
        out += ")";
    }
    if (m.returns != DeclType::None) out += std::string(" -> ") + decl_type_name(m.returns);
    return out;
}

}  // namespace ombrak
