// Whole-file helpers. Output goes through a temporary file renamed into place.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "ombrak/frame/platform.h"
#include "ombrak/frame/text.h"

namespace ombrak {

std::string native_path(const Text& path) {
    return text_to_utf8(path);
}

bool file_length_readable(const std::string& path) noexcept {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<Bytes> read_whole_file(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    Bytes data;
    struct stat st;
    if (::fstat(fd, &st) == 0 && st.st_size > 0) data.reserve(static_cast<std::size_t>(st.st_size));
    unsigned char chunk[65536];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return std::nullopt;
        }
        data.insert(data.end(), chunk, chunk + n);
    }
    ::close(fd);
    return data;
}

bool write_file_replacing(const std::string& path, std::span<const std::uint8_t> data) noexcept {
    try {
        std::string dir = ".";
        if (auto slash = path.rfind('/'); slash != std::string::npos)
            dir = slash == 0 ? "/" : path.substr(0, slash);
        std::string tmpl = dir + "/.ombrak10-XXXXXX";
        int fd = ::mkstemp(tmpl.data());
        if (fd < 0) return false;
        bool ok = true;
        std::size_t done = 0;
        while (ok && done < data.size()) {
            ssize_t n = ::write(fd, data.data() + done, data.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0)
                ok = false;
            else
                done += static_cast<std::size_t>(n);
        }
        // Keep the permissions an ordinary new file would get.
        mode_t mask = ::umask(0);
        ::umask(mask);
        ok = ok && ::fchmod(fd, 0666 & ~mask) == 0;
        ok = ::close(fd) == 0 && ok;
        if (ok && ::rename(tmpl.c_str(), path.c_str()) == 0) return true;
        ::unlink(tmpl.c_str());
        return false;
    } catch (...) {
        return false;
    }
}

}  // namespace ombrak
