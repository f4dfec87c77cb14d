// The one file layer every file operation and the tool stream through: inputs read in
// fixed-size pieces, outputs written to a temporary file in the destination's folder that
// replaces the destination only when it is complete and on disk.
//
// Failures raise run-time error 75 (Path/File access error); the object that failed keeps the
// operating system's error number in error(), so a front end can name the cause.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace ombrak::files {

/// The size of the pieces file operations stream through. A multiple of 57 (one line of Base64)
/// and of 16 (every cipher block), so a piece is always whole blocks and whole lines.
inline constexpr std::size_t kPiece = 57 * 16 * 1024;

/// True when the length of the file at path can be read (a regular file, links followed).
bool file_length_readable(const std::string& path) noexcept;

/// A file read from start to end in pieces.
class Input {
  public:
    /// Opens a regular file; nullopt (with errno set) when it cannot be opened or is not one.
    static std::optional<Input> open(const std::string& path);
    /// Opens any readable file but a folder: a regular file as open() does, anything else (a
    /// named pipe, a device, /dev/stdin) as a stream of unknown size, as standard() does.
    static std::optional<Input> open_any(const std::string& path);
    /// Standard input (or any descriptor, not taken over): read from where it stands. Its size
    /// is known only when it is a regular file.
    static Input standard(int fd = 0);

    Input(Input&& other) noexcept;
    Input& operator=(Input&& other) noexcept;
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;
    ~Input();

    /// The number of bytes from the starting point to the end, when known.
    std::optional<std::uint64_t> size() const { return size_; }
    /// Reads n bytes, fewer only at the end of the input. Raises error 75 on a read failure.
    std::size_t read(std::uint8_t* p, std::size_t n);
    /// Back to the starting point. Only for inputs of known size; raises error 75 otherwise.
    void rewind();
    /// The errno of the first failure, 0 if none.
    int error() const noexcept { return error_; }

    /// Makes the size known: a stream of unknown size (a pipe, a terminal) is copied to an
    /// unnamed temporary file, which this input then reads. `accept` sees every piece before it
    /// is kept and stops the copy by returning false, which returns false. Raises error 75 when
    /// reading or writing fails.
    bool spool(const std::function<bool(std::span<const std::uint8_t>)>& accept = nullptr);

  private:
    Input(int fd, bool owned, std::optional<std::uint64_t> size, std::uint64_t start)
        : fd_(fd), owned_(owned), size_(size), start_(start) {}
    int fd_ = -1;
    bool owned_ = false;
    std::optional<std::uint64_t> size_;
    std::uint64_t start_ = 0;
    int error_ = 0;
};

/// Where a streaming operation writes.
class Sink {
  public:
    virtual ~Sink() = default;
    /// Writes all of data. Raises error 75 on failure (a full disk, a closed pipe).
    virtual void write(std::span<const std::uint8_t> data) = 0;
    void write(std::string_view s) {
        write(std::span(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()));
    }
    /// The errno of the first failure, 0 if none.
    virtual int error() const noexcept = 0;
};

/// Writes to a descriptor it does not own (standard output) as the data comes.
class DescriptorSink final : public Sink {
  public:
    explicit DescriptorSink(int fd) : fd_(fd) {}
    using Sink::write;
    void write(std::span<const std::uint8_t> data) override;
    int error() const noexcept override { return error_; }

  private:
    int fd_;
    int error_ = 0;
};

/// A new version of a file. It is written to a temporary file in the destination's folder
/// (unnamed where the file system allows, so a killed process leaves nothing behind) and
/// commit() puts it in place: flushed to disk, renamed over the destination, the folder
/// flushed. An existing destination keeps its permission bits; a new one gets the mode any new
/// file gets (the umask applies; the process umask is never changed). A destination that is a
/// symbolic link has the file it points to replaced. Until commit() succeeds the destination is
/// untouched, and an output destroyed without commit leaves no file behind. A destination that
/// exists and is not a regular file or folder (a device, a pipe) is written directly.
class ReplacingFile final : public Sink {
  public:
    /// Raises error 75 when the temporary file cannot be made (no such folder, no permission,
    /// the destination is a folder).
    explicit ReplacingFile(const std::string& destination);
    ~ReplacingFile() override;
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    using Sink::write;
    void write(std::span<const std::uint8_t> data) override;
    /// Puts the written data in place; raises error 75 (the destination untouched) on failure.
    void commit();
    int error() const noexcept override { return error_; }

  private:
    [[noreturn]] void fail(int err);
    void discard() noexcept;
    std::string target_;  // the destination with its links resolved
    std::string folder_;
    std::string named_;  // the temporary file's name when it has one
    int fd_ = -1;
    bool direct_ = false;  // writing straight into a device or pipe
    bool done_ = false;
    int error_ = 0;
};

/// Confines the host paths of this thread's file operations to one folder while the scope lives:
/// each path becomes a single name inside the folder (separators become "_"), so nothing outside
/// it is read or written. For fuzzing and for hosts that run untrusted scripts.
class ConfinedPaths {
  public:
    explicit ConfinedPaths(std::string folder);
    ~ConfinedPaths();
    ConfinedPaths(const ConfinedPaths&) = delete;
    ConfinedPaths& operator=(const ConfinedPaths&) = delete;

  private:
    std::string folder_;
    const std::string* previous_;
};

/// Makes this thread's file operations behave as on a full disk, a failing drive or a file
/// system without unnamed files, for as long as the scope lives. For tests of the failure paths.
struct Faults {
    std::uint64_t write_budget = UINT64_MAX;  // writes fail with ENOSPC after this many bytes
    std::uint64_t read_budget = UINT64_MAX;   // reads fail with EIO after this many bytes
    bool named_temporaries = false;           // temporary files get names, as without O_TMPFILE
};
class FaultScope {
  public:
    explicit FaultScope(Faults faults);
    ~FaultScope();
    FaultScope(const FaultScope&) = delete;
    FaultScope& operator=(const FaultScope&) = delete;
};

}  // namespace ombrak::files
