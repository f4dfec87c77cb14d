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
