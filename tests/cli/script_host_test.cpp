// The script host against golden scripts, and the base64 command's layouts.
#include "script_host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "commands.h"
#include "files_support.h"
#include "ombrak/frame/components.h"

namespace ombrak::cli {
namespace {

std::string slurp(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// Each tests/data/scripts/NAME.jsonl is run and compared with NAME.out line by line; a script
// whose name starts with "malformed" must end with exit code 2.
TEST(ScriptHost, GoldenScripts) {
    int scripts = 0;
    for (const auto& entry : std::filesystem::directory_iterator(OMBRAK10_TEST_DATA "/scripts")) {
        if (entry.path().extension() != ".jsonl") continue;
        ++scripts;
        std::string name = entry.path().stem().string();
        SCOPED_TRACE(name);
        std::istringstream in(slurp(entry.path()));
        std::ostringstream out;
        int code = run_script(in, out);
        EXPECT_EQ(code, name.rfind("malformed", 0) == 0 ? 2 : 0);
        std::istringstream got(out.str()),
            want(slurp(entry.path().parent_path() / (name + ".out")));
        std::string g, w;
        for (int line = 1; std::getline(want, w); ++line) {
            ASSERT_TRUE(std::getline(got, g)) << "missing answer " << line;
            EXPECT_EQ(g, w) << "answer " << line;
        }
        EXPECT_FALSE(std::getline(got, g)) << "extra answer: " << g;
        restore_default_classes();
    }
    EXPECT_GE(scripts, 3);
}

TEST(ScriptHost, MalformedLines) {
    const char* bad[] = {
        "not json",
        "[1,2]",
        R"({"jump":1})",
        R"({"call":"b","member":"Encode64","args":[{"text":1}]})",
        R"({"call":"b","member":"Encode64","args":[{"bytes":"abc"}]})",
        R"({"call":"b","member":"Encode64","args":[{"bytes":"zz"}]})",
        R"({"call":"b","member":"Encode64","args":[{"i32":2147483648}]})",
        R"({"call":"b","member":"Encode64","args":[{"i16":1.5}]})",
        R"({"call":"b","member":"Encode64","args":[{"text":"a","bool":true}]})",
        R"({"call":"b","member":"Encode64","kind":"put"})",
        R"({"call":"b","member":"Encode64","args":[{"u16":"d8"}]})",
        R"({"recorder":"r","write":"x"})",
        R"({"random":"sometimes"})",
        R"({"call":"b","member":"Encode64","args":[{"text":"\ud800"}]})",
        "\xba not UTF-8",
        R"({"call":"b","member":"Encode64","args":[{"text":")"
        "\xff\xfe"
        R"("}]})",
    };
    for (const char* line : bad) {
        std::istringstream in(
            std::string(R"({"new":"b","progid":"Ombrak10.clsKvVeskEncDecBase64A"})") + "\n" + line +
            "\n{\"codepage\":1252}\n");
        std::ostringstream out;
        EXPECT_EQ(run_script(in, out), 2) << line;
        std::string text = out.str();
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << line;  // stops at the bad line
        EXPECT_NE(text.find("{\"malformed\":"), std::string::npos) << line;
    }
}

TEST(ScriptHost, TheObjectSlotEndsWithTheScript) {
    // A recorder left in this thread's slot would refer to a script host that is gone.
    const std::string set =
        R"({"new":"root","progid":"Ombrak10.clsKvOmbrak10"})"
        "\n"
        R"({"recorder":"slot"})"
        "\n"
        R"({"call":"root","member":"BuddyObjectGlobal","kind":"set","args":[{"object":"slot"}]})"
        "\n";
    std::istringstream first(set);
    std::ostringstream ignored;
    EXPECT_EQ(run_script(first, ignored), 0);
    std::istringstream second(R"({"new":"root","progid":"Ombrak10.clsKvOmbrak10"})"
                              "\n"
                              R"({"call":"root","member":"BuddyObjectGlobal","kind":"get"})"
                              "\n");
    std::ostringstream out;
    EXPECT_EQ(run_script(second, out), 0);
    EXPECT_NE(out.str().find(R"({"result":{"nothing":true})"), std::string::npos) << out.str();
}

// The command on a string, through the streaming file layer.
bool base64_of(const std::string& in, bool decode, bool crlf, std::size_t cols, std::string& out) {
    test::StringInput input(in);
    test::StringSink sink;
    bool ok = base64_command(input.in, sink, decode, crlf, cols);
    out = sink.data;
    return ok;
}

TEST(Base64Command, Layouts) {
    std::string out;
    std::string data(60, 'x');
    ASSERT_TRUE(base64_of(data, false, false, 76, out));
    EXPECT_EQ(out.size(), 80u + 2);  // 76 + LF + 4 + LF, as coreutils writes it
    EXPECT_EQ(out[76], '\n');
    ASSERT_TRUE(base64_of(data, false, false, 0, out));
    EXPECT_EQ(out.size(), 80u);  // no wrapping: one line and, as coreutils, no line end
    EXPECT_EQ(out.find('\n'), std::string::npos);
    ASSERT_TRUE(base64_of(data, false, true, 0, out));
    EXPECT_EQ(out.substr(76, 2), "\r\n");
    EXPECT_NE(out.back(), '\n');
    std::string back;
    ASSERT_TRUE(base64_of(out, true, false, 0, back));  // CR LF accepted when decoding
    EXPECT_EQ(back, data);
    EXPECT_FALSE(base64_of("TW Fu", true, false, 0, back));
    ASSERT_TRUE(base64_of("TW Fu", true, true, 0, back));  // the library's lenient rules
    EXPECT_EQ(back, std::string("M\x60\x05"));
}

}  // namespace
}  // namespace ombrak::cli
