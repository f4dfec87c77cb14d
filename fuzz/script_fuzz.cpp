// The script host on arbitrary lines: answers or reports a malformed line, never crashes.
#include <cctype>
#include <cstdint>
#include <sstream>
#include <string>

#include "script_host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // File operations would write wherever a mutated path points: leave them out.
    std::string lower(reinterpret_cast<const char*>(data), size);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower.find("file") != std::string::npos) return 0;
    std::istringstream in(
        "{\"new\":\"b\",\"progid\":\"Ombrak10.clsKvVeskEncDecBase64A\"}\n"
        "{\"new\":\"t\",\"progid\":\"Ombrak10.clsKvVeskEncDecTeaA\"}\n"
        "{\"recorder\":\"r\",\"write\":5}\n" +
        std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream out;
    ombrak::cli::run_script(in, out);
    return 0;
}
