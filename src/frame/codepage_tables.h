// The Windows single-byte code page tables (bytes 0x00-0x7F are ASCII in all of them).
#pragma once

#include <cstddef>

namespace ombrak::frame {

struct CodePageTable {
    int code_page;
    const char16_t* upper;  // 128 code units for bytes 0x80-0xFF
};

extern const CodePageTable kCodePages[];
extern const std::size_t kCodePageCount;

}  // namespace ombrak::frame
