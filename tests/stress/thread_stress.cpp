// Eight threads using the library at once, as a threaded host does: their own cipher objects
// with connected events, the per-thread object slot, file operations into one folder, classes
// created by name and round trips that must hold while another thread switches the code page,
// About while a third replaces and restores the about box, and the host event pump set while
// it is called, and the C interface with callback sinks and per-thread errors. Built with
// ThreadSanitizer by `make tsan`; any report fails the run. Exits 1 when a result is wrong,
// printing what it saw.
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <barrier>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>

#include "files_support.h"
#include "ombrak10.h"
#include "ombrak/ciphers/classes.h"
#include "ombrak/encoding/huffman_class.h"
#include "ombrak/frame/components.h"
#include "ombrak/frame/platform.h"
#include "ombrak/frame/root_class.h"
#include "ombrak/frame/text.h"
#include "ombrak/provider/classes.h"

namespace {

using namespace ombrak;
namespace fs = std::filesystem;

constexpr int kThreads = 8;
constexpr int kWorkers = kThreads - 2;  // threads 0 and 1 change shared settings

std::atomic<int> failures{0};
std::atomic<int> active{0}, most_active{0};
std::atomic<bool> done{false};
std::mutex print_mutex;

void fail(const std::string& what) {
    std::lock_guard lock(print_mutex);
    std::fprintf(stderr, "thread_stress: %s\n", what.c_str());
    ++failures;
}

// Counts how many threads are inside their work at once, to show they overlap.
struct Inside {
    Inside() {
        int now = ++active;
        for (int seen = most_active; now > seen && !most_active.compare_exchange_weak(seen, now);) {
        }
    }
    ~Inside() { --active; }
};

std::string read_file(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

mode_t mode_of(const fs::path& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Switches the process-wide code page back and forth; every operation pins the page it starts
// with, so round trips on other threads must hold.
void switch_code_pages() {
    const int pages[] = {1252, 1251, 1250, 1253, 874};
    for (int i = 0; !done; ++i) {
        set_code_page(pages[i % 5]);
        std::this_thread::yield();
    }
    set_code_page(1252);
}

// Replaces the about box with a host object and puts the default back, and installs and
// removes the host event pump, while the workers call About and pump events.
void replace_components() {
    std::atomic<int> pumped{0};
    for (int i = 0; !done; ++i) {
        if (i % 2)
            register_class(kAboutBoxProgId, [] {
                return make_host_object([](auto, auto, auto) { return Variant(); });
            });
        else
            restore_default_classes();
        if (i % 3 == 0) unregister_class(kAboutBoxProgId);  // About reports the failure
        set_event_pump(i % 2 ? std::function<void()>([&] { ++pumped; }) : nullptr);
        std::this_thread::yield();
    }
    set_event_pump(nullptr);
    restore_default_classes();
}

template <class C>
void round_trips(int id, int round) {
    C cipher;
    std::atomic<int> events{0};
    cipher.connect(make_host_object([&](auto, auto, std::span<ArgRef>) {
        ++events;
        return Variant();
    }));
    // ASCII text in Base64: what travels is the same in every code page, so the round trip holds
    // whenever each operation keeps one code page from start to end.
    const Text plain = utf8_to_text("thread " + std::to_string(id) + " round " +
                                    std::to_string(round) + std::string(200, 'x'));
    Text text = plain, key = u"stress key";
    bool b64 = true;
    Text sealed = cipher.EncryptString(text, key, b64);
    Text k2 = u"stress key";
    Text back = cipher.DecryptString(sealed, k2, b64);
    if (back != plain)
        fail("round trip broken on thread " + std::to_string(id) + " (" + C::info().name + ")");
    if (events < 4) fail("events missing on thread " + std::to_string(id));
}

void huffman_round_trip(int id, int round) {
    clsKvVeskEncDecHuffmanA h;
    std::atomic<int> events{0};
    h.connect(make_host_object([&](auto, auto, std::span<ArgRef>) {
        ++events;
        return Variant();
    }));
    Bytes data(30000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>((i * i + static_cast<std::size_t>(id + round)) % 23);
    Bytes b = data;
    auto n = static_cast<std::int32_t>(b.size());
    h.EncodeByte(b, n);
    n = static_cast<std::int32_t>(b.size());
    h.DecodeByte(b, n);
    if (b != data) fail("Huffman round trip broken on thread " + std::to_string(id));
    if (events < 6) fail("Huffman events missing on thread " + std::to_string(id));
}

// Password encryption: every call opens and releases provider handles in the shared table.
void provider_round_trip(int id, int round) {
    clsKvVeskEncDecA c;
    clsKvVeskEncDecGlimA g;
    const Text plain = utf8_to_text("provider " + std::to_string(id) + "/" + std::to_string(round));
    std::int32_t enc = 0, dec = 1, reserved = 0, method = (id + round) % 25, hex = 1;
    Text text = plain, pw = u"pw";
    Text sealed = c.StringCryptography(enc, text, pw, reserved, method, hex);
    Text back = c.StringCryptography(dec, sealed, pw, reserved, method, hex);
    if (back != plain) fail("provider round trip broken on thread " + std::to_string(id));
    if (g.Decrypt(g.Encrypt(plain, u"k", true, round % 2), u"k", true, round % 2) != plain)
        fail("Glim round trip broken on thread " + std::to_string(id));
}

// The C interface: a host-object sink by callback, and this thread's last error, which another
// thread's failures must not touch.
int count_events(void* user, const char*, std::int32_t, ombrak10_arg*, std::size_t,
                 ombrak10_variant*) {
    ++*static_cast<int*>(user);
    return OMBRAK10_OK;
}

void c_interface_round(int id, int round) {
    ombrak10_object *h = nullptr, *sink = nullptr;
    int events = 0;
    if (ombrak10_create("Ombrak10.clsKvVeskEncDecHuffmanA", &h) != OMBRAK10_OK ||
        ombrak10_host_object(count_events, &events, nullptr, &sink) != OMBRAK10_OK ||
        ombrak10_connect(h, sink) != OMBRAK10_OK)
        fail("C interface setup on thread " + std::to_string(id));
    const std::string plain = "C " + std::to_string(id) + "/" + std::to_string(round) + " abc";
    ombrak10_arg a[2] = {};
    ombrak10_set_bytes(&a[0].value, reinterpret_cast<const std::uint8_t*>(plain.data()),
                       plain.size());
    ombrak10_set_i32(&a[1].value, static_cast<std::int32_t>(plain.size()));
    a[0].by_ref = 1;
    if (ombrak10_invoke(h, "EncodeByte", OMBRAK10_METHOD, a, 2, nullptr) != OMBRAK10_OK)
        fail("C interface EncodeByte on thread " + std::to_string(id));
    ombrak10_set_i32(&a[1].value, static_cast<std::int32_t>(a[0].value.as.bytes.length));
    if (ombrak10_invoke(h, "DecodeByte", OMBRAK10_METHOD, a, 2, nullptr) != OMBRAK10_OK ||
        std::string(reinterpret_cast<const char*>(a[0].value.as.bytes.data),
                    a[0].value.as.bytes.length) != plain || events < 4)
        fail("C interface round trip on thread " + std::to_string(id));
    ombrak10_object* none = nullptr;
    if (ombrak10_create("Ombrak10.Missing", &none) == OMBRAK10_OK ||
        ombrak10_error_number() != 429 || none)
        fail("C interface last error on thread " + std::to_string(id));
    ombrak10_clear(&a[0].value);
    ombrak10_release(sink);
    ombrak10_release(h);
}

void worker(int id, const fs::path& folder, const std::string& plain) {
    clsKvOmbrak10 root;
    ObjectRef mine = make_host_object([](auto, auto, auto) { return Variant(); });
    root.BuddyObjectGlobal(mine);
    const mode_t fresh_mode = 0666 & ~test::process_umask();
    for (int round = 0; round < 40; ++round) {
        Inside inside;
        round_trips<clsKvVeskEncDecTeaA>(id, round);
        round_trips<clsKvVeskEncDecBlowFishA>(id, round);
        round_trips<clsKvVeskEncDecDesA>(id, round);
        huffman_round_trip(id, round);
        provider_round_trip(id, round);
        c_interface_round(id, round);
        if (root.BuddyObjectGlobal() != mine) fail("another thread's object in this slot");
        if (root.About() != 0) fail("About returned other than 0");
        ObjectRef made = create_object("Ombrak10.clsKvVeskEncDecDesA");
        if (!made) fail("create_object gave nothing");
        pump_events();

        // Files into the shared folder: a new file, a kept 0600 one, and one destination that
        // every thread replaces.
        clsKvVeskEncDecDesA des;
        const std::string tag = std::to_string(id) + "-" + std::to_string(round);
        Text in = utf8_to_text((folder / "plain").string());
        Text fresh = utf8_to_text((folder / ("new-" + tag)).string());
        Text kept = utf8_to_text((folder / ("kept-" + tag)).string());
        Text shared = utf8_to_text((folder / "shared").string());
        { std::ofstream(text_to_utf8(kept)) << "old"; }
        ::chmod(text_to_utf8(kept).c_str(), 0600);
        bool yes = true, no = false;
        for (Text* out : {&fresh, &kept, &shared}) {
            Text i = in, o = *out, k = u"file key";
            if (!des.EncryptFile(i, o, yes, k, no))
                fail("EncryptFile failed: " + text_to_utf8(*out));
        }
        if (mode_of(text_to_utf8(fresh)) != fresh_mode) fail("new file mode on thread " + tag);
        if (mode_of(text_to_utf8(kept)) != 0600) fail("kept mode lost on thread " + tag);
        Text back = utf8_to_text((folder / ("back-" + tag)).string()), k = u"file key", o = kept;
        if (!des.DecryptFile(o, back, yes, k, no) || read_file(text_to_utf8(back)) != plain)
            fail("file round trip on thread " + tag);
    }
    ObjectRef none;
    root.BuddyObjectGlobal(none);
}

}  // namespace

int main() {
    const mode_t umask_before = test::process_umask();
    const fs::path folder =
        fs::temp_directory_path() / ("ombrak10-stress-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string plain(20000, 'p');
    { std::ofstream(folder / "plain", std::ios::binary) << plain; }

    std::barrier start(kThreads);
    std::thread code_pages([&] {
        start.arrive_and_wait();
        switch_code_pages();
    });
    std::thread components([&] {
        start.arrive_and_wait();
        replace_components();
    });
    std::thread workers[kWorkers];
    for (int id = 0; id < kWorkers; ++id)
        workers[id] = std::thread([&, id] {
            start.arrive_and_wait();
            worker(id, folder, plain);
        });
    for (auto& t : workers) t.join();
    done = true;
    code_pages.join();
    components.join();

    // The shared destination is one whole version; nothing else is left in the folder.
    clsKvVeskEncDecDesA des;
    Text shared = utf8_to_text((folder / "shared").string()),
         back = utf8_to_text((folder / "back-shared").string()), k = u"file key";
    bool yes = true, no = false;
    if (!des.DecryptFile(shared, back, yes, k, no) || read_file(folder / "back-shared") != plain)
        fail("the shared destination is not one whole version");
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().rfind(".ombrak10", 0) == 0)
            fail("temporary file left: " + e.path().string());
    if (test::process_umask() != umask_before) fail("the process umask changed");
    if (provider::open_handles() != 0) fail("provider handles left open");
    take_reports();
    fs::remove_all(folder);

    std::printf("thread_stress: %d threads, at most %d working at once, %d failures\n", kThreads,
                most_active.load(), failures.load());
    if (most_active < 2) {
        std::fprintf(stderr, "thread_stress: the workers never overlapped\n");
        return 1;
    }
    return failures ? 1 : 0;
}
