// The library's type description, generated from the member tables.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "ombrak/frame/object.h"

namespace ombrak {

/// One class as JSON: name, programmatic name, interface names and identifier, members in
/// interface order, event interface.
std::string class_json(const ClassInfo& info, std::string_view progid);
/// Every class of the library as one JSON document (UTF-8).
std::string type_library_json();
/// The stable 16-byte identifier of a class's default interface, in the platform's GUID layout
/// (the first three fields little-endian): a name-based (version 8) identifier made from the
/// 128-bit FNV-1a hash of "<library>._<class name>" ("Ombrak10._clsKvVeskEncDecTeaA").
std::array<std::uint8_t, 16> interface_id(std::string_view library, std::string_view class_name);
/// The same identifier as text, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
std::string interface_id_text(std::string_view library, std::string_view class_name);

/// A member as one line of text, e.g. `Encode64(ByRef sInput As text) As text`.
std::string member_signature(const MemberInfo& m);

}  // namespace ombrak
