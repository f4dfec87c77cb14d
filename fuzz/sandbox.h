// A scratch folder for fuzz targets that touch files: in memory where the system has /dev/shm
// (flushing a file there costs nothing), removed when the process ends.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace ombrak::fuzz {

inline const std::string& sandbox() {
    // Never destroyed: the exit handler that removes the folder runs after static destructors
    // of objects made later, and must still find the name.
    static const std::string* folder = [] {
        namespace fs = std::filesystem;
        fs::path base = fs::is_directory("/dev/shm") && ::access("/dev/shm", W_OK) == 0
                            ? fs::path("/dev/shm")
                            : fs::temp_directory_path();
        auto* name = new std::string((base / "ombrak10-fuzz-XXXXXX").string());
        if (!::mkdtemp(name->data())) std::abort();
        std::atexit([] { std::filesystem::remove_all(sandbox()); });
        return name;
    }();
    return *folder;
}

}  // namespace ombrak::fuzz
