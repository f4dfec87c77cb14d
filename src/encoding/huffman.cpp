// Huffman kernel: counting, the container's code, a 64-bit bit writer, and a decoder that looks
// up several bits at once and walks the tree only for long codes and at the ends of pieces.
#include "ombrak/encoding/huffman.h"

#include <algorithm>
#include <cstring>

namespace ombrak::encoding {

namespace {

std::uint64_t load_le64(const std::uint8_t* p) noexcept {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;  // x86-64 and the other targets we build for are little-endian
}

void store_le64(std::uint8_t* p, std::uint64_t v) noexcept {
    std::memcpy(p, &v, 8);
}

void store_le16(std::uint8_t* p, std::uint16_t v) noexcept {
    std::memcpy(p, &v, 2);
}

}  // namespace

void ByteCounts::update(std::span<const std::uint8_t> bytes) noexcept {
    const std::uint8_t* p = bytes.data();
    std::size_t n = bytes.size(), i = 0;
    std::uint64_t x = 0;
    for (; i + 8 <= n; i += 8) {
        const std::uint64_t w = load_le64(p + i);
        x ^= w;
        ++part_[0][w & 0xFF];
        ++part_[1][(w >> 8) & 0xFF];
        ++part_[2][(w >> 16) & 0xFF];
        ++part_[3][(w >> 24) & 0xFF];
        ++part_[0][(w >> 32) & 0xFF];
        ++part_[1][(w >> 40) & 0xFF];
        ++part_[2][(w >> 48) & 0xFF];
        ++part_[3][w >> 56];
    }
    for (; i < n; ++i) {
        x ^= p[i];
        ++part_[0][p[i]];
    }
    for (int s = 0; s < 64; s += 8) checksum_ ^= static_cast<std::uint8_t>(x >> s);
}

std::array<std::uint32_t, 256> ByteCounts::counts() const noexcept {
    std::array<std::uint32_t, 256> c{};
    for (int v = 0; v < 256; ++v) c[v] = part_[0][v] + part_[1][v] + part_[2][v] + part_[3][v];
    return c;
}

std::uint8_t xor_bytes(std::span<const std::uint8_t> bytes) noexcept {
    const std::uint8_t* p = bytes.data();
    std::size_t n = bytes.size(), i = 0;
    std::uint64_t x = 0;
    for (; i + 8 <= n; i += 8) x ^= load_le64(p + i);
    for (; i < n; ++i) x ^= p[i];
    std::uint8_t r = 0;
    for (int s = 0; s < 64; s += 8) r ^= static_cast<std::uint8_t>(x >> s);
    return r;
}

HuffmanCode::HuffmanCode(const std::array<std::uint32_t, 256>& count) noexcept {
    struct Node {
        std::uint64_t weight;
        std::int16_t left, right, symbol;
    };
    Node node[511];
    std::int16_t active[256];  // the parentless nodes, in index order
    int nodes = 0, live = 0;
    for (int v = 0; v < 256; ++v) {
        if (!count[v]) continue;
        node[nodes] = {count[v], -1, -1, static_cast<std::int16_t>(v)};
        active[live++] = static_cast<std::int16_t>(nodes++);
    }
    if (nodes == 0) return;
    symbols_ = static_cast<unsigned>(nodes);
    while (live > 1) {
        // The two candidates of the scan; a later node replaces the heavier one when it is
        // lighter than it (the first candidate when both weigh the same).
        int a = 0, b = 1;
        std::uint64_t wa = node[active[0]].weight, wb = node[active[1]].weight;
        for (int j = 2; j < live; ++j) {
            const std::uint64_t w = node[active[j]].weight;
            if (w < wa && (w >= wb || wa >= wb)) {
                a = j;
                wa = w;
            } else if (w < wb) {
                b = j;
                wb = w;
            }
        }
        node[nodes] = {wa + wb, active[a], active[b], -1};
        // Remove both candidates, keeping the order, and append the new node.
        int k = 0;
        for (int j = 0; j < live; ++j)
            if (j != a && j != b) active[k++] = active[j];
        active[k++] = static_cast<std::int16_t>(nodes++);
        live = k;
    }

    // Left before right from the root (the last node); the path is the code, first bit lowest.
    struct Step {
        std::int16_t node;
        std::uint8_t depth;
        std::uint64_t path;
    };
    Step stack[512];
    int top = 0;
    stack[top++] = {static_cast<std::int16_t>(nodes - 1), 0, 0};
    while (top) {
        const Step s = stack[--top];
        const Node& n = node[s.node];
        if (n.symbol >= 0) {
            length_[n.symbol] = s.depth;
            bits_[n.symbol] = s.path;
            data_bits_ += static_cast<std::uint64_t>(count[n.symbol]) * s.depth;
            code_bits_ += s.depth;
            max_length_ = std::max<unsigned>(max_length_, s.depth);
            continue;
        }
        const auto d = static_cast<std::uint8_t>(s.depth + 1);
        stack[top++] = {n.right, d, s.path | std::uint64_t{1} << s.depth};
        stack[top++] = {n.left, d, s.path};
    }
}

std::size_t HuffmanCode::head_size() const noexcept {
    return kCodedHeaderSize + 2 * symbols_ + (code_bits_ + 7) / 8;
}

void HuffmanCode::write_head(std::uint8_t checksum, std::uint32_t length,
                             std::uint8_t* out) const noexcept {
    std::memcpy(out, kCodedId, 4);
    out[4] = checksum;
    for (int i = 0; i < 4; ++i) out[5 + i] = static_cast<std::uint8_t>(length >> 8 * i);
    out[9] = static_cast<std::uint8_t>(symbols_);
    out[10] = static_cast<std::uint8_t>(symbols_ >> 8);
    std::uint8_t* o = out + kCodedHeaderSize;
    for (int v = 0; v < 256; ++v) {
        if (!length_[v]) continue;
        *o++ = static_cast<std::uint8_t>(v);
        *o++ = length_[v];
    }
    std::memset(o, 0, (code_bits_ + 7) / 8);
    unsigned at = 0;
    for (int v = 0; v < 256; ++v)
        for (unsigned i = 0; i < length_[v]; ++i, ++at)
            o[at / 8] |= static_cast<std::uint8_t>(((bits_[v] >> i) & 1) << (at % 8));
}

HuffmanEncoder::HuffmanEncoder(const HuffmanCode& code) noexcept : max_length_(code.max_length()) {
    for (int v = 0; v < 256; ++v) {
        const auto s = static_cast<std::uint8_t>(v);
        entry_[v] = code.bits(s) | std::uint64_t{code.length(s)} << 56;
    }
}

std::size_t HuffmanEncoder::encode(std::span<const std::uint8_t> in, std::uint8_t* out) noexcept {
    // Fewer than 8 bits are held between bytes, so a code of up to 56 bits always fits.
    std::uint64_t acc = acc_;
    unsigned held = held_;
    std::uint8_t* o = out;
    for (const std::uint8_t b : in) {
        const std::uint64_t e = entry_[b];
        acc |= (e & 0x00FF'FFFF'FFFF'FFFF) << held;
        held += static_cast<unsigned>(e >> 56);
        store_le64(o, acc);
        o += held >> 3;
        acc >>= held & 56;
        held &= 7;
    }
    acc_ = acc;
    held_ = held;
    return static_cast<std::size_t>(o - out);
}

std::size_t HuffmanEncoder::finish(std::uint8_t* out) noexcept {
    if (!held_) return 0;
    out[0] = static_cast<std::uint8_t>(acc_);
    acc_ = 0;
    held_ = 0;
    return 1;
}

HuffmanDecoder::Head HuffmanDecoder::read_head(std::span<const std::uint8_t> head,
                                               std::uint64_t total) noexcept {
    const std::uint8_t* h = head.data();
    if (total < kCodedHeaderSize || head.size() < kCodedHeaderSize) return Head::Corrupt;
    checksum_ = h[4];
    std::uint32_t l = 0;
    for (int i = 0; i < 4; ++i) l |= std::uint32_t{h[5 + i]} << 8 * i;
    length_ = l;
    if (l == 0) return Head::Empty;
    if (l > 0x7FFF'FFFF) return Head::BadLength;  // negative as a signed length
    const auto n = static_cast<std::int16_t>(h[9] | h[10] << 8);
    const std::size_t pairs = n > 0 ? static_cast<std::size_t>(n) : 0;
    const std::size_t table_end = kCodedHeaderSize + 2 * pairs;
    if (table_end > total || table_end > head.size()) return Head::Corrupt;

    // A symbol listed twice keeps its last length.
    std::uint8_t len[256] = {};
    for (std::size_t i = 0; i < pairs; ++i) {
        const std::uint8_t s = h[kCodedHeaderSize + 2 * i], l8 = h[kCodedHeaderSize + 2 * i + 1];
        if (l8 == 0) return Head::Corrupt;
        len[s] = l8;
    }
    std::uint64_t code_bits = 0;
    unsigned shortest = 256, longest = 0;
    for (int v = 0; v < 256; ++v) {
        if (!len[v]) continue;
        code_bits += len[v];
        shortest = std::min<unsigned>(shortest, len[v]);
        longest = std::max<unsigned>(longest, len[v]);
    }
    data_offset_ = table_end + static_cast<std::size_t>((code_bits + 7) / 8);
    if (data_offset_ > total || data_offset_ > head.size()) return Head::Corrupt;

    // Each code from the root: a missing child is made, the node reached holds the symbol.
    std::fill(&child_[0][0], &child_[0][0] + 2 * kMaxNodes, std::int16_t{-1});
    std::fill(symbol_, symbol_ + kMaxNodes, std::int16_t{-1});
    nodes_ = 1;
    std::uint64_t at = table_end * 8;
    for (int v = 0; v < 256; ++v) {
        int node = 0;
        for (unsigned i = 0; i < len[v]; ++i, ++at) {
            const int b = (h[at / 8] >> (at % 8)) & 1;
            if (child_[b][node] < 0) {
                if (nodes_ == kMaxNodes) return Head::Corrupt;
                child_[b][node] = static_cast<std::int16_t>(nodes_++);
            }
            node = child_[b][node];
        }
        if (len[v]) symbol_[node] = static_cast<std::int16_t>(v);
    }

    // Every symbol takes at least the shortest code's bits.
    const std::uint64_t capacity = longest ? (total - data_offset_) * 8 / shortest : 0;
    if (l > capacity) return Head::BadLength;

    table_bits_ = std::min(kTableBits, longest);
    build_table(0, 0, 0);
    pair_table();
    node_ = 0;
    return Head::Ok;
}

void HuffmanDecoder::build_table(int node, unsigned depth, unsigned path) noexcept {
    const unsigned size = 1u << table_bits_;
    if (symbol_[node] >= 0) {
        const auto e = depth | static_cast<std::uint32_t>(symbol_[node]) << 8 | 1u << 24;
        for (unsigned i = path; i < size; i += 1u << depth) table_[i] = e;
        return;
    }
    if (depth == table_bits_) {
        table_[path] = kLong;
        return;
    }
    for (unsigned b = 0; b < 2; ++b) {
        const unsigned p = path | b << depth;
        if (child_[b][node] < 0) {
            for (unsigned i = p; i < size; i += 2u << depth) table_[i] = kLong;
        } else {
            build_table(child_[b][node], depth + 1, p);
        }
    }
}

void HuffmanDecoder::pair_table() noexcept {
    // A second symbol joins the first when its code fits in the bits the first leaves. The
    // second is looked up at a lower index, so going down reads only single entries.
    for (unsigned i = 1u << table_bits_; i-- > 0;) {
        const std::uint32_t first = table_[i];
        if (first == kLong) continue;
        const unsigned used = first & 0xFF;
        const std::uint32_t second = table_[i >> used];
        if (second == kLong) continue;
        const unsigned more = second & 0xFF;
        if (used + more > table_bits_) continue;
        table_[i] = (used + more) | (first & 0xFF00) | (second & 0xFF00) << 8 | 2u << 24;
    }
}

bool HuffmanDecoder::walk(const std::uint8_t* p, std::uint64_t end, std::uint64_t& bit,
                          std::uint8_t& symbol) noexcept {
    int node = node_;
    while (bit < end) {
        const int next = child_[(p[bit / 8] >> (bit % 8)) & 1][node];
        if (next < 0) break;
        ++bit;
        node = next;
        if (symbol_[node] >= 0) {
            symbol = static_cast<std::uint8_t>(symbol_[node]);
            node_ = 0;
            return true;
        }
    }
    node_ = node;
    return false;
}

HuffmanDecoder::Stop HuffmanDecoder::decode(const std::uint8_t* p, std::size_t bytes,
                                            std::uint64_t& bit, std::uint64_t stop_bit,
                                            std::uint8_t* out, std::size_t room,
                                            std::size_t& made) noexcept {
    const std::uint64_t end = std::uint64_t{bytes} * 8;
    const unsigned mask = (1u << table_bits_) - 1;
    std::uint64_t b = bit;
    std::size_t o = 0;
    Stop stop;
    for (;;) {
        if (o == room) {
            stop = Stop::Full;
            break;
        }
        if (node_ == 0) {
            if (b >= stop_bit) {
                stop = Stop::Boundary;
                break;
            }
            // Five lookups of at most 11 bits from the 57 bits one load gives, each giving
            // one or two symbols (stored as two bytes; the second may be overwritten).
            while (room - o >= 11 && b < stop_bit && b / 8 + 8 <= bytes) {
                std::uint64_t buf = load_le64(p + b / 8) >> (b % 8);
                std::uint32_t e;
#define OMBRAK_HUFFMAN_STEP                                  \
    e = table_[buf & mask];                                  \
    if (e == kLong) goto slow;                               \
    store_le16(out + o, static_cast<std::uint16_t>(e >> 8)); \
    o += e >> 24;                                            \
    buf >>= e & 63;                                          \
    b += e & 0xFF;
                OMBRAK_HUFFMAN_STEP
                OMBRAK_HUFFMAN_STEP
                OMBRAK_HUFFMAN_STEP
                OMBRAK_HUFFMAN_STEP
                OMBRAK_HUFFMAN_STEP
#undef OMBRAK_HUFFMAN_STEP
            }
            if (o == room || b >= stop_bit) continue;
        }
    slow:
        // A long code, a corrupt one, or too few bits left for a whole load: bit by bit.
        std::uint8_t s;
        if (walk(p, end, b, s)) {
            out[o++] = s;
            continue;
        }
        stop = b < end ? Stop::Missing : Stop::Input;
        break;
    }
    bit = b;
    made = o;
    return stop;
}

}  // namespace ombrak::encoding
