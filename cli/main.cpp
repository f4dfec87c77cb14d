// The `ombrak10` command line tool: introspection, Base64, the demo and the script host.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "commands.h"
#include "ombrak/frame/components.h"
#include "ombrak/frame/platform.h"
#include "script_host.h"

namespace {

using namespace ombrak::cli;

// Reads a whole file, or standard input for "-" or an empty name.
bool read_input(const std::string& path, std::string& data) {
    if (path.empty() || path == "-") {
        std::ostringstream s;
        s << std::cin.rdbuf();
        data = s.str();
        return !std::cin.bad();
    }
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    data.assign(std::istreambuf_iterator<char>(f), {});
    return !f.bad();
}

// Writes to standard output, or to a file through a temporary file renamed into place.
bool write_output(const std::string& path, const std::string& data, const std::string& verb) {
    if (path.empty() || path == "-") {
        std::fwrite(data.data(), 1, data.size(), stdout);
        if (std::fflush(stdout) == 0) return true;
    } else if (ombrak::write_file_replacing(
                   path,
                   std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()))) {
        return true;
    }
    std::cerr << "ombrak10: " << verb << ": cannot write '" << (path.empty() ? "-" : path) << "'\n";
    return false;
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
        c->add_option("--cipher", cipher.cipher, "tea, blowfish or des")
            ->required()
            ->check(CLI::IsMember({"tea", "blowfish", "des"}));
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
        std::string data, error;
        if (!read_input(cipher_in, data)) {
            std::cerr << "ombrak10: " << verb << ": cannot read '" << cipher_in << "'\n";
            return 1;
        }
        cipher.progress = isatty(STDERR_FILENO);
        if (!cipher_command(cipher, i == 1, data, error)) {
            std::cerr << "ombrak10: " << verb << ": " << error << "\n";
            return 1;
        }
        return write_output(cipher_out, data, verb) ? 0 : 1;
    }
    if (*base64) {
        std::string data;
        if (!read_input(b64_file, data)) {
            std::cerr << "ombrak10: base64: cannot read '" << b64_file << "'\n";
            return 1;
        }
        std::string out;
        if (!base64_command(data, b64_decode, b64_crlf, static_cast<std::size_t>(b64_cols), out)) {
            std::cerr << "ombrak10: base64: invalid input\n";
            return 1;
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    return 2;
}
