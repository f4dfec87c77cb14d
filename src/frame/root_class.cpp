// The root class.
#include "ombrak/frame/root_class.h"

#include "ombrak/frame/components.h"
#include "ombrak/frame/error.h"
#include "ombrak/frame/member_table.h"
#include "ombrak/frame/text.h"
#include "ombrak/frame/typelib.h"

namespace ombrak {

namespace {
thread_local ObjectRef buddy_object_global;
}

ObjectRef clsKvOmbrak10::GetProStdProperties() {
    return make_app_info();
}

Text clsKvOmbrak10::GetProResStrings(std::int32_t& lResId) {
    raise_resource_not_found(lResId);
}

ObjectRef clsKvOmbrak10::GetProResPicture(std::int32_t& lResId, std::int32_t& lRestype) {
    to_i16(Variant(lRestype));  // the picture kind travels on as a 16-bit value
    raise_resource_not_found(lResId);
}

Variant clsKvOmbrak10::GetProResData(std::int32_t& lResId, Variant& vRestype) {
    if (lResId == 1 && vRestype.type() == VarType::Text) {
        std::string type = text_to_utf8(vRestype.get<Text>());
        if (iequals(type, "TYPELIB")) {
            std::string json = type_library_json();
            return Variant(Bytes(json.begin(), json.end()));
        }
    }
    raise_resource_not_found(lResId);
}

std::int32_t clsKvOmbrak10::About() {
    constexpr std::string_view place = "basKvtsCommonA.AppAboutKvts_Pro";
    ObjectRef about;
    report_and_continue(place, [&] { about = create_object(kAboutBoxProgId); });
    report_and_continue(place, [&] {
        if (!about) raise_runtime(RuntimeError::ObjectNotSet);
        Variant app(make_app_info());
        ArgRef a{&app, false};
        about->invoke("AppAboutKvts", MemberKind::Method, std::span<ArgRef>(&a, 1));
    });
    return 0;
}

ObjectRef clsKvOmbrak10::BuddyObjectGlobal() {
    return buddy_object_global;
}
void clsKvOmbrak10::BuddyObjectGlobal(ObjectRef& value) {
    buddy_object_global = value;
}

const ClassInfo& clsKvOmbrak10::info() {
    using namespace binding;
    using C = clsKvOmbrak10;
    static const ClassInfo k{
        "clsKvOmbrak10",
        {get<&C::GetProStdProperties>("GetProStdProperties"),
         method<&C::GetProResStrings>("GetProResStrings", {arg("lResId")}),
         method<&C::GetProResPicture>("GetProResPicture", {arg("lResId"), arg("lRestype")}),
         method<&C::GetProResData>("GetProResData", {arg("lResId"), arg("vRestype")}),
         method<&C::About>("About"),
         get<static_cast<ObjectRef (C::*)()>(&C::BuddyObjectGlobal)>("BuddyObjectGlobal"),
         set<static_cast<void (C::*)(ObjectRef&)>(&C::BuddyObjectGlobal)>("BuddyObjectGlobal",
                                                                          {arg("oValue")})},
        std::nullopt};
    return k;
}

}  // namespace ombrak
