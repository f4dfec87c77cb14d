// Static Huffman coding in the library's container. A coded container is "HE3" CR, the XOR of
// the data bytes, the data length L (32-bit, little-endian), the number n of coded symbols
// (16-bit), n pairs (symbol, code length) in increasing symbol order, the codes of those symbols
// one after the other, then the code of every data byte; bit sequences are packed least
// significant bit first and each starts on a fresh byte. Data that coding would not shrink, or
// that holds one distinct byte value, is stored as "HE0" CR and the bytes themselves.
//
// The code is built by a fixed merge rule, so equal data always gives the same container, byte
// for byte. Pieces of any size can be fed: counting, coding and decoding keep their state.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace ombrak::encoding {

inline constexpr std::uint8_t kCodedId[4] = {'H', 'E', '3', '\r'};
inline constexpr std::uint8_t kStoredId[4] = {'H', 'E', '0', '\r'};
/// Identification, checksum, L and n.
inline constexpr std::size_t kCodedHeaderSize = 11;

/// Occurrences of each byte value and the XOR of all bytes seen.
class ByteCounts {
  public:
    /// Adds the bytes. The total over all calls must stay below 2^32.
    void update(std::span<const std::uint8_t> bytes) noexcept;
    std::array<std::uint32_t, 256> counts() const noexcept;
    std::uint8_t checksum() const noexcept { return checksum_; }

  private:
    // Four tables, so runs of one value do not wait on the same counter.
    std::array<std::array<std::uint32_t, 256>, 4> part_{};
    std::uint8_t checksum_ = 0;
};

/// The XOR of the bytes.
std::uint8_t xor_bytes(std::span<const std::uint8_t> bytes) noexcept;

/// The code a container stores for the counts: one leaf per byte value that occurs, in
/// increasing value; each merge joins the two parentless nodes of least weight found by a scan
/// in index order (the first of them the left child); codes read from the root, left 0, right 1.
/// A code is at most 47 bits, since the counts total less than 2^32.
class HuffmanCode {
  public:
    explicit HuffmanCode(const std::array<std::uint32_t, 256>& count) noexcept;

    /// The code length of a byte value in bits; 0 for a value that does not occur (and for the
    /// only value of data with one distinct value).
    unsigned length(std::uint8_t symbol) const noexcept { return length_[symbol]; }
    /// The code of a byte value, its first bit in bit 0.
    std::uint64_t bits(std::uint8_t symbol) const noexcept { return bits_[symbol]; }
    /// Bits of the coded data: the sum of count times code length.
    std::uint64_t data_bits() const noexcept { return data_bits_; }
    /// True when the container stores the data unchanged: the coded data would take no byte, or
    /// more bytes than the data itself (the table does not count).
    bool stored(std::uint64_t data_size) const noexcept {
        const std::uint64_t bytes = (data_bits_ + 7) / 8;
        return bytes == 0 || bytes > data_size;
    }
    /// Bytes before the data bits: header, symbol table, code bits.
    std::size_t head_size() const noexcept;
    /// Bytes of the whole coded container.
    std::uint64_t container_size() const noexcept { return head_size() + (data_bits_ + 7) / 8; }
    /// Writes the head_size() bytes before the data bits.
    void write_head(std::uint8_t checksum, std::uint32_t length, std::uint8_t* out) const noexcept;
    /// The longest code.
    unsigned max_length() const noexcept { return max_length_; }

  private:
    std::array<std::uint8_t, 256> length_{};
    std::array<std::uint64_t, 256> bits_{};
    std::uint64_t data_bits_ = 0;
    unsigned symbols_ = 0;
    unsigned code_bits_ = 0;
    unsigned max_length_ = 0;
};

/// Writes the codes of data bytes, fed in pieces of any size.
class HuffmanEncoder {
  public:
    explicit HuffmanEncoder(const HuffmanCode& code) noexcept;
    /// Room encode() needs for n bytes of data.
    std::size_t room(std::size_t n) const noexcept { return n * max_length_ / 8 + 8; }
    /// Codes the bytes; writes the whole bytes of code to out (which has room(in.size()) bytes)
    /// and keeps fewer than eight bits for the next call. Returns the bytes written.
    std::size_t encode(std::span<const std::uint8_t> in, std::uint8_t* out) noexcept;
    /// Writes the kept bits zero-filled to a byte: 0 or 1 byte.
    std::size_t finish(std::uint8_t* out) noexcept;

  private:
    std::array<std::uint64_t, 256> entry_{};  // code bits, length in the top byte
    std::uint64_t acc_ = 0;
    unsigned held_ = 0;
    unsigned max_length_ = 0;
};

/// Reads a coded container: its head (code table) first, then its data bits in pieces.
class HuffmanDecoder {
  public:
    enum class Head {
        Ok,
        Empty,      // L is 0: nothing to decode
        Corrupt,    // the header, table or codes reach past the end, a code length is 0, or the
                    // codes need more than 511 tree nodes
        BadLength,  // L is negative, or more symbols than the data bits can hold
    };
    /// Reads the head of an HE3 container of `total` bytes, of which `head` holds the first ones
    /// (at least min(total, 73705), enough for any table). The identification is not checked.
    Head read_head(std::span<const std::uint8_t> head, std::uint64_t total) noexcept;
    std::uint8_t checksum() const noexcept { return checksum_; }
    /// L: the number of data bytes to decode.
    std::uint32_t length() const noexcept { return length_; }
    /// Where the data bits start in the container.
    std::size_t data_offset() const noexcept { return data_offset_; }

    enum class Stop {
        Full,      // `room` symbols written
        Boundary,  // the next symbol would start at or after stop_bit
        Input,     // the bits ran out (a code begun is kept for the next piece)
        Missing,   // a bit led to no node: the data is corrupt (bit is the offending one)
    };
    /// Decodes data bits from p[0..bytes), starting at `bit` (updated to the first bit not
    /// consumed, or the offending one), into out, at most `room` symbols; `made` gets the count.
    /// A symbol that starts before stop_bit is decoded whole. Every call but the first starts
    /// where the previous one ended, in the same piece or at bit 0 of the next one.
    Stop decode(const std::uint8_t* p, std::size_t bytes, std::uint64_t& bit,
                std::uint64_t stop_bit, std::uint8_t* out, std::size_t room,
                std::size_t& made) noexcept;

  private:
    static constexpr int kMaxNodes = 511;
    static constexpr unsigned kTableBits = 11;
    void build_table(int node, unsigned depth, unsigned path) noexcept;
    void pair_table() noexcept;
    bool walk(const std::uint8_t* p, std::uint64_t end, std::uint64_t& bit,
              std::uint8_t& symbol) noexcept;

    std::uint8_t checksum_ = 0;
    std::uint32_t length_ = 0;
    std::size_t data_offset_ = 0;
    // The tree: children (-1 for none) and the symbol a node holds (-1 for none); node 0 is the
    // root. Decoding stops at the first node that holds a symbol.
    std::int16_t child_[2][kMaxNodes];
    std::int16_t symbol_[kMaxNodes];
    int nodes_ = 0;
    int node_ = 0;  // where a code begun in the previous piece stands
    // The first table_bits_ bits of the remaining data give one or two symbols: bits taken in
    // the low byte, the symbols in the next two, their number in the top byte; kLong when the
    // first code is longer or leads nowhere.
    static constexpr std::uint32_t kLong = 0;
    unsigned table_bits_ = 0;
    std::array<std::uint32_t, 1u << kTableBits> table_;
};

}  // namespace ombrak::encoding
