// The script host on arbitrary lines: answers or reports a malformed line, never crashes. File
// operations are fuzzed too, confined to a fresh folder for each run: every path a script names
// becomes a name inside it.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "ombrak/frame/files.h"
#include "sandbox.h"
#include "script_host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string folder = ombrak::fuzz::sandbox() + "/run";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    std::ofstream(folder + "/in", std::ios::binary) << "a file for the file operations to read";
    ombrak::files::ConfinedPaths confined(folder);
    std::istringstream in(
        "{\"new\":\"b\",\"progid\":\"Ombrak10.clsKvVeskEncDecBase64A\"}\n"
        "{\"new\":\"t\",\"progid\":\"Ombrak10.clsKvVeskEncDecTeaA\"}\n"
        "{\"recorder\":\"r\",\"write\":5}\n" +
        std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream out;
    ombrak::cli::run_script(in, out);
    return 0;
}
