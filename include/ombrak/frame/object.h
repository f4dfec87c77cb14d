// The dynamic object model: objects called by member name with Variant arguments.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ombrak/frame/variant.h"

namespace ombrak {

/// How a member is reached: a method call or one of the three property accessors.
enum class MemberKind : std::uint8_t { Method, Get, Let, Set };
const char* kind_name(MemberKind k) noexcept;

/// One argument of a dynamic call. `var` is the caller's variable; with `by_ref` the callee's
/// changes to an in/out parameter are written back into it, whether the call returns or fails.
/// A non-empty `name` makes it a named argument (named arguments follow the positional ones).
struct ArgRef {
    Variant* var;
    bool by_ref = true;
    std::string_view name = {};
};

/// A declared type of a parameter or result: a Variant type, `Any` (a Variant parameter) or
/// `None` (no result).
enum class DeclType : std::uint8_t { None, Any, Bool, I16, I32, F64, Text, Bytes, Object };
const char* decl_type_name(DeclType t) noexcept;

class Object;

struct ParamInfo {
    std::string name;
    DeclType type;
    bool by_ref;  // in/out: the caller sees what the member leaves in it
    bool optional;
    Variant default_value;       // used when an optional argument is omitted
    std::string enum_type = {};  // the published enumeration its values come from, if any
};

/// A published enumeration: named 32-bit values.
struct EnumInfo {
    std::string name;
    std::vector<std::pair<std::string, std::int32_t>> values;
};

struct MemberInfo {
    std::string name;
    MemberKind kind;
    std::vector<ParamInfo> params;  // for let and set the assigned value comes last
    DeclType returns;
    // Called with exactly params.size() values, each already of its declared type.
    Variant (*call)(Object& self, std::span<Variant> values);
};

/// The event interface of a class that reports progress.
struct EventInfo {
    std::string name;          // "Progress"
    std::string param;         // "Percent"
    DeclType width;            // I16 or I32
    std::string buddy_method;  // method called on a buddy object instead of the event
};

/// Everything the host can see of a class, in interface order.
struct ClassInfo {
    std::string name;
    std::vector<MemberInfo> members;
    std::optional<EventInfo> event;
    std::vector<EnumInfo> enums = {};  // enumerations published with the class

    /// Finds a member by name (case-insensitive) and kind. A method call also finds a property
    /// get and a get finds a method, as hosts use the two interchangeably.
    const MemberInfo* find(std::string_view member, MemberKind kind) const;
};

/// Base of every object a dynamic call can reach: library classes, host objects, components.
class Object : public std::enable_shared_from_this<Object> {
  public:
    virtual ~Object();

    /// The class description, or nullptr for objects without a member table (host objects).
    virtual const ClassInfo* class_info() const { return nullptr; }

    /// Calls a member by name. Raises 438 for an unknown member, 449 for a missing required
    /// argument, 450 for too many, 448 for an unknown named argument, and 13 or 6 when an
    /// argument cannot be converted to its parameter's type.
    virtual Variant invoke(std::string_view member, MemberKind kind, std::span<ArgRef> args);

    /// Connects an event sink (any object callable by name); raises 438 if the class has no
    /// events.
    virtual void connect(const ObjectRef& sink);
    virtual void disconnect(const ObjectRef& sink);
};

/// Calls `member` on `info`'s member table for `self`.
Variant dispatch(Object& self, const ClassInfo& info, std::string_view member, MemberKind kind,
                 std::span<ArgRef> args);

/// Convenience for C++ callers: a method call with by-reference arguments.
template <class... V>
Variant call(Object& obj, std::string_view member, V&... args) {
    ArgRef refs[] = {ArgRef{&args}..., ArgRef{nullptr}};
    return obj.invoke(member, MemberKind::Method, std::span<ArgRef>(refs, sizeof...(V)));
}

/// A host object: every call by name goes to one handler.
using HostHandler =
    std::function<Variant(std::string_view member, MemberKind kind, std::span<ArgRef> args)>;
ObjectRef make_host_object(HostHandler handler);

}  // namespace ombrak
