// The tool's task subcommands, kept apart from argument parsing so tests can call them.
#pragma once

#include <ostream>
#include <string>

namespace ombrak::cli {

int list_classes(std::ostream& out);
int describe_classes(const std::string& progid, bool json, std::ostream& out, std::ostream& err);
int run_demo(std::ostream& out);

/// Encodes (coreutils layout: LF after every cols characters and after the last line, or the
/// library layout with crlf) or decodes (strict, or the library's lenient rules with crlf).
/// Returns false for input that is not Base64.
bool base64_command(const std::string& in, bool decode, bool crlf, std::size_t cols,
                    std::string& out);

}  // namespace ombrak::cli

namespace ombrak::cli {

struct CipherOptions {
    std::string cipher;  // tea, blowfish or des
    std::string key;     // UTF-8
    bool base64 = false;
    bool progress = false;  // draw a progress bar on stderr
};

/// Encrypts or decrypts `data` in place exactly as EncryptFile / DecryptFile write it. Returns
/// false with a message in `error` when the input cannot be decrypted.
bool cipher_command(const CipherOptions& options, bool decrypt, std::string& data,
                    std::string& error);

}  // namespace ombrak::cli
