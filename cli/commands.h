// The tool's task subcommands, kept apart from argument parsing so tests can call them.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "ombrak/frame/files.h"

namespace ombrak::cli {

int list_classes(std::ostream& out);
int describe_classes(const std::string& progid, bool json, std::ostream& out, std::ostream& err);
int run_demo(std::ostream& out);

/// Encodes (coreutils layout: LF after every cols characters and after a last partial line, no
/// line end at all for cols 0; or the library layout with crlf) or decodes (strict, or the
/// library's lenient rules with crlf), streaming in pieces. Returns false for input that is not
/// Base64 (what came before the fault is written). Raises error 75 when reading or writing
/// fails.
bool base64_command(files::Input& in, files::Sink& out, bool decode, bool crlf, std::size_t cols);

/// `digest`: the options of a run.
struct DigestOptions {
    std::string algo = "sha256";  // md5, sha1 or sha256
    bool check = false;           // the names are lists of digests to verify
    bool quiet = false;           // check: no line for a file that is OK
    bool status = false;          // check: no output, only the exit code
    bool strict = false;          // check: improperly formatted lines fail the run
};

/// Prints a line "DIGEST  NAME" for every file ("-" or none: standard input), in the layout of
/// sha256sum; with check, verifies the digests such lists hold, printing "NAME: OK" or
/// "NAME: FAILED" and warnings as coreutils does. Exit code 0, or 1 when a file cannot be read
/// or a digest does not match (or a list holds no digest line), 2 for an unknown algorithm.
int digest_command(const DigestOptions& options, const std::vector<std::string>& names,
                   std::ostream& out, std::ostream& err);

}  // namespace ombrak::cli

namespace ombrak::cli {

struct CipherOptions {
    std::string cipher;               // tea, blowfish, des, gost, twofish, rc4 or serpent
    std::int32_t min_key_length = 0;  // Twofish: the key's least number of bits
    std::string key;                  // UTF-8
    bool base64 = false;
    bool progress = false;  // draw a progress bar on stderr
};

/// Encrypts or decrypts `in` to `out`, writing exactly what EncryptFile / DecryptFile write. An
/// input of unknown size (a pipe) is spooled to a temporary file first, and reading stops as
/// soon as it exceeds what an envelope can hold. Returns false with a message in `error` when
/// the input is too long or cannot be decrypted; nothing is written then. Raises error 75 when
/// reading or writing fails.
bool cipher_command(const CipherOptions& options, bool decrypt, files::Input& in, files::Sink& out,
                    std::string& error);

/// `compress` / `decompress`: writes exactly what EncodeFile / DecodeFile write (standard input
/// is spooled first: compressing reads it twice). Returns false with a message in `error` for an
/// input longer than a container holds or one that does not decompress. Raises error 75 when
/// reading or writing fails.
bool huffman_command(bool decompress, bool progress, files::Input& in, files::Sink& out,
                     std::string& error);

/// The text ciphers' operations by name (ascii2binary, caesar, sabre, smoke-encrypt, ... as
/// classic_operations() lists them), on a UTF-8 text: the result and a line end to out. `key` is
/// the operation's code text, password or key; `number` its shift or depth. Exit code 0, 1 when
/// the operation fails (an empty result for a non-empty text, or an error), 2 for an unknown
/// operation.
int classic_command(const std::string& operation, const std::string& key, int number,
                    const std::string& text, std::ostream& out, std::ostream& err);
/// The operation names classic_command knows, with what each takes.
const std::vector<std::pair<std::string, std::string>>& classic_operations();

/// Morse code of a UTF-8 text, or the text of Morse code: the result and a line end to out.
/// Decoding that stops at an unknown code prints what was decoded and exits 1.
int morse_command(bool decode, const std::string& text, std::ostream& out, std::ostream& err);

}  // namespace ombrak::cli
