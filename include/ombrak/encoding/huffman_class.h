// The Huffman class: byte arrays, texts and files compressed into the library's container and
// back, with progress in percent.
#pragma once

#include "ombrak/encoding/huffman.h"
#include "ombrak/frame/files.h"
#include "ombrak/frame/progress.h"

namespace ombrak {

/// Compresses with the container's static Huffman code. No failure is trapped: every error
/// reaches the caller, and the caller's array or destination file is unchanged after it.
class clsKvVeskEncDecHuffmanA final : public ProgressObject<std::int16_t> {
  public:
    /// Replaces the array by the container of its first ByteLen bytes. ByteLen outside 0 to
    /// the array's length raises error 9.
    void EncodeByte(Bytes& bytes, std::int32_t& byte_len);
    /// Replaces the array by the data of the container in its first ByteLen bytes. Raises the
    /// identification error for anything but an HE3 or HE0 container, the checksum error when
    /// the data do not check out (or L cannot be right), error 9 for a corrupt code table or
    /// data that lead nowhere.
    void DecodeByte(Bytes& bytes, std::int32_t& byte_len);
    /// The text's ANSI bytes compressed, one character per container byte.
    Text EncodeString(Text& text);
    /// The container in the text's ANSI bytes decompressed, as ANSI text.
    Text DecodeString(Text& text);
    /// Writes the container of the source file to the destination, replacing it when complete.
    void EncodeFile(Text& source, Text& destination);
    /// Writes the data of the container in the source file to the destination.
    void DecodeFile(Text& source, Text& destination);

    /// EncodeFile and DecodeFile from an input of known size (at most 2147483647 bytes, else
    /// error 6) to any output, with their progress; raise as they do. For the tool.
    void encode_stream(files::Input& in, files::Sink& out);
    void decode_stream(files::Input& in, files::Sink& out);

    static const ClassInfo& info();
    const ClassInfo* class_info() const override { return &info(); }

  private:
    class Steps;
    template <class Out>
    bool decode_piece(encoding::HuffmanDecoder& decoder, const std::uint8_t* p, std::size_t n,
                      std::uint64_t at, std::uint64_t total, std::uint64_t& mark, Steps& steps,
                      Out& out);
};

}  // namespace ombrak
