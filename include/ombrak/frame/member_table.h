// Builds a class's member table from its C++ members: one declarative line per member gives
// the host name, the parameter names and defaults; types and by-reference passing come from the
// C++ signature (a non-const reference is an in/out parameter).
#pragma once

#include <optional>
#include <tuple>
#include <type_traits>
#include <utility>

#include "ombrak/frame/object.h"

namespace ombrak::binding {

template <class T>
constexpr DeclType decl_of() {
    if constexpr (std::is_same_v<T, void>)
        return DeclType::None;
    else if constexpr (std::is_same_v<T, Variant>)
        return DeclType::Any;
    else if constexpr (std::is_same_v<T, bool>)
        return DeclType::Bool;
    else if constexpr (std::is_same_v<T, std::int16_t>)
        return DeclType::I16;
    else if constexpr (std::is_same_v<T, std::int32_t>)
        return DeclType::I32;
    else if constexpr (std::is_same_v<T, double>)
        return DeclType::F64;
    else if constexpr (std::is_same_v<T, Text>)
        return DeclType::Text;
    else if constexpr (std::is_same_v<T, Bytes>)
        return DeclType::Bytes;
    else if constexpr (std::is_same_v<T, ObjectRef>)
        return DeclType::Object;
    else
        static_assert(sizeof(T) == 0, "type cannot cross a dynamic call");
}

template <class F>
struct fn_traits;
template <class R, class C, class... A>
struct fn_traits<R (C::*)(A...)> {
    using ret = R;
    using cls = C;
    using args = std::tuple<A...>;
};
template <class R, class C, class... A>
struct fn_traits<R (C::*)(A...) const> : fn_traits<R (C::*)(A...)> {
    using cls = const C;
};
template <class R, class C, class... A>
struct fn_traits<R (C::*)(A...) noexcept> : fn_traits<R (C::*)(A...)> {};
template <class R, class C, class... A>
struct fn_traits<R (C::*)(A...) const noexcept> : fn_traits<R (C::*)(A...) const> {};

template <class T>
T& slot(Variant& v) {
    if constexpr (std::is_same_v<T, Variant>)
        return v;
    else
        return v.get<T>();
}

// The class a member is called on: Self when given (a member inherited from a mixin that is not
// itself an Object), else the member's own class.
template <auto Fn, class Self>
using self_t =
    std::conditional_t<std::is_void_v<Self>, typename fn_traits<decltype(Fn)>::cls, Self>;

template <auto Fn, class Self, std::size_t... I>
Variant call_member(Object& self, std::span<Variant> v, std::index_sequence<I...>) {
    using T = fn_traits<decltype(Fn)>;
    using Args = typename T::args;
    auto& obj = static_cast<self_t<Fn, Self>&>(self);
    if constexpr (std::is_void_v<typename T::ret>) {
        (obj.*Fn)(slot<std::remove_cvref_t<std::tuple_element_t<I, Args>>>(v[I])...);
        return Variant();
    } else {
        return Variant(
            (obj.*Fn)(slot<std::remove_cvref_t<std::tuple_element_t<I, Args>>>(v[I])...));
    }
}

template <auto Fn, class Self>
Variant thunk(Object& self, std::span<Variant> v) {
    using Args = typename fn_traits<decltype(Fn)>::args;
    return call_member<Fn, Self>(self, v, std::make_index_sequence<std::tuple_size_v<Args>>{});
}

/// A parameter's host name and, for an optional one, its default.
struct Param {
    const char* name;
    bool optional = false;
    std::optional<Variant> default_value = std::nullopt;
    const char* enum_type = nullptr;
};
inline Param arg(const char* name) {
    return {name};
}
inline Param opt(const char* name) {
    return {name, true};
}
inline Param opt(const char* name, Variant def) {
    return {name, true, std::move(def)};
}
/// An optional parameter taking the values of a published enumeration.
inline Param opt_enum(const char* name, const char* enum_type, Variant def) {
    return {name, true, std::move(def), enum_type};
}

Variant default_for(DeclType t);

template <auto Fn, std::size_t... I>
std::vector<ParamInfo> params_of(const Param* p, std::index_sequence<I...>) {
    using Args = typename fn_traits<decltype(Fn)>::args;
    std::vector<ParamInfo> out;
    (out.push_back(
         ParamInfo{p[I].name, decl_of<std::remove_cvref_t<std::tuple_element_t<I, Args>>>(),
                   std::is_lvalue_reference_v<std::tuple_element_t<I, Args>> &&
                       !std::is_const_v<std::remove_reference_t<std::tuple_element_t<I, Args>>>,
                   p[I].optional,
                   p[I].default_value
                       ? *p[I].default_value
                       : default_for(decl_of<std::remove_cvref_t<std::tuple_element_t<I, Args>>>()),
                   p[I].enum_type ? p[I].enum_type : ""}),
     ...);
    return out;
}

template <auto Fn, class Self = void, std::size_t N>
MemberInfo member(MemberKind kind, const char* name, const Param (&p)[N]) {
    using T = fn_traits<decltype(Fn)>;
    static_assert(std::tuple_size_v<typename T::args> == N,
                  "the member table names a different number of parameters than the C++ member");
    return MemberInfo{name, kind, params_of<Fn>(p, std::make_index_sequence<N>{}),
                      decl_of<std::remove_cvref_t<typename T::ret>>(), &thunk<Fn, Self>};
}

template <auto Fn, class Self = void>
MemberInfo member(MemberKind kind, const char* name) {
    using T = fn_traits<decltype(Fn)>;
    static_assert(std::tuple_size_v<typename T::args> == 0,
                  "the member table names a different number of parameters than the C++ member");
    return MemberInfo{
        name, kind, {}, decl_of<std::remove_cvref_t<typename T::ret>>(), &thunk<Fn, Self>};
}

template <auto Fn, class Self = void, std::size_t N>
MemberInfo method(const char* name, const Param (&p)[N]) {
    return member<Fn, Self>(MemberKind::Method, name, p);
}
template <auto Fn, class Self = void>
MemberInfo method(const char* name) {
    return member<Fn, Self>(MemberKind::Method, name);
}
template <auto Fn, class Self = void>
MemberInfo get(const char* name) {
    return member<Fn, Self>(MemberKind::Get, name);
}
template <auto Fn, class Self = void, std::size_t N>
MemberInfo get(const char* name, const Param (&p)[N]) {
    return member<Fn, Self>(MemberKind::Get, name, p);
}
template <auto Fn, class Self = void, std::size_t N>
MemberInfo let(const char* name, const Param (&p)[N]) {
    return member<Fn, Self>(MemberKind::Let, name, p);
}
template <auto Fn, class Self = void, std::size_t N>
MemberInfo set(const char* name, const Param (&p)[N]) {
    return member<Fn, Self>(MemberKind::Set, name, p);
}

}  // namespace ombrak::binding
