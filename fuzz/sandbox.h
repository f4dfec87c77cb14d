// A scratch folder for fuzz targets that touch files: in memory where the system has /dev/shm
// (flushing a file there costs nothing), removed when the process ends.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace ombrak::fuzz {

inline const std::string& sandbox() {
    static const std::string folder = [] {
        namespace fs = std::filesystem;
        fs::path base = fs::is_directory("/dev/shm") && ::access("/dev/shm", W_OK) == 0
                            ? fs::path("/dev/shm")
                            : fs::temp_directory_path();
        std::string tmpl = (base / "ombrak10-fuzz-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) std::abort();
        std::atexit([] { std::filesystem::remove_all(sandbox()); });
        return tmpl;
    }();
    return folder;
}

}  // namespace ombrak::fuzz
