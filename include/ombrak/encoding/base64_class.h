// The Base64 class, and the four Base64 operations every cipher class carries.
#pragma once

#include "ombrak/encoding/base64.h"
#include "ombrak/frame/member_table.h"
#include "ombrak/frame/object.h"

namespace ombrak {

/// Base64 of the bytes in the library layout; never fails (an impossible input gives "").
Text encode_array64(const Bytes& bytes) noexcept;
/// Decodes by the lenient rules; raises error 5 when nothing is left after removing CR LF pairs
/// and "=".
Bytes decode_array64(const Text& text);
/// Base64 of the text's ANSI bytes; "" for "".
Text encode64(const Text& text);
/// The ANSI text of the decoded bytes; "" for "".
Text decode64(const Text& text);

/// The lenient decoder's values of the bytes 0x80..0xFF of a file read as text: each byte is the
/// character the ANSI code page gives it, and counts as that character's low byte.
void ansi_base64_values(std::uint8_t (&values)[128]) noexcept;

/// The four operations as members, for any class C that has them.
template <class C>
struct Base64Members {
    Text Decode64(Text& sInput) { return decode64(sInput); }
    Bytes DecodeArray64(Text& sInput) { return decode_array64(sInput); }
    Text Encode64(Text& sInput) { return encode64(sInput); }
    Text EncodeArray64(Bytes& bytInput) { return encode_array64(bytInput); }
};

/// Member-table lines for the four operations of class C (which derives from Base64Members<C>).
template <class C>
std::vector<MemberInfo> base64_members() {
    using namespace binding;
    using B = Base64Members<C>;
    return {method<&B::Decode64, C>("Decode64", {arg("sInput")}),
            method<&B::DecodeArray64, C>("DecodeArray64", {arg("sInput")}),
            method<&B::Encode64, C>("Encode64", {arg("sInput")}),
            method<&B::EncodeArray64, C>("EncodeArray64", {arg("bytInput")})};
}

class clsKvVeskEncDecBase64A final : public Object, public Base64Members<clsKvVeskEncDecBase64A> {
  public:
    static const ClassInfo& info();
    const ClassInfo* class_info() const override { return &info(); }
};

}  // namespace ombrak
