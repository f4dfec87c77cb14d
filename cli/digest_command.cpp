// `ombrak10 digest`: digests of files in the checksum-list layout of sha256sum and its kin,
// and the check of such a list. Files are hashed as the bytes they hold.
#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <vector>

#include "commands.h"
#include "ombrak/digests/classes.h"
#include "ombrak/digests/digests.h"
#include "ombrak/frame/error.h"

namespace ombrak::cli {

namespace {

struct Algorithm {
    const char* name;     // as given to --algo
    const char* tag;      // as in a tagged line "SHA256 (name) = digest"
    std::size_t digits;   // hex digits of a digest
    std::string (*file)(files::Input&);
};

// Pieces small enough to stay in the CPU's cache between the read and the digest.
constexpr std::size_t kDigestPiece = 256 * 1024;

template <class Hash>
std::string digest_input(files::Input& in) {
    std::vector<std::uint8_t> piece(
        static_cast<std::size_t>(std::clamp<std::uint64_t>(in.size().value_or(kDigestPiece), 1,
                                                           kDigestPiece)));
    Hash h;
    for (std::size_t n; (n = in.read(piece.data(), piece.size())) > 0;)
        h.update(std::span(piece.data(), n));
    const auto d = h.final();
    return hex_digits(d, false);
}

constexpr Algorithm kAlgorithms[] = {
    {"md5", "MD5", 32, &digest_input<digests::Md5>},
    {"sha1", "SHA1", 40, &digest_input<digests::Sha1>},
    {"sha256", "SHA256", 64, &digest_input<digests::Sha256>},
};

// A name as a list line shows it: backslash, line feed and carriage return escaped, in which
// case the line starts with a backslash.
bool needs_escape(const std::string& name) {
    return name.find_first_of("\\\n\r") != std::string::npos;
}
std::string escaped(const std::string& name) {
    std::string s;
    for (char c : name) {
        if (c == '\\')
            s += "\\\\";
        else if (c == '\n')
            s += "\\n";
        else if (c == '\r')
            s += "\\r";
        else
            s += c;
    }
    return s;
}
bool unescape(std::string_view in, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '\\') {
            out += in[i];
            continue;
        }
        if (++i == in.size()) return false;
        if (in[i] == '\\')
            out += '\\';
        else if (in[i] == 'n')
            out += '\n';
        else if (in[i] == 'r')
            out += '\r';
        else
            return false;
    }
    return true;
}

bool is_hex(std::string_view s) {
    return s.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

// Splits a list line into digest and name: "DIGEST  NAME" or "DIGEST *NAME" (a single space
// also), or the tagged "TAG (NAME) = DIGEST"; a leading backslash marks an escaped name.
bool parse_line(std::string_view line, const Algorithm& algo, std::string& digest,
                std::string& name) {
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    bool escapes = false;
    if (!line.empty() && line.front() == '\\') {
        escapes = true;
        line.remove_prefix(1);
    }
    std::string_view raw_name;
    const std::string_view tag = algo.tag;
    if (line.substr(0, tag.size() + 2) == std::string(tag) + " (") {
        const auto close = line.rfind(") = ");
        if (close == std::string_view::npos || close < tag.size() + 2) return false;
        raw_name = line.substr(tag.size() + 2, close - tag.size() - 2);
        digest = line.substr(close + 4);
    } else {
        if (line.size() < algo.digits + 2) return false;
        digest = line.substr(0, algo.digits);
        const char sep = line[algo.digits];
        if (sep != ' ' && sep != '\t') return false;
        std::size_t at = algo.digits + 1;
        if (line[at] == ' ' || line[at] == '*') ++at;
        raw_name = line.substr(at);
    }
    if (digest.size() != algo.digits || !is_hex(digest) || raw_name.empty()) return false;
    if (escapes) return unescape(raw_name, name);
    name = raw_name;
    return true;
}

// The digest of a file or standard input ("-"); nullopt after saying why on err.
std::optional<std::string> digest_file(const Algorithm& algo, const std::string& name,
                                       std::ostream& err) {
    std::optional<files::Input> in;
    if (name == "-")
        in.emplace(files::Input::standard());
    else
        in = files::Input::open_any(name);
    if (!in) {
        err << "ombrak10: digest: " << name << ": " << std::strerror(errno) << "\n";
        return std::nullopt;
    }
    try {
        return algo.file(*in);
    } catch (const Error&) {
        err << "ombrak10: digest: " << name << ": " << std::strerror(in->error()) << "\n";
        return std::nullopt;
    }
}

std::string plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Checks every line of one list; false when the list itself cannot be read.
struct CheckCounts {
    std::size_t good_lines = 0, bad_lines = 0, unreadable = 0, mismatched = 0;
};
bool check_list(const Algorithm& algo, const DigestOptions& options, const std::string& list,
                std::istream& lines, CheckCounts& counts, std::ostream& out, std::ostream& err) {
    std::string line, digest, name;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.front() == '#') continue;
        if (!parse_line(line, algo, digest, name)) {
            ++counts.bad_lines;
            continue;
        }
        ++counts.good_lines;
        // A check line shows the name as it is unless it holds a line break.
        std::string shown = name;
        if (name.find_first_of("\n\r") != std::string::npos) {
            shown.assign(1, '\\');
            shown.append(escaped(name));
        }
        std::ostringstream why;
        auto actual = digest_file(algo, name, options.status ? why : err);
        if (!actual) {
            ++counts.unreadable;
            if (!options.status) out << shown << ": FAILED open or read\n";
            continue;
        }
        const bool ok = strcasecmp(actual->c_str(), digest.c_str()) == 0;
        if (!ok) ++counts.mismatched;
        if (!options.status && !(ok && options.quiet))
            out << shown << ": " << (ok ? "OK" : "FAILED") << "\n";
    }
    if (lines.bad()) {
        err << "ombrak10: digest: " << list << ": read error\n";
        return false;
    }
    return true;
}

}  // namespace

int digest_command(const DigestOptions& options, const std::vector<std::string>& names,
                   std::ostream& out, std::ostream& err) {
    const Algorithm* algo = nullptr;
    for (const auto& a : kAlgorithms)
        if (options.algo == a.name) algo = &a;
    if (!algo) {
        err << "ombrak10: digest: no algorithm '" << options.algo << "'\n";
        return 2;
    }
    const std::vector<std::string> inputs = names.empty() ? std::vector<std::string>{"-"} : names;
    int status = 0;
    if (!options.check) {
        for (const auto& name : inputs) {
            auto d = digest_file(*algo, name, err);
            if (!d) {
                status = 1;
                continue;
            }
            if (needs_escape(name)) out << '\\';
            out << *d << "  " << escaped(name) << "\n";
        }
    } else {
        for (const auto& list : inputs) {
            CheckCounts counts;
            bool read = true;
            if (list == "-") {
                read = check_list(*algo, options, list, std::cin, counts, out, err);
            } else {
                std::ifstream f(list, std::ios::binary);
                if (!f) {
                    err << "ombrak10: digest: " << list << ": " << std::strerror(errno) << "\n";
                    status = 1;
                    continue;
                }
                read = check_list(*algo, options, list, f, counts, out, err);
            }
            if (!read) status = 1;
            if (counts.good_lines == 0) {
                err << "ombrak10: digest: " << list << ": no properly formatted checksum lines found\n";
                status = 1;
                continue;
            }
            if (!options.status) {
                if (counts.bad_lines)
                    err << "ombrak10: digest: WARNING: "
                        << plural(counts.bad_lines, "line is", "lines are")
                        << " improperly formatted\n";
                if (counts.unreadable)
                    err << "ombrak10: digest: WARNING: "
                        << plural(counts.unreadable, "listed file", "listed files")
                        << " could not be read\n";
                if (counts.mismatched)
                    err << "ombrak10: digest: WARNING: "
                        << plural(counts.mismatched, "computed checksum", "computed checksums")
                        << " did NOT match\n";
            }
            if (counts.unreadable || counts.mismatched || (options.strict && counts.bad_lines))
                status = 1;
        }
    }
    out.flush();
    if (!out) {
        err << "ombrak10: digest: cannot write '-': " << std::strerror(errno) << "\n";
        return 1;
    }
    return status;
}

}  // namespace ombrak::cli
