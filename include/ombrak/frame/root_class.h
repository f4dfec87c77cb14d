// The root class (library information, own resources, about box, per-thread object slot) and
// the placeholder classes.
#pragma once

#include "ombrak/frame/object.h"

namespace ombrak {

class clsKvOmbrak10 final : public Object {
  public:
    /// The application-information object.
    ObjectRef GetProStdProperties();
    /// The library holds no string resources: raises error 326 for every identifier.
    Text GetProResStrings(std::int32_t& lResId);
    /// The library holds no pictures: raises error 326 (error 6 first if lRestype does not fit
    /// in 16 bits).
    ObjectRef GetProResPicture(std::int32_t& lResId, std::int32_t& lRestype);
    /// The library's own resources as bytes: identifier 1 of type "TYPELIB" the type description
    /// as UTF-8 JSON; identifier 1 of type 16 (or "#16") the version information as a
    /// VS_VERSION_INFO block; type "IID" the 16-byte identifier of a class's default interface,
    /// by the class's number (1 clsKvOmbrak10 ... 28 clsKvVeskEncDecSkipjackA, in catalogue
    /// order, for the classes built). Anything else raises error 326.
    Variant GetProResData(std::int32_t& lResId, Variant& vRestype);
    /// Shows the about box; failures go to the error reporter. Always 0.
    std::int32_t About();
    /// This thread's object slot, initially nothing.
    ObjectRef BuddyObjectGlobal();
    void BuddyObjectGlobal(ObjectRef& value);

    static const ClassInfo& info();
    const ClassInfo* class_info() const override { return &info(); }
};

/// Classes that can be created and released and offer nothing else.
#define OMBRAK_PLACEHOLDER_CLASS(Name)                                   \
    class Name final : public Object {                                   \
      public:                                                            \
        static const ClassInfo& info() {                                 \
            static const ClassInfo k{#Name, {}, std::nullopt};           \
            return k;                                                    \
        }                                                                \
        const ClassInfo* class_info() const override { return &info(); } \
    };
OMBRAK_PLACEHOLDER_CLASS(clsKvVeskGeneralA)
OMBRAK_PLACEHOLDER_CLASS(clsKvVeskAdvancedA)
OMBRAK_PLACEHOLDER_CLASS(clsKvVeskEncDecEbA)
OMBRAK_PLACEHOLDER_CLASS(clsKvVeskEncDecSkipjackA)
#undef OMBRAK_PLACEHOLDER_CLASS

}  // namespace ombrak
