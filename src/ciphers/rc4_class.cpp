// The RC4 class: the envelope classes' operations over a length-preserving stream cipher.
#include "ombrak/ciphers/classes.h"

namespace ombrak {

void clsKvVeskEncDecRC4A::Key(const Text& value) {
    if (value == key_text_) return;
    key_text_ = value;
    keyed_ = true;
    key_.reset();
    // Key byte i mod n at step i: the empty text has no byte to cycle, and leaves the identity.
    if (value.empty()) raise_runtime(RuntimeError::DivisionByZero);
    Bytes bytes = ansi_from_text(value);
    const std::size_t cycle = std::min<std::size_t>(value.size(), 256);
    if (bytes.size() < cycle) raise_runtime(RuntimeError::SubscriptOutOfRange);
    key_.schedule(bytes.data(), cycle);
    ciphers::wipe(bytes.data(), bytes.size());
}

void clsKvVeskEncDecRC4A::require_key() const {
    // A keystream of zeros would hand the data back as its own ciphertext.
    if (!keyed_) raise_runtime(RuntimeError::InvalidCall);
}

void clsKvVeskEncDecRC4A::EncryptByte(Bytes& bytes, Text& key) {
    if (!key.empty()) Key(key);
    require_key();
    ciphers::Rc4Stream stream(key_);
    PercentSteps<1> steps;
    steps.run(
        0, bytes.size(), bytes.size(),
        [&](std::uint64_t o, std::size_t n) { stream.apply(bytes.data() + o, n); },
        [this](std::int32_t& p) { notify(p); });
    if (steps.percent != 100) notify_done();
}

Text clsKvVeskEncDecRC4A::EncryptString(Text& text, Text& key, bool& output_in_64) {
    CodePageScope code_page;
    Bytes bytes = ansi_from_text(text);
    EncryptByte(bytes, key);
    Text result = ansi_to_text(bytes);
    if (output_in_64) result = encode64(result);
    return result;
}

Text clsKvVeskEncDecRC4A::DecryptString(Text& text, Text& key, bool& is_text_in_64) {
    CodePageScope code_page;
    if (is_text_in_64) text = decode64(text);
    Bytes bytes = ansi_from_text(text);
    DecryptByte(bytes, key);
    return ansi_to_text(bytes);
}

void clsKvVeskEncDecRC4A::crypt_stream(files::Input& in, std::uint64_t total, bool in_64,
                                       files::Sink& out, bool out_64) {
    require_key();
    ciphers::Rc4Stream stream(key_);
    EnvelopeReader reader(in, in_64);
    Bytes piece(static_cast<std::size_t>(std::clamp<std::uint64_t>(total, 1, files::kPiece)));
    std::string scratch;
    PercentSteps<1> steps;
    for (std::uint64_t o = 0; o < total;) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(files::kPiece, total - o));
        if (reader.read(piece.data(), n) != n) raise_runtime(RuntimeError::FileAccess);
        steps.run(
            o, o + n, total,
            [&](std::uint64_t at, std::size_t k) { stream.apply(piece.data() + (at - o), k); },
            [this](std::int32_t& p) { notify(p); });
        write_piece(out, std::span(piece.data(), n), total, out_64, scratch);
        o += n;
    }
    if (steps.percent != 100) notify_done();
}

bool clsKvVeskEncDecRC4A::EncryptFile(Text& in_file, Text& out_file, bool& overwrite, Text& key,
                                      bool& output_in_64) {
    return file_operation(in_file, out_file, overwrite, [&](files::Input& in, files::Sink& out) {
               if (!key.empty()) Key(key);
               crypt_stream(in, *in.size(), false, out, output_in_64);
               return true;
           }) == FileOutcome::Written;
}

bool clsKvVeskEncDecRC4A::DecryptFile(Text& in_file, Text& out_file, bool& overwrite, Text& key,
                                      bool& is_file_in_64) {
    return file_operation(in_file, out_file, overwrite, [&](files::Input& in, files::Sink& out) {
               const std::uint64_t total = envelope_length(in, is_file_in_64);
               if (!key.empty()) Key(key);
               crypt_stream(in, total, is_file_in_64, out, false);
               return true;
           }) == FileOutcome::Written;
}

const ClassInfo& clsKvVeskEncDecRC4A::info() {
    using namespace binding;
    using C = clsKvVeskEncDecRC4A;
    static const ClassInfo k = [] {
        std::vector<MemberInfo> members = {buddy_get<C, std::int32_t>(),
                                           buddy_set<C, std::int32_t>()};
        for (auto& m : base64_members<C>()) members.push_back(std::move(m));
        members.push_back(method<&C::EncryptFile>(
            "EncryptFile",
            {arg("InFile"), arg("OutFile"), arg("Overwrite"), opt("Key"), opt("OutputIn64")}));
        members.push_back(method<&C::DecryptFile>(
            "DecryptFile",
            {arg("InFile"), arg("OutFile"), arg("Overwrite"), opt("Key"), opt("IsFileIn64")}));
        members.push_back(method<&C::DecryptByte>("DecryptByte", {arg("byteArray"), opt("Key")}));
        members.push_back(method<&C::EncryptString>("EncryptString",
                                                    {arg("Text"), opt("Key"), opt("OutputIn64")}));
        members.push_back(method<&C::DecryptString>("DecryptString",
                                                    {arg("Text"), opt("Key"), opt("IsTextIn64")}));
        members.push_back(method<&C::EncryptByte>("EncryptByte", {arg("byteArray"), opt("Key")}));
        members.push_back(let<&C::Key>("Key", {arg("Key")}));
        return ClassInfo{
            "clsKvVeskEncDecRC4A", std::move(members),
            EventInfo{"Progress", "Percent", DeclType::I32, "czVeskEncDecRC4_Progress"}};
    }();
    return k;
}

}  // namespace ombrak
