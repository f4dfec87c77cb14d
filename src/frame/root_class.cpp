// The root class.
#include "ombrak/frame/root_class.h"

#include <optional>
#include <string>

#include "ombrak/frame/components.h"
#include "ombrak/frame/error.h"
#include "ombrak/frame/member_table.h"
#include "ombrak/frame/text.h"
#include "ombrak/frame/typelib.h"

namespace ombrak {

namespace {

thread_local ObjectRef buddy_object_global;

// Numbers of the interface-identifier records: every class of the library in a fixed order,
// built or not, so that a number never changes as classes are added.
constexpr const char* kClassNumbers[] = {"clsKvOmbrak10",
                                         "clsKvVeskMessageDigestA",
                                         "clsKvVeskMessageDigestB",
                                         "clsKvVeskEncDecMD5A",
                                         "clsKvVeskEncDecShaA",
                                         "clsKvVeskEncDecSha256A",
                                         "clsKvVeskEncDecA",
                                         "clsKvVeskEncDecGlimA",
                                         "clsKvVeskEncDecTeaA",
                                         "clsKvVeskEncDecBlowFishA",
                                         "clsKvVeskEncDecDesA",
                                         "clsKvVeskEncDecGostA",
                                         "clsKvVeskEncDec2FishA",
                                         "clsKvVeskEncDecSerpentA",
                                         "clsKvVeskEncDecRC4A",
                                         "clsKvVeskEncDecBase64A",
                                         "clsKvVeskEncDecHuffmanA",
                                         "clsKvVeskClassicCiphersA",
                                         "clsKvVeskEncDecMorseA",
                                         "clsKvVeskEncDecCeaserA",
                                         "clsKvVeskEncDecSabreA",
                                         "clsKvVeskEncDecSoftCktA",
                                         "clsKvVeskEncDecSalasanaA",
                                         "clsKvVeskEncDecSmokeA",
                                         "clsKvVeskGeneralA",
                                         "clsKvVeskAdvancedA",
                                         "clsKvVeskEncDecEbA",
                                         "clsKvVeskEncDecSkipjackA"};

// Writes the nested blocks of a version resource: each a length, a value length, a type
// (0 binary, 1 text) and a key, aligned to four bytes, then its value and its children.
class VersionBlocks {
  public:
    std::size_t begin(std::u16string_view key, std::uint16_t value_length, std::uint16_t type) {
        align();
        std::size_t start = out_.size();
        u16(0);  // the length, once the block is complete
        u16(value_length);
        u16(type);
        text(key);
        align();
        return start;
    }
    void end(std::size_t start) {
        const std::size_t length = out_.size() - start;
        out_[start] = static_cast<std::uint8_t>(length);
        out_[start + 1] = static_cast<std::uint8_t>(length >> 8);
    }
    void string(std::u16string_view key, std::u16string_view value) {
        std::size_t s = begin(key, static_cast<std::uint16_t>(value.size() + 1), 1);
        text(value);
        end(s);
    }
    void u16(std::uint16_t v) {
        out_.push_back(static_cast<std::uint8_t>(v));
        out_.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v) {
        u16(static_cast<std::uint16_t>(v));
        u16(static_cast<std::uint16_t>(v >> 16));
    }
    Bytes take() { return std::move(out_); }

  private:
    void text(std::u16string_view s) {
        for (char16_t c : s) u16(c);
        u16(0);
    }
    void align() {
        while (out_.size() % 4) out_.push_back(0);
    }
    Bytes out_;
};

// The version information in the platform's binary layout: the fixed part, the texts of the
// application-information object in a US English / Unicode string table, and the translation.
Bytes version_resource() {
    constexpr std::uint32_t kMajor = LibraryVersion::major, kMinor = LibraryVersion::minor,
                            kRevision = LibraryVersion::revision;
    const std::u16string version = utf8_to_text(
        std::to_string(kMajor) + "." + std::to_string(kMinor) + ".0." + std::to_string(kRevision));
    VersionBlocks w;
    std::size_t root = w.begin(u"VS_VERSION_INFO", 52, 0);
    w.u32(0xFEEF04BD);             // signature
    w.u32(0x00010000);             // layout version 1.0
    w.u32(kMajor << 16 | kMinor);  // file version 1.0.0.139
    w.u32(0 << 16 | kRevision);
    w.u32(kMajor << 16 | kMinor);  // product version, the same
    w.u32(0 << 16 | kRevision);
    w.u32(0x3F);        // flags mask
    w.u32(0);           // flags
    w.u32(0x00040004);  // 32-bit Windows NT
    w.u32(2);           // a library
    w.u32(0);           // subtype
    w.u32(0);           // date
    w.u32(0);
    std::size_t strings = w.begin(u"StringFileInfo", 0, 1);
    std::size_t table = w.begin(u"040904B0", 0, 1);
    w.string(u"Comments", LibraryTexts::comments);
    w.string(u"CompanyName", LibraryTexts::company);
    w.string(u"FileDescription", LibraryTexts::description);
    w.string(u"FileVersion", version);
    w.string(u"InternalName", LibraryTexts::file_name);
    w.string(u"LegalCopyright", LibraryTexts::copyright);
    w.string(u"LegalTrademarks", LibraryTexts::trademarks);
    w.string(u"OriginalFilename", LibraryTexts::file_name);
    w.string(u"ProductName", LibraryTexts::product);
    w.string(u"ProductVersion", version);
    w.end(table);
    w.end(strings);
    std::size_t vars = w.begin(u"VarFileInfo", 0, 1);
    std::size_t translation = w.begin(u"Translation", 4, 0);
    w.u32(0x04B00409);  // US English, Unicode
    w.end(translation);
    w.end(vars);
    w.end(root);
    return w.take();
}

// A resource type given as a number, or as "#number" text.
std::optional<std::int32_t> type_number(const Variant& type) {
    switch (type.type()) {
        case VarType::I16:
        case VarType::I32:
        case VarType::F64:
            return to_i32(type);
        case VarType::Text: {
            const Text& t = type.get<Text>();
            if (t.size() < 2 || t[0] != u'#') return std::nullopt;
            std::int32_t n = 0;
            for (std::size_t i = 1; i < t.size() && i < 10; ++i) {
                if (t[i] < u'0' || t[i] > u'9') return std::nullopt;
                n = n * 10 + (t[i] - u'0');
            }
            return n;
        }
        default:
            return std::nullopt;
    }
}

bool type_is(const Variant& type, const char* name) {
    return type.type() == VarType::Text && iequals(text_to_utf8(type.get<Text>()), name);
}

}  // namespace

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
    constexpr std::int32_t kVersionType = 16;
    if (lResId == 1 && type_is(vRestype, "TYPELIB")) {
        std::string json = type_library_json();
        return Variant(Bytes(json.begin(), json.end()));
    }
    if (lResId == 1 && type_number(vRestype) == kVersionType) return Variant(version_resource());
    if (type_is(vRestype, "IID") && lResId >= 1 && lResId <= std::ssize(kClassNumbers)) {
        const char* name = kClassNumbers[lResId - 1];
        if (find_class(name)) {
            auto id = interface_id("Ombrak10", name);
            return Variant(Bytes(id.begin(), id.end()));
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
