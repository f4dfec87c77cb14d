// The streaming file layer: replacing a destination (modes, links, devices, failures), inputs
// and spooling, and what is left in the folder afterwards.
#include "ombrak/frame/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <thread>

#include "files_support.h"
#include "ombrak/frame/platform.h"
#include "support.h"

namespace ombrak::files {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::write_file;

mode_t mode_of(const std::string& path) {
    struct stat st;
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

std::set<std::string> names_in(const fs::path& dir) {
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) out.insert(e.path().filename().string());
    return out;
}

void replace(const std::string& path, const std::string& data) {
    ReplacingFile out(path);
    out.write(data);
    out.commit();
}

// Each case runs with unnamed temporary files and again with named ones (as on a file system
// without O_TMPFILE).
class ReplacingFileTest : public ::testing::TestWithParam<bool> {
  protected:
    test::ScratchDir dir;
    Faults faults() const { return Faults{.named_temporaries = GetParam()}; }
};
INSTANTIATE_TEST_SUITE_P(Temporaries, ReplacingFileTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Named" : "Unnamed"; });

TEST_P(ReplacingFileTest, ModesOfNewAndReplacedFiles) {
    FaultScope scope(faults());
    const mode_t umask_before = test::process_umask();
    replace(dir / "new", "fresh");
    EXPECT_EQ(read_file(dir / "new"), "fresh");
    EXPECT_EQ(mode_of(dir / "new"), 0666 & ~umask_before);  // as any new file

    for (mode_t mode : {0600, 0640, 0755, 0400}) {
        const std::string path = dir / ("kept" + std::to_string(mode));
        write_file(path, "old");
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        replace(path, "new");
        EXPECT_EQ(read_file(path), "new");
        EXPECT_EQ(mode_of(path), mode);
    }
    EXPECT_EQ(test::process_umask(), umask_before);
    EXPECT_EQ(names_in(dir.path).size(), 5u);  // no temporary file left
}

TEST_P(ReplacingFileTest, LinksAreFollowedAndStay) {
    FaultScope scope(faults());
    fs::create_directory(dir.path / "real");
    write_file(dir / "real/target", "old");
    ASSERT_EQ(::chmod((dir / "real/target").c_str(), 0600), 0);
    fs::create_symlink("real/target", dir.path / "link");       // relative
    fs::create_symlink(dir.path / "link", dir.path / "link2");  // a link to a link
    replace(dir / "link2", "new");
    EXPECT_TRUE(fs::is_symlink(dir.path / "link"));
    EXPECT_TRUE(fs::is_symlink(dir.path / "link2"));
    EXPECT_EQ(read_file(dir / "real/target"), "new");
    EXPECT_EQ(mode_of(dir / "real/target"), 0600u);
    EXPECT_EQ(names_in(dir.path / "real"), std::set<std::string>{"target"});

    fs::create_symlink("real/missing", dir.path / "dangling");  // the target is made
    replace(dir / "dangling", "made");
    EXPECT_TRUE(fs::is_symlink(dir.path / "dangling"));
    EXPECT_EQ(read_file(dir / "real/missing"), "made");

    fs::create_symlink("loop2", dir.path / "loop1");
    fs::create_symlink("loop1", dir.path / "loop2");
    EXPECT_ERROR(ReplacingFile(dir / "loop1"), 75);
}

TEST_P(ReplacingFileTest, AFailureLeavesTheDestinationAndNoTemporaryFile) {
    const std::string path = dir / "dest";
    write_file(path, "old contents");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const std::string big(200000, 'x');
    for (std::uint64_t budget : {0u, 1u, 4096u, 199999u}) {
        SCOPED_TRACE(budget);
        Faults f = faults();
        f.write_budget = budget;
        FaultScope scope(f);
        try {
            ReplacingFile out(path);
            out.write(big);
            out.commit();
            ADD_FAILURE() << "the write went through";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), 75);
        }
        EXPECT_EQ(read_file(path), "old contents");
        EXPECT_EQ(mode_of(path), 0640u);
        EXPECT_EQ(names_in(dir.path), std::set<std::string>{"dest"});
    }
    {
        // Destroyed without commit: nothing happened.
        FaultScope scope(faults());
        ReplacingFile out(path);
        out.write(big);
    }
    EXPECT_EQ(read_file(path), "old contents");
    EXPECT_EQ(names_in(dir.path), std::set<std::string>{"dest"});
}

TEST(ReplacingFile, ErrorsNameTheirCause) {
    test::ScratchDir dir;
    try {
        ReplacingFile out(dir / "no/such/folder/file");
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 75);
    }
    ReplacingFile probe(dir / "x");
    EXPECT_EQ(probe.error(), 0);
    FaultScope scope(Faults{.write_budget = 0});
    EXPECT_ERROR(probe.write(std::string_view("y")), 75);
    EXPECT_EQ(probe.error(), ENOSPC);
    EXPECT_ERROR(ReplacingFile(dir.path.string()), 75);  // a folder is not replaced
}

TEST(ReplacingFile, DevicesAreWrittenNotReplaced) {
    replace("/dev/null", "discarded");
    struct stat st;
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    DescriptorSink full(::open("/dev/full", O_WRONLY | O_CLOEXEC));
    EXPECT_ERROR(full.write(std::string_view("x")), 75);
    EXPECT_EQ(full.error(), ENOSPC);
}

TEST(Input, ReadsInPiecesAndRewinds) {
    test::ScratchDir dir;
    std::string data(kPiece + 100, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 31);
    write_file(dir / "in", data);
    auto in = Input::open(dir / "in");
    ASSERT_TRUE(in);
    EXPECT_EQ(in->size(), data.size());
    std::string got(data.size() + 10, '\0');
    auto* p = reinterpret_cast<std::uint8_t*>(got.data());
    EXPECT_EQ(in->read(p, kPiece), kPiece);
    EXPECT_EQ(in->read(p + kPiece, 1000), 100u);  // fewer only at the end
    got.resize(data.size());
    EXPECT_EQ(got, data);
    in->rewind();
    EXPECT_EQ(in->read(p, 5), 5u);
    EXPECT_EQ(got.substr(0, 5), data.substr(0, 5));

    EXPECT_FALSE(Input::open(dir / "missing"));
    EXPECT_FALSE(Input::open(dir.path.string()));  // a folder
    EXPECT_EQ(errno, EISDIR);

    FaultScope scope(Faults{.read_budget = 10});
    in->rewind();
    EXPECT_ERROR(in->read(p, 100), 75);
    EXPECT_EQ(in->error(), EIO);
}

TEST(Input, SpoolsAPipeAndStopsWhenTold) {
    auto pipe_of = [](const std::string& data) {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        std::thread([fd = fds[1], data] {
            (void)!::write(fd, data.data(), data.size());
            ::close(fd);
        }).detach();
        return fds[0];
    };
    const std::string data(3 * kPiece / 2, 'p');
    int fd = pipe_of(data);
    Input in = Input::standard(fd);
    EXPECT_FALSE(in.size());
    ASSERT_TRUE(in.spool());
    ::close(fd);
    EXPECT_EQ(in.size(), data.size());
    std::string got(data.size(), '\0');
    EXPECT_EQ(in.read(reinterpret_cast<std::uint8_t*>(got.data()), got.size()), data.size());
    EXPECT_EQ(got, data);

    fd = pipe_of(data);
    Input limited = Input::standard(fd);
    std::uint64_t seen = 0;
    EXPECT_FALSE(limited.spool([&](auto piece) { return (seen += piece.size()) <= kPiece; }));
    EXPECT_EQ(seen, data.size());  // stopped at the second piece, the one over the limit
    ::close(fd);
}

TEST(ConfinedPaths, EveryPathBecomesANameInTheFolder) {
    {
        ConfinedPaths confined("/sandbox");
        EXPECT_EQ(native_path(u"/etc/passwd"), "/sandbox/_etc_passwd");
        EXPECT_EQ(native_path(u"../../x"), "/sandbox/.._.._x");
        EXPECT_EQ(native_path(u".."), "/sandbox/_..");
        EXPECT_EQ(native_path(u""), "/sandbox/_");
        EXPECT_EQ(native_path(Text(u"a\0b", 3)), "/sandbox/a_b");
        std::string elsewhere;
        std::thread([&] { elsewhere = native_path(u"/etc/passwd"); }).join();
        EXPECT_EQ(elsewhere, "/etc/passwd");  // other threads are not confined
    }
    EXPECT_EQ(native_path(u"/etc/passwd"), "/etc/passwd");
}

}  // namespace
}  // namespace ombrak::files
