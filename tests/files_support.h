// Test helpers for the file layer: a scratch folder, whole-file reads and writes, inputs made
// from strings and a sink that collects what is written.
#pragma once

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "ombrak/frame/files.h"

namespace ombrak::test {

/// The process umask, read without setting it (setting it to read it is what threads must not
/// do).
inline mode_t process_umask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    return 0777;  // no such line: a value no test expects
}

/// A folder of its own for one test, removed with everything in it at the end.
struct ScratchDir {
    std::filesystem::path path;
    ScratchDir() {
        std::string name = "ombrak10-test-XXXXXX";
        std::string tmpl = (std::filesystem::temp_directory_path() / name).string();
        path = ::mkdtemp(tmpl.data());
    }
    ~ScratchDir() { std::filesystem::remove_all(path); }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

inline void write_file(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

inline std::string read_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

/// An input holding the bytes of a string, of known size (an in-memory file).
struct StringInput {
    int fd;
    files::Input in;
    explicit StringInput(const std::string& data)
        : fd(::memfd_create("ombrak10-test", 0)), in(prepare(fd, data)) {}
    ~StringInput() { ::close(fd); }
    static files::Input prepare(int fd, const std::string& data) {
        if (!data.empty() &&
            ::write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size()))
            throw std::runtime_error("memfd write");
        ::lseek(fd, 0, SEEK_SET);
        return files::Input::standard(fd);
    }
};

/// Collects what is written.
struct StringSink final : files::Sink {
    std::string data;
    using files::Sink::write;
    void write(std::span<const std::uint8_t> d) override { data.append(d.begin(), d.end()); }
    int error() const noexcept override { return 0; }
};

}  // namespace ombrak::test
