// MD5 (RFC 1321), SHA-1 and SHA-256 (FIPS 180-4), incremental: update with any pieces, then
// final. SHA-1 and SHA-256 use the CPU's SHA instructions when it has them (chosen at run time).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace ombrak::digests {

/// The shared buffering of 64-byte-block hashes. Algo provides the state type, the initial
/// state, compress(state, blocks, n), the byte order of the length field and the digest.
template <class Algo>
class BlockHash {
  public:
    static constexpr std::size_t kDigestSize = Algo::kDigestSize;
    using Digest = std::array<std::uint8_t, kDigestSize>;

    BlockHash() noexcept { reset(); }

    void reset() noexcept {
        state_ = Algo::initial();
        length_ = 0;
        used_ = 0;
    }

    void update(std::span<const std::uint8_t> data) noexcept {
        const std::uint8_t* p = data.data();
        std::size_t n = data.size();
        length_ += n;
        if (used_) {
            const std::size_t take = n < 64 - used_ ? n : 64 - used_;
            for (std::size_t i = 0; i < take; ++i) buffer_[used_ + i] = p[i];
            used_ += take;
            p += take;
            n -= take;
            if (used_ < 64) return;
            Algo::compress(state_, buffer_.data(), 1);
            used_ = 0;
        }
        if (n >= 64) {
            Algo::compress(state_, p, n / 64);
            p += n / 64 * 64;
            n %= 64;
        }
        for (std::size_t i = 0; i < n; ++i) buffer_[i] = p[i];
        used_ = n;
    }

    /// The digest; the object starts over afterwards.
    Digest final() noexcept {
        Algo::compress(state_, buffer_.data(), pad(buffer_.data(), used_, length_));
        Digest d = Algo::digest(state_);
        reset();
        return d;
    }

    /// The digest of one buffer.
    static Digest of(std::span<const std::uint8_t> data) noexcept {
        if (data.size() >= 128) {
            BlockHash h;
            h.update(data);
            return h.final();
        }
        // A whole block is compressed where it stands, the rest with its padding from a zeroed
        // local copy, in one run.
        const std::size_t whole = data.size() / 64 * 64, rest = data.size() - whole;
        std::uint8_t last[128] = {};
        if (rest) std::memcpy(last, data.data() + whole, rest);
        const std::size_t n = pad_zeroed(last, rest, data.size());
        typename Algo::State state = Algo::initial();
        Algo::compress2(state, data.data(), whole / 64, last, n);
        return Algo::digest(state);
    }

    /// Completes the last blocks of a message of `length` bytes, whose first `used` bytes
    /// (below 64) are still to be compressed: one 0x80 byte, zeros to 56 mod 64, the bit count
    /// as 64 bits (the full count, modulo 2^64) in the algorithm's byte order. Returns the
    /// number of blocks to compress (1, or 2 from 56 bytes on); `last` has room for two.
    static std::size_t pad(std::uint8_t* last, std::size_t used, std::uint64_t length) noexcept {
        const std::size_t end = used < 56 ? 64 : 128;
        std::memset(last + used + 1, 0, end - 8 - used - 1);
        return pad_zeroed(last, used, length);
    }

  private:
    // pad() for a block that is zero from `used` on: fixed-size stores only, so the block's wide
    // loads that follow are not held up by narrow stores.
    static std::size_t pad_zeroed(std::uint8_t* last, std::size_t used,
                                  std::uint64_t length) noexcept {
        const std::size_t end = used < 56 ? 64 : 128;
        last[used] = 0x80;
        std::uint64_t bits = length * 8;
        if constexpr (Algo::kLengthBigEndian) bits = __builtin_bswap64(bits);
        std::memcpy(last + end - 8, &bits, 8);
        return end / 64;
    }

  private:
    typename Algo::State state_;
    std::uint64_t length_;
    std::size_t used_;
    std::array<std::uint8_t, 128> buffer_;  // bytes 0 .. used_ - 1 hold data; two blocks of
                                            // room for the padding
};

/// What MD4 and MD5 share: four words from the same initial values, the length and the digest
/// little-endian, and a run of blocks as two calls of the algorithm's compress.
template <class Algo>
struct MdFamily {
    static constexpr std::size_t kDigestSize = 16;
    static constexpr bool kLengthBigEndian = false;
    using State = std::array<std::uint32_t, 4>;
    static State initial() noexcept { return {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476}; }
    static void compress2(State& s, const std::uint8_t* blocks, std::size_t n,
                          const std::uint8_t* more, std::size_t m) noexcept {
        Algo::compress(s, blocks, n);
        Algo::compress(s, more, m);
    }
    static std::array<std::uint8_t, 16> digest(const State& s) noexcept {
        std::array<std::uint8_t, 16> d;
        std::memcpy(d.data(), s.data(), 16);  // little-endian words
        return d;
    }
};

struct Md5Algo : MdFamily<Md5Algo> {
    static void compress(State& s, const std::uint8_t* blocks, std::size_t n) noexcept;
};

/// What SHA-1 and SHA-256 share: 32-bit words, the length and the digest big-endian, and
/// compress as compress2 with nothing after.
template <class Algo, std::size_t Words>
struct ShaFamily {
    static constexpr std::size_t kDigestSize = 4 * Words;
    static constexpr bool kLengthBigEndian = true;
    using State = std::array<std::uint32_t, Words>;
    static void compress(State& s, const std::uint8_t* blocks, std::size_t n) noexcept {
        Algo::compress2(s, blocks, n, nullptr, 0);
    }
    static std::array<std::uint8_t, 4 * Words> digest(const State& s) noexcept {
        std::array<std::uint8_t, 4 * Words> d;
        for (std::size_t i = 0; i < Words; ++i) {
            const std::uint32_t v = __builtin_bswap32(s[i]);
            std::memcpy(d.data() + 4 * i, &v, 4);  // a word at a time
        }
        return d;
    }
};

struct Sha1Algo : ShaFamily<Sha1Algo, 5> {
    static State initial() noexcept {
        return {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    }
    /// n blocks, then m blocks from `more`, as one run (the state stays in registers).
    static void compress2(State& s, const std::uint8_t* blocks, std::size_t n,
                          const std::uint8_t* more, std::size_t m) noexcept;
    static void compress_portable(State& s, const std::uint8_t* blocks, std::size_t n) noexcept;
};

struct Sha256Algo : ShaFamily<Sha256Algo, 8> {
    static State initial() noexcept {
        return {0x6A09E667, 0xBB67AE85, 0x3C6EF372, 0xA54FF53A,
                0x510E527F, 0x9B05688C, 0x1F83D9AB, 0x5BE0CD19};
    }
    /// n blocks, then m blocks from `more`, as one run (the state stays in registers).
    static void compress2(State& s, const std::uint8_t* blocks, std::size_t n,
                          const std::uint8_t* more, std::size_t m) noexcept;
    static void compress_portable(State& s, const std::uint8_t* blocks, std::size_t n) noexcept;
};

using Md5 = BlockHash<Md5Algo>;
using Sha1 = BlockHash<Sha1Algo>;
using Sha256 = BlockHash<Sha256Algo>;

/// Whether SHA-1 and SHA-256 run on the CPU's SHA instructions (compress); compress_portable
/// is the code for CPUs without them.
bool sha_instructions() noexcept;

}  // namespace ombrak::digests
