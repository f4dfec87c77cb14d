// The parts of the envelope that do not depend on the cipher: measuring and reading an input
// that holds an envelope raw or as Base64 text.
#include "ombrak/ciphers/envelope.h"

#include <algorithm>

namespace ombrak {

std::uint64_t envelope_length(files::Input& in, bool base64) {
    if (!in.size()) raise_runtime(RuntimeError::FileAccess);
    if (!base64) return *in.size();
    encoding::Base64DataCounter counter;
    // At least one byte of room: an empty input must still read its end.
    Bytes piece(static_cast<std::size_t>(std::clamp<std::uint64_t>(*in.size(), 1, files::kPiece)));
    for (;;) {
        std::size_t n = in.read(piece.data(), piece.size());
        counter.update(std::span(piece.data(), n));
        if (n < piece.size()) break;
    }
    in.rewind();
    // As DecodeArray64: a text with nothing left to decode is an invalid argument.
    if (counter.characters() == 0) raise_runtime(RuntimeError::InvalidCall);
    return counter.decoded_length();
}

void write_piece(files::Sink& out, std::span<const std::uint8_t> piece, std::uint64_t total,
                 bool base64, std::string& scratch) {
    if (!base64) {
        out.write(piece);
    } else if (total <= 57) {
        out.write(encoding::base64_encode_lines(piece));
    } else {
        scratch.resize(encoding::base64_part_length(piece.size()));
        const std::size_t k = encoding::base64_encode_lines_part(piece, scratch.data());
        out.write(std::string_view(scratch.data(), k));
    }
}

EnvelopeReader::EnvelopeReader(files::Input& in, bool base64) : in_(in), base64_(base64) {
    if (!base64) return;
    ansi_base64_values(high_values_);
    decoder_.set_high_values(high_values_);
    // Pieces of the file's size when it is smaller: memory follows small inputs down.
    const std::size_t piece = static_cast<std::size_t>(
        std::clamp<std::uint64_t>(in.size().value_or(files::kPiece), 1, files::kPiece));
    text_.resize(piece);
    decoded_.resize(encoding::Base64Decoder::capacity(piece) + 3);
}

std::size_t EnvelopeReader::read(std::uint8_t* p, std::size_t n) {
    if (!base64_) return in_.read(p, n);
    std::size_t got = 0;
    while (got < n) {
        if (at_ == end_) {
            if (ended_) break;
            std::size_t k = in_.read(text_.data(), text_.size());
            end_ = decoder_.update(std::span(text_.data(), k), decoded_.data());
            if (k < text_.size()) {
                end_ += decoder_.finish(decoded_.data() + end_);
                ended_ = true;
            }
            at_ = 0;
            continue;
        }
        std::size_t k = std::min(n - got, end_ - at_);
        std::memcpy(p + got, decoded_.data() + at_, k);
        at_ += k;
        got += k;
    }
    return got;
}

}  // namespace ombrak
