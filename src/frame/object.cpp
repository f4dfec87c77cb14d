// By-name dispatch through a class's member table, and host objects.
#include "ombrak/frame/object.h"

#include "ombrak/frame/error.h"
#include "ombrak/frame/member_table.h"
#include "ombrak/frame/text.h"

namespace ombrak {

const char* kind_name(MemberKind k) noexcept {
    switch (k) {
        case MemberKind::Method:
            return "method";
        case MemberKind::Get:
            return "get";
        case MemberKind::Let:
            return "let";
        case MemberKind::Set:
            return "set";
    }
    return "?";
}

const char* decl_type_name(DeclType t) noexcept {
    switch (t) {
        case DeclType::None:
            return "none";
        case DeclType::Any:
            return "variant";
        case DeclType::Bool:
            return "bool";
        case DeclType::I16:
            return "i16";
        case DeclType::I32:
            return "i32";
        case DeclType::F64:
            return "f64";
        case DeclType::Text:
            return "text";
        case DeclType::Bytes:
            return "bytes";
        case DeclType::Object:
            return "object";
    }
    return "?";
}

namespace {

VarType var_type(DeclType t) {
    switch (t) {
        case DeclType::Bool:
            return VarType::Bool;
        case DeclType::I16:
            return VarType::I16;
        case DeclType::I32:
            return VarType::I32;
        case DeclType::F64:
            return VarType::F64;
        case DeclType::Text:
            return VarType::Text;
        case DeclType::Bytes:
            return VarType::Bytes;
        case DeclType::Object:
            return VarType::Object;
        default:
            return VarType::Empty;  // no conversion
    }
}

const MemberInfo* find_exact(const ClassInfo& info, std::string_view name, MemberKind kind) {
    for (const auto& m : info.members)
        if (m.kind == kind && iequals(m.name, name)) return &m;
    return nullptr;
}

}  // namespace

namespace binding {
Variant default_for(DeclType t) {
    switch (t) {
        case DeclType::Bool:
            return Variant(false);
        case DeclType::I16:
            return Variant(std::int16_t{0});
        case DeclType::I32:
            return Variant(std::int32_t{0});
        case DeclType::F64:
            return Variant(0.0);
        case DeclType::Text:
            return Variant(Text());
        case DeclType::Bytes:
            return Variant(Bytes());
        case DeclType::Object:
            return Variant(ObjectRef());
        default:
            return Variant::missing();
    }
}
}  // namespace binding

const MemberInfo* ClassInfo::find(std::string_view member, MemberKind kind) const {
    if (const MemberInfo* m = find_exact(*this, member, kind)) return m;
    if (kind == MemberKind::Method) return find_exact(*this, member, MemberKind::Get);
    if (kind == MemberKind::Get) return find_exact(*this, member, MemberKind::Method);
    return nullptr;
}

Object::~Object() = default;

Variant Object::invoke(std::string_view member, MemberKind kind, std::span<ArgRef> args) {
    const ClassInfo* info = class_info();
    if (!info) raise_runtime(RuntimeError::NotSupported);
    return dispatch(*this, *info, member, kind, args);
}

void Object::connect(const ObjectRef&) {
    raise_runtime(RuntimeError::NotSupported);
}
void Object::disconnect(const ObjectRef&) {
    raise_runtime(RuntimeError::NotSupported);
}

Variant dispatch(Object& self, const ClassInfo& info, std::string_view name, MemberKind kind,
                 std::span<ArgRef> args) {
    const MemberInfo* m = info.find(name, kind);
    if (!m) raise_runtime(RuntimeError::NotSupported);
    // One code page for the whole call, its conversions of arguments included.
    CodePageScope code_page;
    const std::size_t count = m->params.size();
    std::vector<ArgRef*> from(count, nullptr);

    // For a property let or set the assigned value comes last: the last positional argument
    // goes to the last parameter, any others to the leading (index) parameters.
    std::size_t positional = 0;
    for (const ArgRef& a : args) positional += a.name.empty();
    const bool assigns = (kind == MemberKind::Let || kind == MemberKind::Set) && count > 0;
    std::size_t position = 0, seen = 0;
    for (ArgRef& a : args) {
        std::size_t index = count;
        if (a.name.empty()) {
            ++seen;
            if (assigns && seen == positional) {
                index = count - 1;
            } else {
                index = position++;
                if (assigns && index >= count - 1) raise_runtime(RuntimeError::WrongArgumentCount);
            }
            if (index >= count) raise_runtime(RuntimeError::WrongArgumentCount);
        } else {
            for (std::size_t i = 0; i < count; ++i)
                if (iequals(m->params[i].name, a.name)) index = i;
            if (index == count) raise_runtime(RuntimeError::NamedArgumentNotFound);
            if (from[index]) raise_runtime(RuntimeError::WrongArgumentCount);
        }
        from[index] = &a;
    }

    // How each argument reaches the member. The caller's variable itself, moved in and back,
    // when it is passed by reference to an in/out parameter of its own type (a byte array is
    // never copied); otherwise a converted copy, written back only when the member changed it,
    // so an argument the member leaves alone keeps its type and value.
    enum class Way : std::uint8_t { None, Moved, Copied };
    std::vector<Variant> values(count);
    std::vector<Way> way(count, Way::None);
    std::vector<Variant> before(count);
    for (std::size_t i = 0; i < count; ++i) {
        const ParamInfo& p = m->params[i];
        ArgRef* a = from[i];
        if (!a || a->var->is_missing()) {
            if (!p.optional) raise_runtime(RuntimeError::ArgumentNotOptional);
            values[i] = p.default_value;
            continue;
        }
        const bool in_out = a->by_ref && p.by_ref;
        bool aliased = false;
        for (std::size_t k = 0; k < count; ++k)
            aliased |= k != i && from[k] && from[k]->var == a->var;
        if (in_out && !aliased && (p.type == DeclType::Any || a->var->type() == var_type(p.type))) {
            way[i] = Way::Moved;  // moved below, once every conversion has succeeded
            continue;
        }
        values[i] = p.type == DeclType::Any ? *a->var : coerce(*a->var, var_type(p.type));
        if (in_out) {
            way[i] = Way::Copied;
            before[i] = values[i];
        }
    }
    for (std::size_t i = 0; i < count; ++i)
        if (way[i] == Way::Moved) values[i] = std::move(*from[i]->var);

    // In/out parameters are the caller's variables: they see the member's changes even when
    // it fails.
    auto write_back = [&] {
        for (std::size_t i = 0; i < count; ++i) {
            if (way[i] == Way::Moved)
                *from[i]->var = std::move(values[i]);
            else if (way[i] == Way::Copied && !(values[i] == before[i]))
                *from[i]->var = std::move(values[i]);
        }
    };
    try {
        Variant result = m->call(self, values);
        write_back();
        return result;
    } catch (...) {
        write_back();
        throw;
    }
}

namespace {
class HostObject final : public Object {
  public:
    explicit HostObject(HostHandler h) : handler_(std::move(h)) {}
    Variant invoke(std::string_view member, MemberKind kind, std::span<ArgRef> args) override {
        return handler_(member, kind, args);
    }

  private:
    HostHandler handler_;
};
}  // namespace

ObjectRef make_host_object(HostHandler handler) {
    return std::make_shared<HostObject>(std::move(handler));
}

}  // namespace ombrak
