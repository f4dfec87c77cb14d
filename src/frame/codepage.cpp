// The ANSI conversion through a process-wide Windows single-byte code page.
#include <array>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "frame/codepage_tables.h"
#include "ombrak/frame/text.h"

namespace ombrak {

namespace {

struct CodePage {
    int id = 0;
    std::array<char16_t, 256> to_unicode{};
    // Unicode code unit to byte, for every unit: "?" for those not in the code page.
    std::unique_ptr<std::array<std::uint8_t, 65536>> from_unicode;
};

const CodePage* build(int cp) {
    for (std::size_t i = 0; i < frame::kCodePageCount; ++i) {
        if (frame::kCodePages[i].code_page != cp) continue;
        auto* page = new CodePage;
        page->id = cp;
        page->from_unicode = std::make_unique<std::array<std::uint8_t, 65536>>();
        page->from_unicode->fill('?');
        for (int b = 0; b < 256; ++b) {
            char16_t u = b < 0x80 ? static_cast<char16_t>(b) : frame::kCodePages[i].upper[b - 0x80];
            page->to_unicode[b] = u;
            (*page->from_unicode)[u] = static_cast<std::uint8_t>(b);
        }
        return page;
    }
    return nullptr;
}

// Tables are built on first use and kept for the life of the process.
const CodePage* page_for(int cp) {
    static std::mutex mutex;
    static std::array<const CodePage*, 10> built{};
    static std::array<int, 10> ids{};
    std::lock_guard lock(mutex);
    for (std::size_t i = 0; i < built.size(); ++i) {
        if (built[i] && ids[i] == cp) return built[i];
        if (!built[i]) {
            built[i] = build(cp);
            ids[i] = cp;
            return built[i];
        }
    }
    return nullptr;
}

int initial_code_page() {
    if (const char* env = std::getenv("OMBRAK10_CODEPAGE")) {
        int cp = std::atoi(env);
        if (code_page_supported(cp)) return cp;
    }
    return 1252;
}

// The page in force: one pointer, so its tables and its number always go together.
std::atomic<const CodePage*>& active_page() {
    static std::atomic<const CodePage*> page{page_for(initial_code_page())};
    return page;
}

// The page this thread's operation pinned, if one runs.
thread_local const CodePage* pinned = nullptr;

const CodePage& current() {
    return pinned ? *pinned : *active_page().load();
}

}  // namespace

bool code_page_supported(int cp) noexcept {
    for (std::size_t i = 0; i < frame::kCodePageCount; ++i)
        if (frame::kCodePages[i].code_page == cp) return true;
    return false;
}

int code_page() noexcept {
    return current().id;
}

bool set_code_page(int cp) noexcept {
    if (!code_page_supported(cp)) return false;
    active_page().store(page_for(cp));
    return true;
}

CodePageScope::CodePageScope() noexcept : outer_(pinned == nullptr) {
    if (outer_) pinned = active_page().load();
}

CodePageScope::~CodePageScope() {
    if (outer_) pinned = nullptr;
}

char16_t ansi_char(std::uint8_t b) noexcept {
    return current().to_unicode[b];
}

void ansi_from_text(std::u16string_view t, std::uint8_t* out) noexcept {
    // Nothing written aliases the table or the text: the loads need not wait for the stores.
    const std::uint8_t* __restrict table = current().from_unicode->data();
    // Runs of ASCII, the common case, narrow 64 units at a time (vectorised); the table is
    // consulted for runs holding other characters.
    constexpr std::size_t kRun = 64;
    const char16_t* __restrict in = t.data();
    std::uint8_t* __restrict o = out;
    std::size_t i = 0;
    for (; i + kRun <= t.size(); i += kRun) {
        char16_t any = 0;
        for (std::size_t k = 0; k < kRun; ++k) any |= in[i + k];
        if (any < 0x80)
            for (std::size_t k = 0; k < kRun; ++k) o[i + k] = static_cast<std::uint8_t>(in[i + k]);
        else
            for (std::size_t k = 0; k < kRun; ++k) o[i + k] = table[in[i + k]];
    }
    for (; i < t.size(); ++i) o[i] = table[in[i]];
}

void ansi_to_text(std::span<const std::uint8_t> b, char16_t* out) noexcept {
    // The output never overlaps the table: told so, the loads need not wait for the stores.
    const char16_t* table = current().to_unicode.data();
    char16_t* __restrict o = out;
    for (std::size_t i = 0; i < b.size(); ++i) o[i] = table[b[i]];
}

Bytes ansi_from_text(std::u16string_view t) {
    Bytes out(t.size());
    ansi_from_text(t, out.data());
    return out;
}

Text ansi_to_text(std::span<const std::uint8_t> b) {
    Text out(b.size(), u'\0');
    ansi_to_text(b, out.data());
    return out;
}

}  // namespace ombrak
