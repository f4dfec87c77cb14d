// The digest classes over the MD5, SHA-1 and SHA-256 kernels. Texts are turned into bytes a
// few kilobytes at a time, straight into the kernel, never into a copy of the whole text.
#include "ombrak/digests/classes.h"

#include <algorithm>
#include <cerrno>
#include <string>

#include "ombrak/frame/components.h"
#include "ombrak/frame/error.h"
#include "ombrak/frame/files.h"
#include "ombrak/frame/platform.h"
#include "ombrak/frame/text.h"

namespace ombrak {

namespace {

constexpr std::size_t kChunk = 4096;

// The digest of a text whose bytes convert(text piece, out) makes, one per code unit.
template <class Hash, class Convert>
typename Hash::Digest digest_text(std::u16string_view t, Convert&& convert) {
    std::uint8_t buf[kChunk];
    if (t.size() <= kChunk) {
        convert(t, buf);
        return Hash::of(std::span(buf, t.size()));
    }
    Hash h;
    for (std::size_t o = 0; o < t.size(); o += kChunk) {
        const std::size_t n = std::min(kChunk, t.size() - o);
        convert(t.substr(o, n), buf);
        h.update(std::span(buf, n));
    }
    return h.final();
}

void low_bytes(std::u16string_view t, std::uint8_t* out) noexcept {
    for (std::size_t i = 0; i < t.size(); ++i) out[i] = static_cast<std::uint8_t>(t[i]);
}

void ansi_bytes(std::u16string_view t, std::uint8_t* out) noexcept {
    ansi_from_text(t, out);
}

Text hex_text(std::span<const std::uint8_t> digest, bool upper) {
    return ascii_to_text(hex_digits(digest, upper));
}

}  // namespace

std::string hex_digits(std::span<const std::uint8_t> digest, bool upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string s(digest.size() * 2, '0');
    for (std::size_t i = 0; i < digest.size(); ++i) {
        s[2 * i] = digits[digest[i] >> 4];
        s[2 * i + 1] = digits[digest[i] & 15];
    }
    return s;
}

// ---- MD5 of a text in one call -------------------------------------------------------------

Text clsKvVeskMessageDigestA::MD5(Text& message) {
    return hex_text(digest_text<digests::Md5>(message, low_bytes), false);
}

const ClassInfo& clsKvVeskMessageDigestA::info() {
    using namespace binding;
    using C = clsKvVeskMessageDigestA;
    static const ClassInfo k{"clsKvVeskMessageDigestA",
                             {method<&C::MD5>("MD5", {arg("sMessageData")})},
                             std::nullopt};
    return k;
}

// ---- The MD5 context -----------------------------------------------------------------------

Text Md5Context::register_text(int i) const {
    return ascii_to_text(std::to_string(static_cast<std::int32_t>(registers_[i])));
}

Text Md5Context::GetValues() const {
    return hex_text(digests::Md5Algo::digest(registers_), true);
}

void Md5Context::MD5Init() {
    registers_ = digests::Md5Algo::initial();
    total_ = 0;
}

// Appends n bytes; the caller has checked that the count stays within 2147483647.
void Md5Context::feed(const std::uint8_t* p, std::size_t n) {
    std::size_t index = static_cast<std::size_t>(total_) % 64;
    total_ += static_cast<std::int32_t>(n);
    if (index) {
        const std::size_t take = std::min(n, 64 - index);
        std::copy_n(p, take, block_.data() + index);
        p += take;
        n -= take;
        if (index + take < 64) return;
        digests::Md5Algo::compress(registers_, block_.data(), 1);
    }
    digests::Md5Algo::compress(registers_, p, n / 64);
    std::copy_n(p + n / 64 * 64, n % 64, block_.data());
}

void Md5Context::MD5Update(std::int32_t& length, Bytes& buffer) {
    if (length <= 0) return;
    if (length > 32767 || total_ > INT32_MAX - length) raise_runtime(RuntimeError::Overflow);
    if (buffer.size() < static_cast<std::size_t>(length))
        raise_runtime(RuntimeError::SubscriptOutOfRange);
    feed(buffer.data(), static_cast<std::size_t>(length));
}

void Md5Context::MD5Final() {
    // The bit count is a signed 32-bit product.
    if (total_ >= (1 << 28)) raise_runtime(RuntimeError::Overflow);
    const std::uint32_t bits = static_cast<std::uint32_t>(total_) * 8;
    const std::size_t index = static_cast<std::size_t>(total_) % 64;
    std::uint8_t pad[72] = {0x80};
    const std::size_t pad_length = index < 56 ? 56 - index : 120 - index;
    for (int i = 0; i < 4; ++i) pad[pad_length + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    feed(pad, pad_length + 8);
}

Text Md5Context::DigestStrToHexStr(Text& source) {
    // The bytes are fed in one MD5Update, whose positions are 16-bit.
    if (source.size() > 32767) raise_runtime(RuntimeError::Overflow);
    CodePageScope code_page;
    std::uint8_t bytes[32767];
    ansi_from_text(source, bytes);
    MD5Init();
    feed(bytes, source.size());
    MD5Final();
    return GetValues();
}

Text Md5Context::digest_file(const Text& path) {
    constexpr std::uint64_t kLimit = (1u << 28) - 1;  // MD5Final's bit count
    auto in = files::Input::open_any(native_path(path));
    if (!in)
        raise_runtime(errno == ENOENT || errno == ENOTDIR ? RuntimeError::FileNotFound
                                                          : RuntimeError::FileAccess);
    if (in->size() && *in->size() > kLimit) raise_runtime(RuntimeError::Overflow);
    MD5Init();
    // A small file needs no more than its size.
    Bytes piece(static_cast<std::size_t>(
        std::clamp<std::uint64_t>(in->size().value_or(files::kPiece), 1, files::kPiece)));
    for (std::size_t n; (n = in->read(piece.data(), piece.size())) > 0;) {
        // A stream's size is found out as it is read.
        if (static_cast<std::uint64_t>(total_) + n > kLimit) raise_runtime(RuntimeError::Overflow);
        feed(piece.data(), n);
    }
    MD5Final();
    return GetValues();
}

std::int32_t Md5Context::LongLeftRotate(std::int32_t& value, std::int32_t& bits) {
    bits %= 32;  // the remainder takes the sign of bits
    if (bits > 0)
        value = static_cast<std::int32_t>(std::rotl(static_cast<std::uint32_t>(value), bits));
    return value;
}

Text clsKvVeskEncDecMD5A::DigestFileToHexStr(Text& path) {
    Text result;
    swallow([&] { result = digest_file(path); });
    return result;
}

namespace {

// The context classes' members in interface order; the two classes differ in where
// DigestFileToHexStr stands and in its parameter's name.
template <class C>
std::vector<MemberInfo> md5_context_members(bool file_first, const char* file_param) {
    using namespace binding;
    using M = Md5Context;
    std::vector<MemberInfo> m = {
        get<&M::RegisterA, C>("RegisterA"), get<&M::RegisterB, C>("RegisterB"),
        get<&M::RegisterC, C>("RegisterC"), get<&M::RegisterD, C>("RegisterD")};
    MemberInfo str = method<&M::DigestStrToHexStr, C>("DigestStrToHexStr", {arg("SourceString")});
    MemberInfo file = method<&C::DigestFileToHexStr>("DigestFileToHexStr", {arg(file_param)});
    if (file_first) std::swap(str, file);
    m.push_back(std::move(str));
    m.push_back(std::move(file));
    m.push_back(method<&M::GetValues, C>("GetValues"));
    m.push_back(method<&M::MD5Init, C>("MD5Init"));
    m.push_back(method<&M::MD5Final, C>("MD5Final"));
    m.push_back(method<&M::MD5Update, C>("MD5Update", {arg("InputLen"), arg("InputBuffer")}));
    m.push_back(method<&M::LongLeftRotate, C>("LongLeftRotate", {arg("value"), arg("bits")}));
    return m;
}

}  // namespace

const ClassInfo& clsKvVeskEncDecMD5A::info() {
    static const ClassInfo k{"clsKvVeskEncDecMD5A",
                             md5_context_members<clsKvVeskEncDecMD5A>(false, "InFile"),
                             std::nullopt};
    return k;
}

const ClassInfo& clsKvVeskMessageDigestB::info() {
    static const ClassInfo k{"clsKvVeskMessageDigestB",
                             md5_context_members<clsKvVeskMessageDigestB>(true, "FileName"),
                             std::nullopt};
    return k;
}

// ---- SHA-1 and SHA-256 ---------------------------------------------------------------------

Text clsKvVeskEncDecShaA::SHA1(Text& message) {
    CodePageScope code_page;
    Text result = hex_text(digest_text<digests::Sha1>(message, ansi_bytes), true);
    message.clear();
    return result;
}

const ClassInfo& clsKvVeskEncDecShaA::info() {
    using namespace binding;
    using C = clsKvVeskEncDecShaA;
    static const ClassInfo k{"clsKvVeskEncDecShaA", {method<&C::SHA1>("SHA1", {arg("inMessage")})},
                             std::nullopt};
    return k;
}

Text clsKvVeskEncDecSha256A::SHA256(Text& message) {
    Text result = hex_text(digest_text<digests::Sha256>(message, low_bytes), false);
    message.clear();
    return result;
}

const ClassInfo& clsKvVeskEncDecSha256A::info() {
    using namespace binding;
    using C = clsKvVeskEncDecSha256A;
    static const ClassInfo k{"clsKvVeskEncDecSha256A",
                             {method<&C::SHA256>("SHA256", {arg("sMessage")})},
                             std::nullopt};
    return k;
}

}  // namespace ombrak
