// UTF conversions, case-insensitive names and the text builder.
#include "ombrak/frame/text.h"

#include <cstring>

namespace ombrak {

Text ascii_to_text(std::string_view s) {
    Text t(s.size(), u'\0');
    for (std::size_t i = 0; i < s.size(); ++i) t[i] = static_cast<unsigned char>(s[i]);
    return t;
}

Text utf8_to_text(std::string_view s) {
    Text out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char c = s[i];
        char32_t cp;
        std::size_t n;
        if (c < 0x80) {
            cp = c;
            n = 1;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            n = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            n = 3;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            n = 4;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        bool ok = i + n <= s.size();
        for (std::size_t k = 1; ok && k < n; ++k) {
            unsigned char cc = s[i + k];
            if ((cc & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (cc & 0x3F);
        }
        static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (!ok || cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += n;
    }
    return out;
}

std::string text_to_utf8(std::u16string_view t) {
    std::string out;
    out.reserve(t.size());
    for (std::size_t i = 0; i < t.size(); ++i) {
        char32_t cp = t[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < t.size() && t[i + 1] >= 0xDC00 &&
            t[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (t[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

bool has_lone_surrogate(std::u16string_view t) noexcept {
    for (std::size_t i = 0; i < t.size(); ++i) {
        char16_t u = t[i];
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < t.size() && t[i + 1] >= 0xDC00 &&
            t[i + 1] < 0xE000)
            ++i;
        else if (u >= 0xD800 && u < 0xE000)
            return true;
    }
    return false;
}

char16_t lower_case(char16_t c) noexcept {
    if (c < 0x80) return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
    // Latin-1: U+00C0..U+00DE but the multiplication sign.
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
    // Latin Extended-A: pairs, upper case first, except where the pairs change step.
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130) return u'i';
        if (c == 0x178) return 0xFF;
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
            return c % 2 ? static_cast<char16_t>(c + 1) : c;
        if (c == 0x138 || c == 0x149 || c == 0x17F) return c;
        return c % 2 ? c : static_cast<char16_t>(c + 1);
    }
    if (c == 0x192 || c == 0x2C6) return c;
    // Greek: the accented capitals, then U+0391..U+03AB (no U+03A2).
    if (c == 0x386) return 0x3AC;
    if (c >= 0x388 && c <= 0x38A) return static_cast<char16_t>(c + 37);
    if (c == 0x38C) return 0x3CC;
    if (c == 0x38E || c == 0x38F) return static_cast<char16_t>(c + 63);
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<char16_t>(c + 32);
    // Cyrillic: U+0400..U+040F and U+0410..U+042F; U+0490 (Ukrainian ghe with upturn).
    if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 80);
    if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 32);
    if (c == 0x490) return 0x491;
    return c;
}

char16_t upper_case(char16_t c) noexcept {
    if (c < 0x80) return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
            return c % 2 ? c : static_cast<char16_t>(c - 1);
        return c % 2 ? static_cast<char16_t>(c - 1) : c;
    }
    if (c == 0x3AC) return 0x386;
    if (c >= 0x3AD && c <= 0x3AF) return static_cast<char16_t>(c - 37);
    if (c == 0x3CC) return 0x38C;
    if (c == 0x3CD || c == 0x3CE) return static_cast<char16_t>(c - 63);
    if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return static_cast<char16_t>(c - 32);
    if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 32);
    if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 80);
    if (c == 0x491) return 0x490;
    return c;
}

bool iequals(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x += 32;
        if (y >= 'A' && y <= 'Z') y += 32;
        if (x != y) return false;
    }
    return true;
}

void TextBuilder::clear() {
    buffer_.assign(1025, 0);
    length_ = 0;
}

void TextBuilder::reserve_for(std::size_t extra) {
    std::size_t need = length_ + extra;
    if (need <= buffer_.size()) return;
    // Grows in steps of 1024 bytes, computed at once so a large piece costs one resize.
    buffer_.resize(buffer_.size() + (need - buffer_.size() + 1023) / 1024 * 1024, 0);
}

void TextBuilder::append(std::u16string_view t) {
    Bytes bytes = ansi_from_text(t);
    reserve_for(bytes.size());
    if (!bytes.empty()) std::memcpy(buffer_.data() + length_, bytes.data(), bytes.size());
    length_ += bytes.size();
}

void TextBuilder::append_byte(std::uint8_t b) {
    reserve_for(1);
    buffer_[length_++] = b;
}

Text TextBuilder::take() const {
    return ansi_to_text(std::span<const std::uint8_t>(buffer_.data(), length_));
}

}  // namespace ombrak
