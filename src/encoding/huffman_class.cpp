// The Huffman class: the container on byte arrays, texts and files, with the progress steps of
// each pass. Arrays are coded in place of one output buffer; files stream in pieces (two passes
// over the source when compressing: counts, then codes).
#include "ombrak/encoding/huffman_class.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <memory>

#include "ombrak/frame/error.h"
#include "ombrak/frame/platform.h"
#include "ombrak/frame/text.h"

namespace ombrak {

using encoding::HuffmanCode;
using encoding::HuffmanDecoder;
using encoding::HuffmanEncoder;

namespace {

[[noreturn]] void raise_identification() {
    raise_library(
        "The data either was not compressed with HE3 or is corrupt (identification string not "
        "found)",
        "HuffmanDecode()");
}

[[noreturn]] void raise_checksum() {
    raise_library("The data might be corrupted (checksum did not match expected value)",
                  "clsHuffman.Decode()");
}

// True for a stored container, false for a coded one; anything else raises.
bool stored_container(const std::uint8_t* p, std::uint64_t length) {
    if (length < 4) raise_identification();
    if (std::memcmp(p, encoding::kStoredId, 4) == 0) return true;
    if (std::memcmp(p, encoding::kCodedId, 4) != 0) raise_identification();
    return false;
}

// Whether to decode; raises for a head that cannot be right.
bool usable_head(HuffmanDecoder::Head head) {
    switch (head) {
        case HuffmanDecoder::Head::Ok:
            return true;
        case HuffmanDecoder::Head::Empty:
            return false;
        case HuffmanDecoder::Head::Corrupt:
            raise_runtime(RuntimeError::SubscriptOutOfRange);
        case HuffmanDecoder::Head::BadLength:
            break;
    }
    raise_checksum();
}

// x / total * scale + offset, to the nearest integer, ties to even.
std::int16_t percent_of(std::uint64_t x, std::uint64_t total, double scale, double offset) {
    return static_cast<std::int16_t>(
        std::nearbyint(static_cast<double>(x) / static_cast<double>(total) * scale + offset));
}

// The first 1-based container position of the data pass that reports progress.
std::uint64_t first_mark(std::size_t data_offset) {
    return (data_offset + 1 + 9999) / 10000 * 10000;
}

constexpr std::uint64_t kMaxLength = 0x7FFF'FFFF;  // L and ByteLen are signed 32-bit

// Reads the next piece of an input of known length; one that ends early raises error 75.
std::size_t read_piece(files::Input& in, Bytes& piece, std::uint64_t left) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), left));
    if (in.read(piece.data(), n) != n) raise_runtime(RuntimeError::FileAccess);
    return n;
}

// Calls fn(piece, n, offset) for every piece of the input's first `length` bytes.
template <class Fn>
void each_piece(files::Input& in, Bytes& piece, std::uint64_t length, Fn&& fn) {
    for (std::uint64_t at = 0; at < length;) {
        const std::size_t n = read_piece(in, piece, length - at);
        fn(piece.data(), n, at);
        at += n;
    }
}

Bytes piece_for(std::uint64_t length) {
    return Bytes(static_cast<std::size_t>(std::clamp<std::uint64_t>(length, 1, files::kPiece)));
}

}  // namespace

// The progress of one operation: a value is reported when it differs from the last one (which
// a sink may have changed through its by-reference argument).
class clsKvVeskEncDecHuffmanA::Steps {
  public:
    explicit Steps(clsKvVeskEncDecHuffmanA& owner) : owner_(owner) {}
    bool on() const noexcept { return owner_.listened(); }
    void report(std::int16_t value) {
        if (value == percent_) return;
        percent_ = value;
        owner_.notify(percent_);
    }
    // Runs work(a, b) over [from, to) in runs that end at the multiples of step, reporting
    // value(i) at each multiple i before its run. Nobody listening: one run.
    template <class Value, class Work>
    void run(std::uint64_t from, std::uint64_t to, std::uint64_t step, Value&& value, Work&& work) {
        if (!on()) {
            if (from < to) work(from, to);
            return;
        }
        for (std::uint64_t i = from; i < to;) {
            if (i % step == 0) report(value(i));
            const std::uint64_t next = std::min(to, (i / step + 1) * step);
            work(i, next);
            i = next;
        }
    }
    void finish() {
        if (percent_ != 100) owner_.notify_done();
    }

  private:
    clsKvVeskEncDecHuffmanA& owner_;
    std::int16_t percent_ = 0;
};

namespace {

// The progress values of the passes, for `total` bytes of data (or container).
auto counting(std::uint64_t total) {
    return [total](std::uint64_t i) { return percent_of(i, total, 7, 0); };
}
auto checksumming(std::uint64_t total) {
    return [total](std::uint64_t i) { return percent_of(i, total, 5, 7); };
}
auto coding(std::uint64_t total) {
    return [total](std::uint64_t i) { return percent_of(i, total, 88, 12); };
}
auto verifying(std::uint64_t total) {
    return [total](std::uint64_t i) { return percent_of(i, total, 11, 89); };
}
constexpr auto kNoWork = [](std::uint64_t, std::uint64_t) {};

// Decoded data straight into the result array.
struct ArrayOutput {
    std::uint8_t* p;
    std::size_t length, made = 0;
    std::uint8_t* space(std::size_t& room) {
        room = length - made;
        return p + made;
    }
    void took(std::size_t n) { made += n; }
};

// Decoded data through a buffer (256 KiB, or less for less data) to a sink, with the XOR of
// what passed.
struct SinkOutput {
    files::Sink& sink;
    std::uint64_t length, made = 0;
    Bytes buffer = Bytes(static_cast<std::size_t>(std::min<std::uint64_t>(length, 256 * 1024)));
    std::size_t held = 0;
    std::uint8_t checksum = 0;
    std::uint8_t* space(std::size_t& room) {
        if (held == buffer.size()) flush();
        room =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size() - held, length - made));
        return buffer.data() + held;
    }
    void took(std::size_t n) {
        held += n;
        made += n;
    }
    void flush() {
        const std::span<const std::uint8_t> data(buffer.data(), held);
        checksum ^= encoding::xor_bytes(data);
        sink.write(data);
        held = 0;
    }
};

}  // namespace

// Decodes one piece of data bytes (container offset `at`) into out, reporting the data pass's
// progress at each container position `mark` the decoding reaches. True when all L bytes are
// out; false when the piece is used up. A bit that leads nowhere raises error 9.
template <class Out>
bool clsKvVeskEncDecHuffmanA::decode_piece(HuffmanDecoder& decoder, const std::uint8_t* p,
                                           std::size_t n, std::uint64_t at, std::uint64_t total,
                                           std::uint64_t& mark, Steps& steps, Out& out) {
    // Position `mark` is reached when a bit of its byte (index mark - 1) is taken.
    auto marking = [&] { return steps.on() && mark <= total && mark - 1 >= at; };
    std::uint64_t bit = 0;
    for (;;) {
        const std::uint64_t stop = marking() ? (mark - 1 - at) * 8 : UINT64_MAX;
        std::size_t room = 0, made = 0;
        std::uint8_t* o = out.space(room);
        if (room == 0) return true;
        const auto s = decoder.decode(p, n, bit, stop, o, room, made);
        out.took(made);
        // Stopped before a bit, or at a bad one: that bit is taken next, or was.
        const bool at_bit =
            s == HuffmanDecoder::Stop::Boundary || s == HuffmanDecoder::Stop::Missing;
        const std::uint64_t reached = bit + (at_bit ? 1 : 0);
        while (marking() && (mark - 1 - at) * 8 < reached) {
            steps.report(percent_of(mark, total, 89, 0));
            mark += 10000;
        }
        if (s == HuffmanDecoder::Stop::Missing) raise_runtime(RuntimeError::SubscriptOutOfRange);
        if (s == HuffmanDecoder::Stop::Input) return false;
    }
}

void clsKvVeskEncDecHuffmanA::EncodeByte(Bytes& bytes, std::int32_t& byte_len) {
    if (byte_len < 0 || static_cast<std::size_t>(byte_len) > bytes.size())
        raise_runtime(RuntimeError::SubscriptOutOfRange);
    const auto length = static_cast<std::size_t>(byte_len);
    if (length == 0) {
        bytes.assign(std::begin(encoding::kStoredId), std::end(encoding::kStoredId));
        return;
    }
    Steps steps(*this);
    // A listener runs host code between the steps, which may touch the caller's array.
    Bytes copy;
    if (steps.on()) copy.assign(bytes.begin(), bytes.begin() + byte_len);
    const std::uint8_t* data = steps.on() ? copy.data() : bytes.data();

    encoding::ByteCounts counts;
    steps.run(0, length, 1000, counting(length), [&](std::uint64_t a, std::uint64_t b) {
        counts.update({data + a, b - a});
    });
    const HuffmanCode code(counts.counts());
    if (code.stored(length)) {
        Bytes result(4 + length);
        std::memcpy(result.data(), encoding::kStoredId, 4);
        std::memcpy(result.data() + 4, data, length);
        bytes = std::move(result);
        return;
    }
    // The checksum came with the counts.
    steps.run(0, length, 10000, checksumming(length), kNoWork);
    Bytes result(static_cast<std::size_t>(code.container_size()) + 8);  // the writer's slack
    code.write_head(counts.checksum(), static_cast<std::uint32_t>(length), result.data());
    HuffmanEncoder encoder(code);
    std::size_t o = code.head_size();
    steps.run(0, length, 10000, coding(length), [&](std::uint64_t a, std::uint64_t b) {
        o += encoder.encode({data + a, b - a}, result.data() + o);
    });
    o += encoder.finish(result.data() + o);
    result.resize(o);
    bytes = std::move(result);
    steps.finish();
}

void clsKvVeskEncDecHuffmanA::DecodeByte(Bytes& bytes, std::int32_t& byte_len) {
    if (byte_len < 0 || static_cast<std::size_t>(byte_len) > bytes.size())
        raise_runtime(RuntimeError::SubscriptOutOfRange);
    const auto total = static_cast<std::size_t>(byte_len);
    if (stored_container(bytes.data(), total)) {
        bytes = Bytes(bytes.begin() + 4, bytes.begin() + byte_len);
        return;
    }
    auto decoder = std::make_unique<HuffmanDecoder>();
    if (!usable_head(decoder->read_head({bytes.data(), total}, total))) {
        bytes.clear();
        return;
    }
    Steps steps(*this);
    Bytes copy;
    if (steps.on()) copy.assign(bytes.begin(), bytes.begin() + byte_len);
    const std::uint8_t* data = steps.on() ? copy.data() : bytes.data();

    const std::size_t length = decoder->length(), offset = decoder->data_offset();
    Bytes result(length);
    ArrayOutput out{result.data(), length};
    std::uint64_t mark = first_mark(offset);
    decode_piece(*decoder, data + offset, total - offset, offset, total, mark, steps, out);
    std::uint8_t x = 0;
    steps.run(0, length, 10000, verifying(length), [&](std::uint64_t a, std::uint64_t b) {
        x ^= encoding::xor_bytes({result.data() + a, b - a});
    });
    if (out.made < length || x != decoder->checksum()) raise_checksum();
    bytes = std::move(result);
    steps.finish();
}

namespace {

// An array operation on the text's ANSI bytes (one a character), its result as ANSI text.
template <auto Op>
Text through_bytes(clsKvVeskEncDecHuffmanA& h, const Text& text) {
    CodePageScope code_page;
    if (text.size() > kMaxLength) raise_runtime(RuntimeError::Overflow);
    Bytes bytes = ansi_from_text(text);
    auto length = static_cast<std::int32_t>(text.size());
    (h.*Op)(bytes, length);
    return ansi_to_text(bytes);
}

}  // namespace

Text clsKvVeskEncDecHuffmanA::EncodeString(Text& text) {
    return through_bytes<&clsKvVeskEncDecHuffmanA::EncodeByte>(*this, text);
}

Text clsKvVeskEncDecHuffmanA::DecodeString(Text& text) {
    return through_bytes<&clsKvVeskEncDecHuffmanA::DecodeByte>(*this, text);
}

void clsKvVeskEncDecHuffmanA::encode_stream(files::Input& in, files::Sink& out) {
    const std::uint64_t length = in.size().value_or(UINT64_MAX);
    if (length > kMaxLength) raise_runtime(RuntimeError::Overflow);
    if (length == 0) {
        out.write(std::span(encoding::kStoredId));
        return;
    }
    Steps steps(*this);
    Bytes piece = piece_for(length);
    encoding::ByteCounts counts;
    each_piece(in, piece, length, [&](const std::uint8_t* p, std::size_t n, std::uint64_t at) {
        steps.run(at, at + n, 1000, counting(length), [&](std::uint64_t a, std::uint64_t b) {
            counts.update({p + (a - at), b - a});
        });
    });
    const HuffmanCode code(counts.counts());
    in.rewind();
    if (code.stored(length)) {
        out.write(std::span(encoding::kStoredId));
        each_piece(in, piece, length, [&](const std::uint8_t* p, std::size_t n, std::uint64_t) {
            out.write({p, n});
        });
        return;
    }
    steps.run(0, length, 10000, checksumming(length), kNoWork);
    Bytes head(code.head_size());
    code.write_head(counts.checksum(), static_cast<std::uint32_t>(length), head.data());
    out.write(head);

    // The codes of 64 KiB at a time: the coded bytes of a piece never all wait in memory.
    constexpr std::size_t kRun = 64 * 1024;
    HuffmanEncoder encoder(code);
    Bytes coded(encoder.room(kRun));
    std::uint64_t coded_bytes = 0;
    std::uint8_t x = 0;
    auto code_run = [&](const std::uint8_t* p, std::size_t n) {
        for (std::size_t i = 0; i < n; i += kRun) {
            const std::span<const std::uint8_t> run(p + i, std::min(kRun, n - i));
            x ^= encoding::xor_bytes(run);
            const std::size_t k = encoder.encode(run, coded.data());
            coded_bytes += k;
            out.write({coded.data(), k});
        }
    };
    each_piece(in, piece, length, [&](const std::uint8_t* p, std::size_t n, std::uint64_t at) {
        steps.run(at, at + n, 10000, coding(length), [&](std::uint64_t a, std::uint64_t b) {
            code_run(p + (a - at), static_cast<std::size_t>(b - a));
        });
    });
    const std::size_t last = encoder.finish(coded.data());
    // A source that changed between the passes would not decode to what either pass read.
    if (x != counts.checksum() || (coded_bytes + last) != (code.data_bits() + 7) / 8)
        raise_runtime(RuntimeError::FileAccess);
    out.write({coded.data(), last});
    steps.finish();
}

void clsKvVeskEncDecHuffmanA::decode_stream(files::Input& in, files::Sink& out) {
    const std::uint64_t total = in.size().value_or(UINT64_MAX);
    if (total > kMaxLength) raise_runtime(RuntimeError::Overflow);
    Bytes piece = piece_for(total);
    std::size_t n = read_piece(in, piece, total);
    if (stored_container(piece.data(), total)) {
        out.write({piece.data() + 4, n - 4});
        for (std::uint64_t at = n; at < total; at += n) {
            n = read_piece(in, piece, total - at);
            out.write({piece.data(), n});
        }
        return;
    }
    auto decoder = std::make_unique<HuffmanDecoder>();
    if (!usable_head(decoder->read_head({piece.data(), n}, total))) return;
    Steps steps(*this);
    const std::uint64_t length = decoder->length();
    const std::size_t offset = decoder->data_offset();
    SinkOutput sink{out, length};
    std::uint64_t mark = first_mark(offset);
    bool done =
        decode_piece(*decoder, piece.data() + offset, n - offset, offset, total, mark, steps, sink);
    for (std::uint64_t at = n; !done && at < total; at += n) {
        n = read_piece(in, piece, total - at);
        done = decode_piece(*decoder, piece.data(), n, at, total, mark, steps, sink);
    }
    sink.flush();
    steps.run(0, length, 10000, verifying(length), kNoWork);
    if (sink.made < length || sink.checksum != decoder->checksum()) raise_checksum();
    steps.finish();
}

namespace {

// The shape of both file operations: a missing source raises the operation's error, the
// destination is replaced only when the whole result is written.
template <class Run>
void file_operation(const Text& source, const Text& destination, const char* place, Run&& run) {
    CodePageScope code_page;
    const std::string in_path = native_path(source), out_path = native_path(destination);
    if (!files::file_length_readable(in_path)) raise_library("Source file does not exist", place);
    auto in = files::Input::open(in_path);
    if (!in) raise_runtime(RuntimeError::FileAccess);
    files::ReplacingFile out(out_path);
    run(*in, out);
    out.commit();
}

}  // namespace

void clsKvVeskEncDecHuffmanA::EncodeFile(Text& source, Text& destination) {
    file_operation(source, destination, "clsHuffman.EncodeFile()",
                   [this](files::Input& in, files::Sink& out) { encode_stream(in, out); });
}

void clsKvVeskEncDecHuffmanA::DecodeFile(Text& source, Text& destination) {
    file_operation(source, destination, "clsHuffman.DecodeFile()",
                   [this](files::Input& in, files::Sink& out) { decode_stream(in, out); });
}

const ClassInfo& clsKvVeskEncDecHuffmanA::info() {
    using namespace binding;
    using C = clsKvVeskEncDecHuffmanA;
    static const ClassInfo k{
        "clsKvVeskEncDecHuffmanA",
        {buddy_get<C, std::int16_t>(), buddy_set<C, std::int16_t>(),
         method<&C::EncodeFile>("EncodeFile", {arg("SourceFile"), arg("DestFile")}),
         method<&C::DecodeFile>("DecodeFile", {arg("SourceFile"), arg("DestFile")}),
         method<&C::EncodeByte>("EncodeByte", {arg("byteArray"), arg("ByteLen")}),
         method<&C::DecodeString>("DecodeString", {arg("Text")}),
         method<&C::EncodeString>("EncodeString", {arg("Text")}),
         method<&C::DecodeByte>("DecodeByte", {arg("byteArray"), arg("ByteLen")})},
        EventInfo{"Progress", "Percent", DeclType::I16, "czVeskEncDecHuffman_Progress"}};
    return k;
}

}  // namespace ombrak
