// The `ombrak10` command line tool: introspection, ciphers, digests, Base64, Huffman
// compression, the text ciphers and Morse code, the demo and the script host.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <optional>
#include <set>

#include "commands.h"
#include "ombrak/frame/components.h"
#include "ombrak/frame/error.h"
#include "ombrak/frame/files.h"
#include "script_host.h"

namespace {

using namespace ombrak::cli;
namespace files = ombrak::files;

bool standard(const std::string& path) {
    return path.empty() || path == "-";
}

// A file (a named pipe or a device is read as a stream), or standard input for "-" or an
// empty name; nullopt (with a message) when it cannot be opened.
std::optional<files::Input> open_input(const std::string& path, const std::string& verb) {
    if (standard(path)) return files::Input::standard();
    auto in = files::Input::open_any(path);
    if (!in)
        std::cerr << "ombrak10: " << verb << ": cannot read '" << path
                  << "': " << std::strerror(errno) << "\n";
    return in;
}

// Runs a streaming command from `in_path` to `out_path` (standard output for "-" or an empty
// name; a file is replaced only when the command succeeds). `command` returns false with a
// message for a failure of its own; a read or write failure is named by its cause. Exit code.
int stream(const std::string& verb, const std::string& in_path, const std::string& out_path,
           const std::function<bool(files::Input&, files::Sink&, std::string&)>& command) {
    auto in = open_input(in_path, verb);
    if (!in) return 1;
    std::string error;
    std::optional<files::DescriptorSink> console;
    std::optional<files::ReplacingFile> file;
    files::Sink* out = nullptr;
    try {
        if (standard(out_path))
            out = &console.emplace(STDOUT_FILENO);
        else
            out = &file.emplace(out_path);
        if (!command(*in, *out, error)) {
            std::cerr << "ombrak10: " << verb << ": " << error << "\n";
            return 1;
        }
        if (file) file->commit();
        return 0;
    } catch (const ombrak::Error& e) {
        if (out && out->error())
            error = "cannot write '" + (standard(out_path) ? std::string("-") : out_path) +
                    "': " + std::strerror(out->error());
        else if (in->error())
            error = "cannot read '" + (standard(in_path) ? std::string("-") : in_path) +
                    "': " + std::strerror(in->error());
        else if (!out)
            error = "cannot write '" + out_path + "': " + std::strerror(errno);
        else
            error = e.description();
        std::cerr << "ombrak10: " << verb << ": " << error << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "ombrak10: " << verb << ": " << e.what() << "\n";
        return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"ombrak10: ciphers, message digests and encodings"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "ombrak10 1.0.139");

    auto* classes = app.add_subcommand("classes", "List the classes by programmatic name");

    std::string progid;
    bool describe_json = false;
    auto* describe =
        app.add_subcommand("describe", "Show a class's members (all classes without PROGID)");
    describe->add_option("PROGID", progid, "Programmatic name or class name");
    describe->add_flag("--json", describe_json, "Print the type description as JSON");

    bool b64_decode = false, b64_crlf = false;
    int b64_cols = 76;
    std::string b64_file = "-";
    auto* base64 = app.add_subcommand("base64", "Base64 encode or decode FILE (or standard input)");
    base64->add_flag("-d,--decode", b64_decode, "Decode");
    base64
        ->add_option("-w,--wrap", b64_cols, "Wrap encoded lines after COLS characters (0: no wrap)")
        ->check(CLI::NonNegativeNumber);
    base64->add_flag("--crlf", b64_crlf,
                     "The library's own form: lines of 76 characters with CR LF; decoding by its "
                     "lenient rules");
    base64->add_option("FILE", b64_file, "Input file, - for standard input");

    CipherOptions cipher;
    std::string key_file, key_env, cipher_in = "-", cipher_out;
    CLI::App* cipher_commands[2];
    const char* verbs[2] = {"encrypt", "decrypt"};
    for (int i = 0; i < 2; ++i) {
        auto* c = app.add_subcommand(verbs[i],
                                     std::string(i ? "Decrypt" : "Encrypt") +
                                         " a file (or standard input) with the library's envelope");
        c->add_option("--cipher", cipher.cipher,
                      "tea, blowfish, des, gost or twofish (the envelope), rc4 (as long as the "
                      "data), serpent (the data zero-padded to 16-byte blocks, each on its own), "
                      "provider[:N] (password encryption, method N = 0..24, 21 by default), "
                      "glim:block or glim:stream (MD5 of the key, RC2 or RC4)")
            ->required()
            ->check(CLI::Validator(
                [](std::string& v) -> std::string {
                    static const std::set<std::string> names = {
                        "tea", "blowfish", "des",      "gost",       "twofish",
                        "rc4", "serpent",  "provider", "glim:block", "glim:stream"};
                    if (names.count(v)) return {};
                    if (v.rfind("provider:", 0) == 0 && v.size() > 9 && v.size() <= 11 &&
                        v.find_first_not_of("0123456789", 9) == std::string::npos &&
                        std::stoi(v.substr(9)) <= 24)
                        return {};
                    return "unknown cipher '" + v + "'";
                },
                "CIPHER"));
        c->add_option("--min-key-length", cipher.min_key_length,
                      "Twofish: at least this many key bits (64, 128, 196 or 256; shorter keys "
                      "are zero-extended)");
        auto* k = c->add_option("--key", cipher.key, "The key text");
        auto* kf =
            c->add_option("--key-file", key_file, "Read the key from the first line of a file");
        auto* ke = c->add_option("--key-env", key_env, "Read the key from an environment variable");
        k->excludes(kf)->excludes(ke);
        kf->excludes(ke);
        c->add_flag(
            "--base64", cipher.base64,
            i ? "The input is Base64 text" : "Write Base64 text (76-character lines, CR LF)");
        c->add_option("-o,--output", cipher_out, "Output file (default: standard output)");
        c->add_option("IN", cipher_in, "Input file, - for standard input");
        cipher_commands[i] = c;
    }

    std::string huffman_in = "-", huffman_out;
    CLI::App* huffman_commands[2];
    const char* huffman_verbs[2] = {"compress", "decompress"};
    for (int i = 0; i < 2; ++i) {
        auto* c = app.add_subcommand(
            huffman_verbs[i], i ? "Decompress an HE3 or HE0 container (a file or standard input)"
                                : "Compress a file (or standard input) into an HE3 container "
                                  "with a static Huffman code");
        c->add_option("-o,--output", huffman_out, "Output file (default: standard output)");
        c->add_option("IN", huffman_in, "Input file, - for standard input");
        huffman_commands[i] = c;
    }

    std::string classic_operation, classic_key, classic_text = "-";
    int classic_number = 0;
    std::string operation_help = "One of:";
    for (const auto& [name, help] : classic_operations())
        operation_help += "\n  " + name + ": " + help;
    auto* classic =
        app.add_subcommand("classic", "Classic and keyed text ciphers on TEXT (or standard input)");
    classic->add_option("OPERATION", classic_operation, operation_help)->required();
    classic->add_option("TEXT", classic_text, "The text, - for standard input");
    classic->add_option("-k,--key", classic_key, "Code text, password or key");
    classic->add_option("-n,--number", classic_number, "Shift or depth");

    bool morse_decode = false;
    std::string morse_direction, morse_text = "-";
    auto* morse = app.add_subcommand("morse", "Morse code of TEXT (or standard input), or back");
    morse->add_option("DIRECTION", morse_direction, "encode or decode")
        ->required()
        ->check(CLI::IsMember({"encode", "decode"}));
    morse->add_option("TEXT", morse_text, "The text, - for standard input");

    DigestOptions digest_options;
    std::vector<std::string> digest_files;
    auto* digest = app.add_subcommand(
        "digest", "Print or check MD5, SHA-1 or SHA-256 digests of files (sha256sum's layout)");
    digest->add_option("-a,--algo", digest_options.algo, "md5, sha1 or sha256 (default)")
        ->check(CLI::IsMember({"md5", "sha1", "sha256"}));
    digest->add_flag("-c,--check", digest_options.check,
                     "Read digests from the FILEs and check them");
    digest->add_flag("--quiet", digest_options.quiet, "Check: print nothing for a file that is OK");
    digest->add_flag("--status", digest_options.status,
                     "Check: print nothing; the exit code tells");
    digest->add_flag("--strict", digest_options.strict,
                     "Check: fail for improperly formatted lines");
    digest->add_option("FILE", digest_files, "Files, - for standard input");

    auto* demo = app.add_subcommand("demo", "A short tour through the dynamic interface");

    std::string script = "-";
    auto* run = app.add_subcommand("run", "Run a JSON-lines script (the script host)");
    run->add_option("FILE", script, "Script file, - for standard input");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "ombrak10: " << e.what() << "\n";
        return 2;
    }

    // What the library hands its error reporter reaches the user as a warning.
    ombrak::set_report_handler([](const ombrak::Report& r) {
        std::cerr << "ombrak10: warning: " << r.place << ": error " << r.number << " (" << r.source
                  << "): " << r.description << "\n";
    });

    if (*classes) return list_classes(std::cout);
    if (*describe) return describe_classes(progid, describe_json, std::cout, std::cerr);
    if (*demo) return run_demo(std::cout);
    if (*digest) return digest_command(digest_options, digest_files, std::cout, std::cerr);
    // A text from standard input loses one final line end (as a shell argument has none).
    auto text_of = [](const std::string& arg) {
        if (arg != "-") return arg;
        std::string all{std::istreambuf_iterator<char>(std::cin), {}};
        if (!all.empty() && all.back() == '\n') all.pop_back();
        return all;
    };
    if (*classic)
        return classic_command(classic_operation, classic_key, classic_number,
                               text_of(classic_text), std::cout, std::cerr);
    if (*morse) {
        morse_decode = morse_direction == "decode";
        return morse_command(morse_decode, text_of(morse_text), std::cout, std::cerr);
    }
    if (*run) {
        if (script == "-") return run_script(std::cin, std::cout);
        std::ifstream f(script);
        if (!f) {
            std::cerr << "ombrak10: run: cannot read '" << script << "'\n";
            return 1;
        }
        return run_script(f, std::cout);
    }
    for (int i = 0; i < 2; ++i) {
        if (!*cipher_commands[i]) continue;
        const std::string verb = verbs[i];
        if (cipher.key.empty() && key_file.empty() && key_env.empty()) {
            std::cerr << "ombrak10: " << verb
                      << ": give a key with --key, --key-file or --key-env\n";
            return 2;
        }
        if (!key_file.empty()) {
            std::ifstream f(key_file, std::ios::binary);
            if (!f) {
                std::cerr << "ombrak10: " << verb << ": cannot read key file '" << key_file
                          << "'\n";
                return 1;
            }
            std::getline(f, cipher.key);  // the first line, without its line end
            if (!cipher.key.empty() && cipher.key.back() == '\r') cipher.key.pop_back();
        }
        if (!key_env.empty()) {
            const char* v = std::getenv(key_env.c_str());
            if (!v) {
                std::cerr << "ombrak10: " << verb << ": environment variable " << key_env
                          << " is not set\n";
                return 1;
            }
            cipher.key = v;
        }
        cipher.progress = isatty(STDERR_FILENO);
        return stream(verb, cipher_in, cipher_out,
                      [&](files::Input& in, files::Sink& out, std::string& error) {
                          return cipher_command(cipher, i == 1, in, out, error);
                      });
    }
    for (int i = 0; i < 2; ++i) {
        if (!*huffman_commands[i]) continue;
        const bool progress = isatty(STDERR_FILENO);
        return stream(huffman_verbs[i], huffman_in, huffman_out,
                      [&](files::Input& in, files::Sink& out, std::string& error) {
                          return huffman_command(i == 1, progress, in, out, error);
                      });
    }
    if (*base64) {
        return stream("base64", b64_file, "-",
                      [&](files::Input& in, files::Sink& out, std::string& error) {
                          error = "invalid input";
                          return base64_command(in, out, b64_decode, b64_crlf,
                                                static_cast<std::size_t>(b64_cols));
                      });
    }
    return 2;
}
