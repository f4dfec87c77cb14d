// Variant values in the script host's JSON forms, and the names of the objects a script sees.
#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

#include "ombrak/frame/variant.h"

namespace ombrak::cli {

using Json = nlohmann::ordered_json;

/// A script line that is not of the accepted forms.
struct Malformed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// The objects a script can name: its own names, and "#k" for objects it was shown unnamed.
class ObjectNames {
  public:
    void bind(const std::string& name, ObjectRef obj) { objects_[name] = std::move(obj); }
    /// The object of that name; raises error 424 when there is none.
    ObjectRef find(const std::string& name) const;
    /// The name to show an object by, naming it "#k" on first sight.
    std::string name_of(const ObjectRef& obj);

  private:
    std::map<std::string, ObjectRef> objects_;
    int unnamed_ = 0;
};

/// Reads a value V; throws Malformed for a value not of the accepted forms.
Variant value_from_json(const Json& j, const ObjectNames& names);
/// Writes a value V (texts with a lone surrogate as {"u16":hex}).
Json value_to_json(const Variant& v, ObjectNames& names);

}  // namespace ombrak::cli
