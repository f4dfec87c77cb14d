// The type description, rendered from the member tables as JSON and as signature lines.
#include "ombrak/frame/typelib.h"

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
    if (p.optional) {
        std::string d = value_json(p.default_value);
        if (!d.empty()) out += ",\"default\":" + d;
    }
    return out + "}";
}

}  // namespace

std::string class_json(const ClassInfo& info) {
    std::string out = "{\"name\":" + quoted(info.name) +
                      ",\"progid\":" + quoted("Ombrak10." + info.name) +
                      ",\"interface\":" + quoted("_" + info.name) + ",\"members\":[";
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
        out += class_json(*e.info);
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
            std::string one = p.name + ": " + decl_type_name(p.type) + (p.by_ref ? "&" : "");
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
