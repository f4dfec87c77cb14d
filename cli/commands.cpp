// The tool's task commands: classes, describe, demo, base64, the ciphers and compression.
#include "commands.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "ombrak/ciphers/classes.h"
#include "ombrak/ciphers/envelope.h"
#include "ombrak/encoding/base64.h"
#include "ombrak/encoding/huffman_class.h"
#include "ombrak/frame/components.h"
#include "ombrak/frame/error.h"
#include "ombrak/frame/object.h"
#include "ombrak/frame/text.h"
#include "ombrak/frame/typelib.h"
#include "ombrak/provider/classes.h"

namespace ombrak::cli {

int list_classes(std::ostream& out) {
    for (const auto& e : catalogue())
        out << e.progid << (e.library ? "" : "  (external component)") << "\n";
    return 0;
}

int describe_classes(const std::string& progid, bool json, std::ostream& out, std::ostream& err) {
    if (progid.empty()) {
        if (json) {
            out << type_library_json() << "\n";
            return 0;
        }
        for (const auto& e : catalogue()) {
            if (!e.library || !e.info) continue;
            describe_classes(e.progid, false, out, err);
            out << "\n";
        }
        return 0;
    }
    auto entry = find_entry(progid);
    const ClassInfo* info = entry ? entry->info : nullptr;
    if (!info) {
        err << "ombrak10: describe: no class '" << progid << "'\n";
        return 1;
    }
    if (json) {
        out << class_json(*info, entry->progid) << "\n";
        return 0;
    }
    out << entry->progid << "\n";
    if (info->members.empty()) out << "  (no members)\n";
    for (const auto& m : info->members) out << "  " << member_signature(m) << "\n";
    if (info->event)
        out << "  event " << info->event->name << "(" << info->event->param << ": "
            << decl_type_name(info->event->width) << "&)  buddy method \""
            << info->event->buddy_method << "\"\n";
    return 0;
}

namespace {

std::string show(const Variant& v) {
    switch (v.type()) {
        case VarType::Text: {
            std::string s;
            for (char c : text_to_utf8(v.get<Text>())) {
                if (c == '\r')
                    s += "\\r";
                else if (c == '\n')
                    s += "\\n";
                else
                    s += c;
            }
            return "\"" + s + "\"";
        }
        case VarType::Bytes: {
            std::string s;
            char buf[4];
            for (std::uint8_t b : v.get<Bytes>()) {
                std::snprintf(buf, sizeof buf, "%02x ", b);
                s += buf;
            }
            if (!s.empty()) s.pop_back();
            return "bytes [" + s + "]";
        }
        case VarType::Object:
            return v.get<ObjectRef>() ? "object" : "nothing";
        case VarType::Empty:
            return "(no result)";
        default:
            return text_to_utf8(to_text(v));
    }
}

// One call by name, printed with its result or its error.
void tour_call(std::ostream& out, const ObjectRef& obj, const char* member, MemberKind kind,
               std::vector<Variant> args, const std::string& label) {
    std::vector<ArgRef> refs;
    for (auto& a : args) refs.push_back(ArgRef{&a});
    out << "  " << label << "\n      -> ";
    try {
        out << show(obj->invoke(member, kind, refs)) << "\n";
    } catch (const Error& e) {
        out << "error " << e.number() << " (" << e.source() << "): " << e.description() << "\n";
    }
}

}  // namespace

int run_demo(std::ostream& out) {
    out << "Ombrak10 1.0.139: a tour through the dynamic interface\n\n";
    out << "Every class is created by programmatic name and called by member name.\n\n";

    ObjectRef root = create_object("Ombrak10.clsKvOmbrak10");
    out << "1. The root class, Ombrak10.clsKvOmbrak10\n";
    Variant info = root->invoke("GetProStdProperties", MemberKind::Get, {});
    ObjectRef app = to_object(info);
    out << "  GetProStdProperties: " << show(app->invoke("Title", MemberKind::Get, {}))
        << " version " << show(app->invoke("Major", MemberKind::Get, {})) << "."
        << show(app->invoke("Minor", MemberKind::Get, {})) << "."
        << show(app->invoke("Revision", MemberKind::Get, {})) << "\n";
    tour_call(out, root, "GetProResStrings", MemberKind::Method, {Variant(std::int32_t{101})},
              "GetProResStrings(101)");
    tour_call(out, root, "About", MemberKind::Method, {}, "About()");
    Variant one(std::int32_t{1}), version_type(std::int16_t{16});
    Variant version = call(*root, "GetProResData", one, version_type);
    out << "  GetProResData(1, 16): the version resource, " << version.get<Bytes>().size()
        << " bytes in the VS_VERSION_INFO layout\n";

    out << "\n2. Base64, Ombrak10.clsKvVeskEncDecBase64A (names are case-insensitive)\n";
    ObjectRef b64 = create_object("ombrak10.clskvveskencdecbase64a");
    tour_call(out, b64, "Encode64", MemberKind::Method, {Variant(u"Man")}, "Encode64(\"Man\")");
    tour_call(out, b64, "decodearray64", MemberKind::Method, {Variant(u"TWE=")},
              "decodearray64(\"TWE=\")");
    tour_call(out, b64, "EncodeArray64", MemberKind::Method, {Variant(Bytes(58, 0xFF))},
              "EncodeArray64(58 bytes of ff): 76 characters, CR LF, the rest");
    tour_call(out, b64, "DecodeArray64", MemberKind::Method, {Variant(u"==")},
              "DecodeArray64(\"==\"): nothing to decode");
    tour_call(out, b64, "Encode64", MemberKind::Method, {Variant(std::int32_t{12345})},
              "Encode64(12345): a number passed for a text is converted as a host would");
    tour_call(out, b64, "Encrypt", MemberKind::Method, {}, "Encrypt(): no such member");

    out << "\n3. Ciphers share one envelope: random words, a size descriptor, CBC\n";
    ObjectRef tea = create_object("Ombrak10.clsKvVeskEncDecTeaA");
    std::string seen;
    tea->connect(make_host_object([&](std::string_view event, MemberKind, std::span<ArgRef> args) {
        seen.append(" ").append(event).append("(");
        seen.append(text_to_utf8(to_text(*args[0].var))).append(")");
        return Variant();
    }));
    Variant text(u"attack at dawn"), key(u"secret"), base64(true);
    Variant sealed = call(*tea, "EncryptString", text, key, base64);
    out << "  TEA EncryptString(\"attack at dawn\", \"secret\", OutputIn64:=True)\n      -> "
        << show(sealed) << "\n      events:" << seen << "\n";
    Variant none(Text{});
    out << "  DecryptString(that, \"\", True): the key stays set on the object\n      -> "
        << show(call(*tea, "DecryptString", sealed, none, base64))
        << "\n      and the caller's Text now holds the decoded bytes ("
        << sealed.get<Text>().size() << " characters)\n";
    ObjectRef bf = create_object("Ombrak10.clsKvVeskEncDecBlowFishA");
    Variant bf_text(u"hello"), bf_key(u"key");
    call(*bf, "EncryptString", bf_text, bf_key, base64);
    out << "  Blowfish EncryptString empties the caller's Text and Key: " << show(bf_text) << ", "
        << show(bf_key) << "\n";
    ObjectRef des = create_object("Ombrak10.clsKvVeskEncDecDesA");
    Variant wrong(u"wrong");
    tour_call(out, des, "DecryptByte", MemberKind::Method, {Variant(Bytes(16, 0)), wrong},
              "DES DecryptByte with a wrong key raises nothing (host programs call it unguarded)");

    ObjectRef gost = create_object("Ombrak10.clsKvVeskEncDecGostA");
    Variant gost_text(u"attack at dawn"), gost_key(u"gost key");
    out << "  GOST EncryptString: "
        << show(call(*gost, "EncryptString", gost_text, gost_key, base64)) << "\n";
    ObjectRef fish = create_object("Ombrak10.clsKvVeskEncDec2FishA");
    tour_call(out, fish, "EncryptByte", MemberKind::Method, {Variant(Bytes(4, 0))},
              "Twofish EncryptByte before any key: no key at all yet");
    {
        Variant min(std::int32_t{256}), k(u"abc");
        ArgRef args[] = {{&min, false}, {&k, false}};
        fish->invoke("Key", MemberKind::Let, args);
    }
    Variant four(Bytes(4, 0)), fish_none(Text{});
    call(*fish, "EncryptByte", four, fish_none);
    out << "  Key(MinKeyLength:=TWOFISH_256) = \"abc\", then EncryptByte of 4 bytes: "
        << four.get<Bytes>().size() << " bytes (one 16-byte block)\n";
    ObjectRef rc4 = create_object("Ombrak10.clsKvVeskEncDecRC4A");
    tour_call(out, rc4, "EncryptString", MemberKind::Method,
              {Variant(u"Attack at dawn"), Variant(u"Secret"), Variant(true)},
              "RC4 EncryptString(\"Attack at dawn\", \"Secret\", True): as long as the text");
    ObjectRef serpent = create_object("Ombrak10.clsKvVeskEncDecSerpentA");
    Variant s_text(u"abc"), s_key(u"serpent key"), no(false);
    Variant s_sealed = call(*serpent, "EncryptString", s_text, s_key, no);
    Variant s_back = call(*serpent, "DecryptString", s_sealed, s_key, no);
    out << "  Serpent: no envelope, blocks on their own; \"abc\" comes back as "
        << s_back.get<Text>().size() << " characters (the zero padding stays)\n";

    out << "\n4. Message digests\n";
    ObjectRef md5 = create_object("Ombrak10.clsKvVeskMessageDigestA");
    tour_call(out, md5, "MD5", MemberKind::Method, {Variant(u"abc")},
              "MessageDigestA MD5(\"abc\"): lower case, the low byte of each character");
    ObjectRef context = create_object("Ombrak10.clsKvVeskEncDecMD5A");
    tour_call(out, context, "DigestStrToHexStr", MemberKind::Method, {Variant(u"abc")},
              "EncDecMD5A DigestStrToHexStr(\"abc\"): upper case");
    tour_call(out, context, "RegisterA", MemberKind::Get, {},
              "RegisterA afterwards: the register as a signed number");
    ObjectRef sha1 = create_object("Ombrak10.clsKvVeskEncDecShaA");
    Variant message(u"abc");
    Variant sha1_hex = call(*sha1, "SHA1", message);
    out << "  SHA1(message) -> " << show(sha1_hex) << "\n      and message is now " << show(message)
        << " (the operation empties the caller's variable)\n";
    ObjectRef sha256 = create_object("Ombrak10.clsKvVeskEncDecSha256A");
    tour_call(out, sha256, "SHA256", MemberKind::Method, {Variant(u"abc")}, "SHA256(\"abc\")");

    out << "\n5. Password encryption through the provider layer\n";
    ObjectRef password = create_object("Ombrak10.clsKvVeskEncDecA");
    tour_call(out, password, "StringCryptography", MemberKind::Method,
              {Variant(std::int32_t{0}), Variant(u"Attack at dawn"), Variant(u"secret"),
               Variant(std::int32_t{0}), Variant(std::int32_t{21}), Variant(std::int32_t{1})},
              "EncDecA StringCryptography(CRYPTO_ENCRYPTION, \"Attack at dawn\", \"secret\", , "
              "21, CRYPTO_CONVERSION_HEXA):\n    the Enhanced provider, MD5 of the password, "
              "two-key triple DES, in hexadecimal");
    tour_call(
        out, password, "StringCryptography", MemberKind::Method,
        {Variant(std::int32_t{1}), Variant(u"C8999F32D3210E035A1F368F4C9AD3F6"), Variant(u"wrong"),
         Variant(std::int32_t{0}), Variant(std::int32_t{21}), Variant(std::int32_t{1})},
        "the same with a wrong password: the empty text, nothing raised");
    ObjectRef glim = create_object("Ombrak10.clsKvVeskEncDecGlimA");
    tour_call(
        out, glim, "Encrypt", MemberKind::Method,
        {Variant(u"Attack at dawn"), Variant(u"secret"), Variant(true), Variant(std::int32_t{1})},
        "GlimA Encrypt(\"Attack at dawn\", \"secret\", True, glimStreamEncryption): RC4, "
        "as long as the text");
    tour_call(out, glim, "Decrypt", MemberKind::Method,
              {Variant(u"3617815C01BB3421F4708E5F44E85B18"), Variant(u"wrong"), Variant(true)},
              "GlimA Decrypt with a wrong key: an error of its own");

    out << "\n6. Huffman compression, Ombrak10.clsKvVeskEncDecHuffmanA\n";
    ObjectRef huffman = create_object("Ombrak10.clsKvVeskEncDecHuffmanA");
    std::string steps;
    huffman->connect(make_host_object([&](std::string_view, MemberKind, std::span<ArgRef> args) {
        steps.append(" ").append(text_to_utf8(to_text(*args[0].var)));
        return Variant();
    }));
    Variant spell(Bytes{'a', 'b', 'r', 'a', 'c', 'a', 'd', 'a', 'b', 'r', 'a'}),
        spell_len(std::int32_t{11});
    call(*huffman, "EncodeByte", spell, spell_len);
    out << "  EncodeByte(\"abracadabra\", 11): the array becomes the HE3 container\n      -> "
        << show(spell) << "\n      progress:" << steps << "\n";
    Variant packed_len(static_cast<std::int32_t>(spell.get<Bytes>().size()));
    call(*huffman, "DecodeByte", spell, packed_len);
    out << "  DecodeByte of it -> " << show(spell) << "\n";
    tour_call(out, huffman, "EncodeString", MemberKind::Method, {Variant(u"aaaa")},
              "EncodeString(\"aaaa\"): one distinct value is stored as it is, behind HE0");
    tour_call(out, huffman, "DecodeByte", MemberKind::Method,
              {Variant(Bytes{'H', 'E', '4', '\r'}), Variant(std::int32_t{4})},
              "DecodeByte of something else");

    out << "\n7. Classic text ciphers and Morse code\n";
    ObjectRef classic = create_object("Ombrak10.clsKvVeskClassicCiphersA");
    Variant caesar_text(u"abc xyz"), shift(std::int16_t{29});
    Variant shifted = call(*classic, "CaesarShift", caesar_text, shift);
    out << "  ClassicCiphersA CaesarShift(\"abc xyz\", 29) -> " << show(shifted)
        << "\n      the shift is reduced to " << show(shift)
        << " in the caller's variable, and letters wrap by 25\n";
    tour_call(out, classic, "Ascii2PigLatin", MemberKind::Method, {Variant(u"hello world")},
              "Ascii2PigLatin(\"hello world\")");
    ObjectRef morse = create_object("Ombrak10.clsKvVeskEncDecMorseA");
    Variant morse_code(u".... .. \\ -- --- .-. ");
    Variant decoded = call(*morse, "MorseDecode", morse_code);
    out << "  MorseA MorseDecode(\".... .. \\ -- --- .-. \") -> " << show(decoded)
        << ", the caller's text now " << show(morse_code) << "\n";
    ObjectRef sabre = create_object("Ombrak10.clsKvVeskEncDecSabreA");
    {
        Variant k(u"Key");
        ArgRef args[] = {{&k}};
        sabre->invoke("KeyString", MemberKind::Let, args);
    }
    Variant sabre_text(u"Hello, World");
    Variant sabre_sealed = call(*sabre, "Encrypt", sabre_text);
    out << "  SabreA KeyString = \"Key\", Encrypt(\"Hello, World\") -> " << show(sabre_sealed)
        << "\n      and Encrypt of that -> " << show(call(*sabre, "Encrypt", sabre_sealed)) << "\n";

    out << "\n8. Files stream through fixed-size pieces into a temporary file renamed into place\n";
    std::string folder = (std::filesystem::temp_directory_path() / "ombrak10-demo-XXXXXX").string();
    if (::mkdtemp(folder.data())) {
        std::ofstream(folder + "/plain.txt") << "a file the demo encrypts and decrypts\n";
        auto name = [&](const char* f) { return Variant(utf8_to_text(folder + "/" + f)); };
        Variant in = name("plain.txt"), sealed = name("sealed.b64"), back = name("back.txt"),
                yes(true), file_key(u"secret");
        Variant ok = call(*des, "EncryptFile", in, sealed, yes, file_key, yes);
        out << "  EncryptFile(plain.txt, sealed.b64, Overwrite:=True, \"secret\", OutputIn64:=True)"
            << "\n      -> " << show(ok) << ", "
            << std::filesystem::file_size(folder + "/sealed.b64") << " bytes of Base64 text\n";
        Variant again(u"secret");
        ok = call(*des, "DecryptFile", sealed, back, yes, again, yes);
        out << "  DecryptFile(sealed.b64, back.txt, True, \"secret\", IsFileIn64:=True)\n      -> "
            << show(ok) << ", back.txt "
            << (std::filesystem::file_size(folder + "/back.txt") ==
                        std::filesystem::file_size(folder + "/plain.txt")
                    ? "equals"
                    : "differs from")
            << " plain.txt\n";
        Variant wrong_key(u"not it");
        ok = call(*des, "DecryptFile", sealed, back, yes, wrong_key, yes);
        out << "  DecryptFile with a wrong key -> " << show(ok)
            << " at once: the size check comes first, back.txt is left as it was\n";
        std::filesystem::remove_all(folder);
    }

    std::size_t built = 0;
    for (const auto& e : catalogue()) built += e.library;
    out << "\n9. The catalogue holds " << built
        << " classes; `ombrak10 classes` lists them, `ombrak10 describe NAME` shows members.\n";
    return 0;
}

namespace {

void decode_base64(files::Input& in, files::Sink& out, bool lenient, bool& valid) {
    encoding::Base64Decoder decoder(lenient ? encoding::Base64Decoder::Rules::Lenient
                                            : encoding::Base64Decoder::Rules::Strict);
    Bytes text(files::kPiece), bytes(encoding::Base64Decoder::capacity(files::kPiece) + 3);
    for (;;) {
        std::size_t n = in.read(text.data(), text.size());
        std::size_t k = decoder.update(std::span(text.data(), n), bytes.data());
        if (n < text.size()) k += decoder.finish(bytes.data() + k);
        out.write(std::span(bytes.data(), k));
        if (!decoder.valid()) break;
        if (n < text.size()) break;
    }
    valid = decoder.valid();
}

// The library layout: a text of one line has no line break, a longer one breaks every line.
void encode_library_layout(files::Input& in, files::Sink& out) {
    Bytes piece(files::kPiece);
    std::string text(encoding::base64_part_length(piece.size()), '\0');
    std::size_t n = in.read(piece.data(), piece.size());
    if (n < piece.size()) {
        out.write(encoding::base64_encode_lines(std::span(piece.data(), n)));
        return;
    }
    for (;;) {
        std::size_t k = encoding::base64_encode_lines_part(std::span(piece.data(), n), text.data());
        out.write(std::string_view(text.data(), k));
        if (n < piece.size()) return;
        n = in.read(piece.data(), piece.size());
    }
}

// The coreutils layout: pieces of whole groups (so no padding but at the end) encoded flat, then
// cut into lines that run on from one piece to the next.
void encode_coreutils_layout(files::Input& in, files::Sink& out, std::size_t cols) {
    static_assert(files::kPiece % 3 == 0);
    Bytes piece(files::kPiece);
    std::string flat(encoding::base64_length(piece.size()), '\0'), lines;
    if (cols) lines.resize(flat.size() + flat.size() / cols + 1);
    std::size_t column = 0;
    for (;;) {
        std::size_t n = in.read(piece.data(), piece.size());
        std::size_t chars = encoding::base64_length(n);
        encoding::base64_encode(std::span(piece.data(), n), flat.data());
        if (!cols) {
            out.write(std::string_view(flat.data(), chars));
        } else {
            char* o = lines.data();
            for (std::size_t i = 0; i < chars;) {
                std::size_t take = std::min(cols - column, chars - i);
                std::memcpy(o, flat.data() + i, take);
                o += take;
                i += take;
                column += take;
                if (column == cols) {
                    *o++ = '\n';
                    column = 0;
                }
            }
            if (n < piece.size() && column) *o++ = '\n';  // a last partial line ends too
            out.write(std::string_view(lines.data(), static_cast<std::size_t>(o - lines.data())));
        }
        if (n < piece.size()) return;
    }
}

}  // namespace

bool base64_command(files::Input& in, files::Sink& out, bool decode, bool crlf, std::size_t cols) {
    if (decode) {
        bool valid;
        decode_base64(in, out, crlf, valid);
        return valid;
    }
    if (crlf)
        encode_library_layout(in, out);
    else
        encode_coreutils_layout(in, out, cols);
    return true;
}

}  // namespace ombrak::cli

namespace ombrak::cli {

namespace {

// The progress bar: one line on stderr, redrawn at each notification.
ObjectRef progress_bar() {
    return make_host_object([](std::string_view, MemberKind, std::span<ArgRef> args) {
        int percent = args.empty() ? 0 : to_i32(*args[0].var);
        int filled = percent * 30 / 100;
        std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "##############################",
                     30 - filled, "", percent);
        if (percent >= 100) std::fputc('\n', stderr);
        std::fflush(stderr);
        return Variant();
    });
}

}  // namespace

namespace {

// Reads standard input into a temporary file so its length is known, no further than `limit`
// bytes (of data, for Base64 text: what it decodes to).
bool spool_within(files::Input& in, std::uint64_t limit, bool counted) {
    std::uint64_t seen = 0;
    encoding::Base64DataCounter counter;
    return in.spool([&](std::span<const std::uint8_t> piece) {
        if (!counted) return (seen += piece.size()) <= limit;
        counter.update(piece);
        return counter.decoded_length() <= limit;
    });
}

// The data length of an input to decrypt: its size, or what its Base64 text decodes to.
std::optional<std::uint64_t> data_length(files::Input& in, bool base64, std::string& error) {
    try {
        return envelope_length(in, base64);
    } catch (const Error& e) {
        if (e.number() != static_cast<std::int32_t>(RuntimeError::InvalidCall)) throw;
        error = "the input holds no Base64 text";
        return std::nullopt;
    }
}

bool envelope_command(const CipherOptions& options, bool decrypt, ObjectRef object,
                      files::Input& in, files::Sink& out, std::string& error) {
    auto* envelope = dynamic_cast<EnvelopeCipher*>(object.get());
    Text key = utf8_to_text(options.key);
    if (options.cipher == "twofish") {
        // Through the Key property with its MinKeyLength argument.
        Variant min(options.min_key_length), value(key);
        ArgRef args[] = {{&min, false}, {&value, false}};
        object->invoke("Key", MemberKind::Let, args);
    } else if (!key.empty()) {
        envelope->set_key(key);
    }

    // An input longer than an envelope can hold is refused before anything is written; a pipe
    // is read no further than that.
    const std::uint64_t limit =
        decrypt ? envelope->max_envelope_length() : envelope->max_data_length();
    const std::string too_long = decrypt ? "the input is longer than any " + options.cipher +
                                               " envelope (" + std::to_string(limit) + " bytes)"
                                         : "the input is longer than an envelope holds (" +
                                               std::to_string(limit) + " bytes)";
    if (!spool_within(in, limit, decrypt && options.base64)) {
        error = too_long;
        return false;
    }
    if (!decrypt) {
        if (*in.size() > limit) {
            error = too_long;
            return false;
        }
        envelope->encrypt_stream(in, out, options.base64);
        return true;
    }
    const auto total = data_length(in, options.base64, error);
    if (!total) return false;
    if (*total > limit) {
        error = too_long;
        return false;
    }
    switch (envelope->decrypt_stream(in, *total, options.base64, out)) {
        case DecryptStatus::Ok:
            return true;
        case DecryptStatus::Partial:
            error = "the input is not a whole number of " + std::to_string(envelope->block_size()) +
                    "-byte blocks";
            return false;
        case DecryptStatus::SizeError:
            error = "wrong key, or not a " + options.cipher + " ciphertext (size check failed)";
            return false;
        case DecryptStatus::Failed:
            break;
    }
    error = "decryption was interrupted";
    return false;
}

// RC4 and Serpent: no envelope, so no limit but the host's arrays; only standard input is held
// to it, since it has to be spooled.
bool text_cipher_command(const CipherOptions& options, bool decrypt, ObjectRef object,
                         files::Input& in, files::Sink& out, std::string& error) {
    constexpr std::uint64_t kLimit = INT32_MAX;
    if (!spool_within(in, kLimit, decrypt && options.base64)) {
        error = "standard input is longer than " + std::to_string(kLimit) +
                " bytes: pass the data as a file";
        return false;
    }
    std::uint64_t total = *in.size();
    if (decrypt) {
        const auto length = data_length(in, options.base64, error);
        if (!length) return false;
        total = *length;
    }
    const bool in_64 = decrypt && options.base64, out_64 = !decrypt && options.base64;
    Text key = utf8_to_text(options.key);
    if (auto* rc4 = dynamic_cast<clsKvVeskEncDecRC4A*>(object.get())) {
        rc4->Key(key);
        rc4->crypt_stream(in, total, in_64, out, out_64);
    } else {
        auto& serpent = dynamic_cast<clsKvVeskEncDecSerpentA&>(*object);
        serpent.crypt_stream(key, decrypt, in, total, in_64, out, out_64);
    }
    return true;
}

// The library's Base64 layout over another sink, for output of a known total length written
// in pieces that are whole lines but the last.
class Base64Sink final : public files::Sink {
  public:
    Base64Sink(files::Sink& inner, std::uint64_t total) : inner_(inner), total_(total) {}
    using Sink::write;
    void write(std::span<const std::uint8_t> data) override {
        write_piece(inner_, data, total_, true, scratch_);
    }
    int error() const noexcept override { return inner_.error(); }

  private:
    files::Sink& inner_;
    std::uint64_t total_;
    std::string scratch_;
};

// provider[:N] (a method value, 21 when omitted) and glim:block|stream: the bytes
// StringCryptography and Encrypt make of a text with the input's bytes, streamed through the
// provider's key piece by piece.
bool provider_command(const CipherOptions& options, bool decrypt, files::Input& in,
                      files::Sink& out, std::string& error) {
    constexpr std::uint64_t kLimit = 0xFFFF'FFF0;  // the provider's 32-bit lengths
    if (!spool_within(in, kLimit, decrypt && options.base64)) {
        error = "the input is longer than " + std::to_string(kLimit) + " bytes";
        return false;
    }
    std::uint64_t total = *in.size();
    if (decrypt && options.base64) {
        const auto length = data_length(in, true, error);
        if (!length) return false;
        total = *length;
    }
    if (total > kLimit) {
        error = "the input is longer than " + std::to_string(kLimit) + " bytes";
        return false;
    }
    const Text key = utf8_to_text(options.key);
    ProviderSession session;
    std::shared_ptr<clsKvVeskEncDecGlimA> glim;
    if (options.cipher.rfind("glim:", 0) == 0) {
        glim = std::make_shared<clsKvVeskEncDecGlimA>();
        glim->derive(session, key,
                     options.cipher == "glim:block" ? clsKvVeskEncDecGlimA::glimBlockEncryption
                                                    : clsKvVeskEncDecGlimA::glimStreamEncryption);
    } else {
        const std::int32_t method =
            options.cipher == "provider" ? 21 : std::stoi(options.cipher.substr(9));
        const char* name = nullptr;
        std::uint32_t hash = 0, cipher = 0;
        clsKvVeskEncDecA::method_of(method, name, hash, cipher);
        if (!provider::acquire_context(session.context, "", name, provider::PROV_RSA_FULL, 0) ||
            !session.derive(hash, cipher, key, 0)) {
            error = "the provider could not make the key";
            return false;
        }
    }
    EnvelopeReader reader(in, decrypt && options.base64);
    auto read = [&](std::uint8_t* p, std::size_t n) { return reader.read(p, n); };
    bool ok;
    if (!decrypt && options.base64) {
        std::uint32_t needed = static_cast<std::uint32_t>(total);
        provider::encrypt(session.key, 0, true, 0, nullptr, needed, 0);
        Base64Sink text(out, needed);
        ok = stream_through_key(session.key, false, total, read, text);
    } else {
        ok = stream_through_key(session.key, decrypt, total, read, out);
    }
    if (!ok)
        error = decrypt ? "wrong key, or not a ciphertext of this method (the padding does not "
                          "check out)"
                        : "the provider refused the data";
    return ok;
}

}  // namespace

bool cipher_command(const CipherOptions& options, bool decrypt, files::Input& in, files::Sink& out,
                    std::string& error) {
    if (options.cipher.rfind("provider", 0) == 0 || options.cipher.rfind("glim:", 0) == 0) {
        CodePageScope code_page;
        return provider_command(options, decrypt, in, out, error);
    }
    static const std::pair<const char*, const char*> kCiphers[] = {
        {"tea", "Ombrak10.clsKvVeskEncDecTeaA"},
        {"blowfish", "Ombrak10.clsKvVeskEncDecBlowFishA"},
        {"des", "Ombrak10.clsKvVeskEncDecDesA"},
        {"gost", "Ombrak10.clsKvVeskEncDecGostA"},
        {"twofish", "Ombrak10.clsKvVeskEncDec2FishA"},
        {"rc4", "Ombrak10.clsKvVeskEncDecRC4A"},
        {"serpent", "Ombrak10.clsKvVeskEncDecSerpentA"}};
    const char* progid = nullptr;
    for (const auto& [name, id] : kCiphers)
        if (options.cipher == name) progid = id;
    if (!progid) {
        error = "unknown cipher '" + options.cipher + "'";
        return false;
    }
    ObjectRef object = create_object(progid);
    if (options.progress) object->connect(progress_bar());
    CodePageScope code_page;
    if (dynamic_cast<EnvelopeCipher*>(object.get()))
        return envelope_command(options, decrypt, object, in, out, error);
    return text_cipher_command(options, decrypt, object, in, out, error);
}

bool huffman_command(bool decompress, bool progress, files::Input& in, files::Sink& out,
                     std::string& error) {
    constexpr std::uint64_t kLimit = INT32_MAX;  // a container's lengths are signed 32-bit
    if (!spool_within(in, kLimit, false) || *in.size() > kLimit) {
        error = "the input is longer than a container holds (" + std::to_string(kLimit) + " bytes)";
        return false;
    }
    auto huffman = std::make_shared<clsKvVeskEncDecHuffmanA>();
    if (progress) huffman->connect(progress_bar());
    try {
        if (decompress)
            huffman->decode_stream(in, out);
        else
            huffman->encode_stream(in, out);
        return true;
    } catch (const Error& e) {
        if (e.number() == kObjectErrorBase) {
            error = e.description();
        } else if (e.number() == static_cast<std::int32_t>(RuntimeError::SubscriptOutOfRange)) {
            error = "the data is corrupt (its code table or data lead outside the code)";
        } else {
            throw;
        }
        return false;
    }
}

namespace {

// How an operation takes its arguments after the text.
enum class Extra { None, Key, Number, SabreKey, Encrypt, Decrypt };

struct ClassicOperation {
    const char* name;
    const char* progid;
    const char* member;
    Extra extra;
    const char* help;
};

// clang-format off
constexpr ClassicOperation kClassic[] = {
    {"ascii2binary", "Ombrak10.clsKvVeskClassicCiphersA", "Ascii2Binary", Extra::None, "eight binary digits a character"},
    {"binary2ascii", "Ombrak10.clsKvVeskClassicCiphersA", "Binary2Ascii", Extra::None, "binary digits back to characters"},
    {"reverse", "Ombrak10.clsKvVeskClassicCiphersA", "ReverseString", Extra::None, "the characters last to first"},
    {"caesar", "Ombrak10.clsKvVeskClassicCiphersA", "CaesarShift", Extra::Number, "letters shifted by --number"},
    {"ascii2transposition", "Ombrak10.clsKvVeskClassicCiphersA", "Ascii2Transposition", Extra::None, "two-row transposition"},
    {"transposition2ascii", "Ombrak10.clsKvVeskClassicCiphersA", "Transposition2Ascii", Extra::None, "its inverse"},
    {"ascii2piglatin", "Ombrak10.clsKvVeskClassicCiphersA", "Ascii2PigLatin", Extra::None, "Pig Latin"},
    {"piglatin2ascii", "Ombrak10.clsKvVeskClassicCiphersA", "PigLatin2Ascii", Extra::None, "Pig Latin back"},
    {"ascii2random", "Ombrak10.clsKvVeskClassicCiphersA", "Ascii2Random", Extra::Key, "random digit characters under the code --key"},
    {"random2ascii", "Ombrak10.clsKvVeskClassicCiphersA", "Random2Ascii", Extra::Key, "their inverse"},
    {"depth-encode", "Ombrak10.clsKvVeskEncDecCeaserA", "Encode", Extra::Number, "codes shifted by the depth --number (0: 40)"},
    {"depth-decode", "Ombrak10.clsKvVeskEncDecCeaserA", "Decode", Extra::Number, "its inverse"},
    {"softckt-encrypt", "Ombrak10.clsKvVeskEncDecSoftCktA", "EncryptText", Extra::Key, "password codes added"},
    {"softckt-decrypt", "Ombrak10.clsKvVeskEncDecSoftCktA", "DecryptText", Extra::Key, "password codes subtracted"},
    {"salasana-crypt", "Ombrak10.clsKvVeskEncDecSalasanaA", "Crypt", Extra::Key, "six-step offsets from the password"},
    {"salasana-decrypt", "Ombrak10.clsKvVeskEncDecSalasanaA", "Decrypt", Extra::Key, "their inverse"},
    {"sabre", "Ombrak10.clsKvVeskEncDecSabreA", "Encrypt", Extra::SabreKey, "the 97-character table under --key (its own inverse)"},
    {"smoke-encrypt", "Ombrak10.clsKvVeskEncDecSmokeA", "SmokeCryptString", Extra::Encrypt, "reversed, moved by 2, framed"},
    {"smoke-decrypt", "Ombrak10.clsKvVeskEncDecSmokeA", "SmokeCryptString", Extra::Decrypt, "its inverse"},
};
// clang-format on

}  // namespace

const std::vector<std::pair<std::string, std::string>>& classic_operations() {
    static const std::vector<std::pair<std::string, std::string>> names = [] {
        std::vector<std::pair<std::string, std::string>> v;
        for (const auto& op : kClassic) v.emplace_back(op.name, op.help);
        return v;
    }();
    return names;
}

int classic_command(const std::string& operation, const std::string& key, int number,
                    const std::string& text, std::ostream& out, std::ostream& err) {
    const ClassicOperation* op = nullptr;
    for (const auto& o : kClassic)
        if (iequals(o.name, operation)) op = &o;
    if (!op) {
        err << "ombrak10: classic: no operation '" << operation << "'\n";
        return 2;
    }
    try {
        ObjectRef object = create_object(op->progid);
        Variant input(utf8_to_text(text)), extra;
        std::vector<ArgRef> args = {{&input}};
        switch (op->extra) {
            case Extra::None:
                break;
            case Extra::Key:
                extra = Variant(utf8_to_text(key));
                args.push_back({&extra});
                break;
            case Extra::Number:
                extra = Variant(static_cast<std::int16_t>(std::clamp(number, -32768, 32767)));
                args.push_back({&extra});
                break;
            case Extra::SabreKey: {
                Variant k(utf8_to_text(key));
                ArgRef let[] = {{&k}};
                object->invoke("KeyString", MemberKind::Let, let);
                break;
            }
            case Extra::Encrypt:
            case Extra::Decrypt:
                extra = Variant(op->extra == Extra::Encrypt);
                args.push_back({&extra});
                break;
        }
        const Text result = to_text(object->invoke(op->member, MemberKind::Method, args));
        out << text_to_utf8(result) << "\n";
        if (result.empty() && !text.empty()) {
            err << "ombrak10: classic: " << op->name << " gave nothing for this text\n";
            return 1;
        }
        return 0;
    } catch (const Error& e) {
        err << "ombrak10: classic: " << op->name << ": error " << e.number() << ": "
            << e.description() << "\n";
        return 1;
    }
}

int morse_command(bool decode, const std::string& text, std::ostream& out, std::ostream& err) {
    ObjectRef morse = create_object("Ombrak10.clsKvVeskEncDecMorseA");
    Variant input(utf8_to_text(text));
    ArgRef args[] = {{&input}};
    const Text result =
        to_text(morse->invoke(decode ? "MorseDecode" : "MorseEncode", MemberKind::Method, args));
    out << text_to_utf8(result) << "\n";
    if (decode && !input.get<Text>().empty()) {
        err << "ombrak10: morse: stopped at a code it does not know: '"
            << text_to_utf8(input.get<Text>()) << "'\n";
        return 1;
    }
    return 0;
}

}  // namespace ombrak::cli
