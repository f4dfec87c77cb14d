// The library's type description, generated from the member tables.
#pragma once

#include <string>

#include "ombrak/frame/object.h"

namespace ombrak {

/// One class as JSON: name, interface names, members in interface order, event interface.
std::string class_json(const ClassInfo& info);
/// Every class of the library as one JSON document (UTF-8).
std::string type_library_json();
/// A member as one line of text, e.g. `Encode64(ByRef sInput As text) As text`.
std::string member_signature(const MemberInfo& m);

}  // namespace ombrak
