// The streaming file layer: pieces in, a temporary file out, renamed into place when complete.
#include "ombrak/frame/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "ombrak/frame/error.h"
#include "ombrak/frame/platform.h"
#include "ombrak/frame/text.h"

namespace ombrak {

namespace {
thread_local const std::string* confined_to = nullptr;
}

std::string native_path(const Text& path) {
    std::string p = text_to_utf8(path);
    if (!confined_to) return p;
    // One name inside the folder: no separator, no "." or "..", nothing empty.
    for (char& c : p)
        if (c == '/' || c == '\0') c = '_';
    if (p.empty() || p == "." || p == "..") p = "_" + p;
    return *confined_to + "/" + p;
}

namespace files {

namespace {

// ---- Injected faults (tests) -------------------------------------------------------------

struct Injected : Faults {
    bool active = false;
};
thread_local Injected faults;

// How much of n bytes an injected budget lets through: false, with errno, once it is spent.
bool within_budget(std::uint64_t budget, std::size_t& n, int err) {
    if (!faults.active) return true;
    if (budget == 0) {
        errno = err;
        return false;
    }
    if (n > budget) n = static_cast<std::size_t>(budget);
    return true;
}

void spend(std::uint64_t& budget, ssize_t done) {
    if (faults.active && done > 0) budget -= static_cast<std::uint64_t>(done);
}

// The system calls, with the injected faults applied.
ssize_t sys_write(int fd, const std::uint8_t* p, std::size_t n) {
    if (!within_budget(faults.write_budget, n, ENOSPC)) return -1;
    ssize_t done = ::write(fd, p, n);
    spend(faults.write_budget, done);
    return done;
}

ssize_t sys_read(int fd, std::uint8_t* p, std::size_t n) {
    if (!within_budget(faults.read_budget, n, EIO)) return -1;
    ssize_t got = ::read(fd, p, n);
    spend(faults.read_budget, got);
    return got;
}

// Writes all of p; 0 on success, else the errno. A write that makes no progress is a full disk.
int write_all(int fd, const std::uint8_t* p, std::size_t n) {
    while (n) {
        ssize_t done = sys_write(fd, p, n);
        if (done < 0 && errno == EINTR) continue;
        if (done < 0) return errno;
        if (done == 0) return ENOSPC;
        p += done;
        n -= static_cast<std::size_t>(done);
    }
    return 0;
}

// A descriptor closed when it goes out of scope.
struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
    int release() {
        int f = fd;
        fd = -1;
        return f;
    }
};

std::string folder_of(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The path a write to `path` lands on: symbolic links followed to their final target, which
// need not exist yet. Empty with errno ELOOP when the links go round.
std::string resolve_links(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::vector<char> buf(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size());
        if (n < 0) return path;  // gone meanwhile: the open that follows tells
        std::string link(buf.data(), static_cast<std::size_t>(n));
        path = link.starts_with('/') ? link : folder_of(path) + "/" + link;
    }
    errno = ELOOP;
    return {};
}

// A name no other file in `folder` has yet, for a temporary file.
std::string unique_name(const std::string& folder) {
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, "%08x%04x", system_random31(), system_random31() & 0xFFFF);
    return folder + "/.ombrak10-" + suffix;
}

// An unnamed file in `folder` (O_TMPFILE): -1 with errno when the file system cannot make one.
int unnamed_file(const std::string& folder, int flags, mode_t mode) {
#ifdef O_TMPFILE
    if (faults.named_temporaries) {
        errno = EOPNOTSUPP;
        return -1;
    }
    // Naming it later goes through /proc/self/fd; without /proc it could never be named.
    if (::access("/proc/self/fd", X_OK) != 0) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return ::open(folder.c_str(), O_TMPFILE | flags | O_CLOEXEC, mode);
#else
    errno = EOPNOTSUPP;
    return -1;
#endif
}

// O_TMPFILE's ways of saying "not on this file system".
bool unnamed_unsupported(int err) {
    return err == EOPNOTSUPP || err == EISDIR || err == EINVAL || err == ENOTSUP;
}

// A new named file in `folder` with a unique name; -1 with errno on failure.
int named_file(const std::string& folder, int flags, mode_t mode, std::string& name) {
    for (int tries = 0; tries < 100; ++tries) {
        name = unique_name(folder);
        int fd = ::open(name.c_str(), flags | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

[[noreturn]] void raise_access(int& slot, int err) {
    if (!slot) slot = err;
    raise_runtime(RuntimeError::FileAccess);
}

}  // namespace

bool file_length_readable(const std::string& path) noexcept {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// ---- Input -------------------------------------------------------------------------------

std::optional<Input> Input::open(const std::string& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.fd < 0) return std::nullopt;
    struct stat st;
    if (::fstat(fd.fd, &st) != 0) return std::nullopt;
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return std::nullopt;
    }
    return Input(fd.release(), true, static_cast<std::uint64_t>(st.st_size), 0);
}

std::optional<Input> Input::open_any(const std::string& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.fd < 0) return std::nullopt;
    struct stat st;
    if (::fstat(fd.fd, &st) != 0) return std::nullopt;
    if (S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return std::nullopt;
    }
    if (S_ISREG(st.st_mode))
        return Input(fd.release(), true, static_cast<std::uint64_t>(st.st_size), 0);
    return Input(fd.release(), true, std::nullopt, 0);
}

Input Input::standard(int fd) {
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        off_t at = ::lseek(fd, 0, SEEK_CUR);
        std::uint64_t start = at > 0 ? static_cast<std::uint64_t>(at) : 0;
        std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
        return Input(fd, false, size > start ? size - start : 0, start);
    }
    return Input(fd, false, std::nullopt, 0);
}

Input::Input(Input&& o) noexcept
    : fd_(o.fd_), owned_(o.owned_), size_(o.size_), start_(o.start_), error_(o.error_) {
    o.fd_ = -1;
    o.owned_ = false;
}

Input& Input::operator=(Input&& o) noexcept {
    if (this != &o) {
        if (owned_ && fd_ >= 0) ::close(fd_);
        fd_ = o.fd_;
        owned_ = o.owned_;
        size_ = o.size_;
        start_ = o.start_;
        error_ = o.error_;
        o.fd_ = -1;
        o.owned_ = false;
    }
    return *this;
}

Input::~Input() {
    if (owned_ && fd_ >= 0) ::close(fd_);
}

std::size_t Input::read(std::uint8_t* p, std::size_t n) {
    std::size_t got = 0;
    while (got < n) {
        ssize_t r = sys_read(fd_, p + got, n - got);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) raise_access(error_, errno);
        if (r == 0) break;
        got += static_cast<std::size_t>(r);
    }
    return got;
}

void Input::rewind() {
    if (!size_) raise_access(error_, ESPIPE);
    if (::lseek(fd_, static_cast<off_t>(start_), SEEK_SET) < 0) raise_access(error_, errno);
}

bool Input::spool(const std::function<bool(std::span<const std::uint8_t>)>& accept) {
    if (size_) return true;
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = tmp && *tmp ? tmp : "/tmp";
    Fd out(unnamed_file(folder, O_RDWR, 0600));
    if (out.fd < 0) {
        if (!unnamed_unsupported(errno)) raise_access(error_, errno);
        std::string name;
        out.fd = named_file(folder, O_RDWR, 0600, name);
        if (out.fd < 0) raise_access(error_, errno);
        ::unlink(name.c_str());  // unnamed from here on: gone when closed
    }
    std::vector<std::uint8_t> piece(kPiece);
    std::uint64_t total = 0;
    for (;;) {
        std::size_t n = read(piece.data(), piece.size());
        std::span<const std::uint8_t> got(piece.data(), n);
        if (accept && !accept(got)) return false;
        if (int err = write_all(out.fd, piece.data(), n)) raise_access(error_, err);
        total += n;
        if (n < piece.size()) break;
    }
    if (::lseek(out.fd, 0, SEEK_SET) < 0) raise_access(error_, errno);
    *this = Input(out.release(), true, total, 0);
    return true;
}

// ---- Sinks -------------------------------------------------------------------------------

void DescriptorSink::write(std::span<const std::uint8_t> data) {
    if (error_) raise_runtime(RuntimeError::FileAccess);
    if (int err = write_all(fd_, data.data(), data.size())) raise_access(error_, err);
}

ReplacingFile::ReplacingFile(const std::string& destination) {
    target_ = resolve_links(destination);
    if (target_.empty()) fail(errno);
    folder_ = folder_of(target_);
    struct stat st;
    if (::stat(target_.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) fail(EISDIR);
        if (!S_ISREG(st.st_mode)) {
            // A device or a pipe cannot be replaced, only written to.
            fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
            if (fd_ < 0) fail(errno);
            direct_ = true;
            return;
        }
    }
    fd_ = unnamed_file(folder_, O_WRONLY, 0666);
    if (fd_ < 0 && unnamed_unsupported(errno)) fd_ = named_file(folder_, O_WRONLY, 0666, named_);
    if (fd_ < 0) fail(errno);
}

ReplacingFile::~ReplacingFile() {
    discard();
}

void ReplacingFile::discard() noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!named_.empty() && !done_) ::unlink(named_.c_str());
    named_.clear();
}

void ReplacingFile::fail(int err) {
    discard();
    errno = err;  // a constructor that fails leaves no object to ask
    raise_access(error_, err);
}

void ReplacingFile::write(std::span<const std::uint8_t> data) {
    if (fd_ < 0) fail(error_ ? error_ : EBADF);
    if (int err = write_all(fd_, data.data(), data.size())) fail(err);
}

void ReplacingFile::commit() {
    if (fd_ < 0 || done_) fail(error_ ? error_ : EBADF);
    if (direct_) {
        done_ = true;
        if (::close(std::exchange(fd_, -1)) != 0) fail(errno);
        return;
    }
    struct stat st;
    if (::stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        // The new version keeps the old one's owner where the process may set it, and its
        // permission bits (after the owner: a change of owner clears set-id bits).
        if (st.st_uid != ::geteuid() || st.st_gid != ::getegid())
            (void)::fchown(fd_, st.st_uid, st.st_gid);
        if (::fchmod(fd_, st.st_mode & 07777) != 0) fail(errno);
    }
    if (::fsync(fd_) != 0) fail(errno);
    if (named_.empty()) {
        // Name the unnamed file: straight at the destination when there is none (one atomic
        // step), else under a temporary name renamed over it.
        std::string self = "/proc/self/fd/" + std::to_string(fd_);
        bool placed = false;
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) == 0)
            placed = true;
        else if (errno != EEXIST)
            fail(errno);
        for (int tries = 0; !placed && tries < 100; ++tries) {
            std::string name = unique_name(folder_);
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) != 0) {
                if (errno == EEXIST) continue;
                fail(errno);
            }
            named_ = name;
            break;
        }
        if (!placed && named_.empty()) fail(EEXIST);
    }
    if (!named_.empty() && ::rename(named_.c_str(), target_.c_str()) != 0) fail(errno);
    done_ = true;
    // The rename is in place; flushing the folder makes it last through a power failure.
    Fd folder(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.fd >= 0) (void)::fsync(folder.fd);
    ::close(std::exchange(fd_, -1));  // the data is on disk already: nothing left to lose
}

ConfinedPaths::ConfinedPaths(std::string folder) : folder_(std::move(folder)) {
    previous_ = confined_to;
    confined_to = &folder_;
}
ConfinedPaths::~ConfinedPaths() {
    confined_to = previous_;
}

FaultScope::FaultScope(Faults f) {
    faults.Faults::operator=(f);
    faults.active = true;
}
FaultScope::~FaultScope() {
    faults = Injected{};
}

}  // namespace files
}  // namespace ombrak
