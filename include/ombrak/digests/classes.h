// The digest classes: MD5 of a text in one call, the MD5 context objects with their
// incremental operations, SHA-1 and SHA-256 of a text.
#pragma once

#include <array>
#include <cstdint>

#include "ombrak/digests/digests.h"
#include "ombrak/frame/member_table.h"
#include "ombrak/frame/object.h"

namespace ombrak {

/// MD5 of a text whose bytes are the low eight bits of its UTF-16 code units; lower-case hex.
class clsKvVeskMessageDigestA final : public Object {
  public:
    Text MD5(Text& message);

    static const ClassInfo& info();
    const ClassInfo* class_info() const override { return &info(); }
};

/// The MD5 context the two context classes share: four registers, the count of bytes fed
/// (a signed 32-bit number, so 2147483647 bytes at most and 2^28 - 1 before MD5Final's bit
/// count overflows) and the incomplete block.
class Md5Context {
  public:
    Text RegisterA() const { return register_text(0); }
    Text RegisterB() const { return register_text(1); }
    Text RegisterC() const { return register_text(2); }
    Text RegisterD() const { return register_text(3); }

    /// MD5Init, the text's ANSI bytes, MD5Final; upper-case hex. At most 32767 characters
    /// (error 6, the context unchanged).
    Text DigestStrToHexStr(Text& source);
    /// The upper-case hex of the registers as they stand.
    Text GetValues() const;
    /// The MD5 initial registers and a count of zero.
    void MD5Init();
    /// Pads and appends the bit count. Raises error 6 (the context unchanged) once 2^28 bytes
    /// or more were fed. Does not start over: the count includes the padding afterwards.
    void MD5Final();
    /// Feeds bytes 0 .. length - 1 of the array. Raises error 6 for more than 32767 bytes or a
    /// count beyond 2147483647, error 9 when the array is shorter; either leaves the context
    /// unchanged. A negative length feeds nothing.
    void MD5Update(std::int32_t& length, Bytes& buffer);
    /// Rotates value left by bits mod 32 (the remainder signed as bits); no rotation for a
    /// remainder of zero or below. Both arguments receive what was used.
    std::int32_t LongLeftRotate(std::int32_t& value, std::int32_t& bits);

  protected:
    /// The upper-case hex MD5 of a file's bytes, streamed. Raises error 53 for a missing file,
    /// 75 when it cannot be read, 6 beyond 268435455 bytes (before the context changes).
    Text digest_file(const Text& path);

  private:
    Text register_text(int i) const;
    void feed(const std::uint8_t* p, std::size_t n);

    digests::Md5Algo::State registers_{};
    std::int32_t total_ = 0;  // bytes fed since MD5Init, padding of MD5Final included
    std::array<std::uint8_t, 64> block_{};
};

class clsKvVeskEncDecMD5A final : public Object, public Md5Context {
  public:
    /// The file's digest, or the empty text for any failure.
    Text DigestFileToHexStr(Text& path);

    static const ClassInfo& info();
    const ClassInfo* class_info() const override { return &info(); }
};

class clsKvVeskMessageDigestB final : public Object, public Md5Context {
  public:
    /// The file's digest; a failure reaches the caller as its run-time error.
    Text DigestFileToHexStr(Text& path) { return digest_file(path); }

    static const ClassInfo& info();
    const ClassInfo* class_info() const override { return &info(); }
};

/// SHA-1 of a text's ANSI bytes, upper-case hex; empties the caller's text.
class clsKvVeskEncDecShaA final : public Object {
  public:
    Text SHA1(Text& message);

    static const ClassInfo& info();
    const ClassInfo* class_info() const override { return &info(); }
};

/// SHA-256 of a text whose bytes are the low eight bits of its UTF-16 code units, lower-case
/// hex; empties the caller's text.
class clsKvVeskEncDecSha256A final : public Object {
  public:
    Text SHA256(Text& message);

    static const ClassInfo& info();
    const ClassInfo* class_info() const override { return &info(); }
};

/// Digits of a digest, two per byte, in the given case.
std::string hex_digits(std::span<const std::uint8_t> digest, bool upper);

}  // namespace ombrak
