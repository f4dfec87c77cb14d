// Reads the known-answer files in tests/data: records of "Name = value" lines. A record ends at
// its last field (named by the caller); blank lines and "#" comments are skipped.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "ombrak/frame/variant.h"

namespace ombrak::test {

struct Record {
    std::map<std::string, std::string> fields;
    std::string section;  // the last "[name]" line before the record
    int line = 0;
    const std::string& operator[](const std::string& k) const { return fields.at(k); }
};

inline std::vector<Record> read_records(const std::string& name, const std::string& last_field) {
    std::ifstream f(std::string(OMBRAK10_TEST_DATA) + "/" + name);
    EXPECT_TRUE(f.good()) << name;
    std::vector<Record> out;
    Record current;
    std::string line, section;
    for (int number = 1; std::getline(f, line); ++number) {
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        auto eq = line.find(" =");
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq);
        std::string value = eq + 3 <= line.size() ? line.substr(eq + 3) : "";
        current.fields[key] = value;
        if (key == last_field) {
            current.section = section;
            current.line = number;
            out.push_back(current);
            current = Record{};
        }
    }
    return out;
}

inline Bytes from_hex(const std::string& h) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < h.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(h.substr(i, 2), nullptr, 16)));
    return out;
}

/// Lower-case hexadecimal of bytes.
inline std::string to_hex(const Bytes& b) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (std::uint8_t x : b) s += {digits[x >> 4], digits[x & 15]};
    return s;
}

/// Text from a field: "\r", "\n" and "\uXXXX" escapes, other characters as Latin-1.
inline Text unescape(const std::string& s) {
    Text out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out.push_back(static_cast<unsigned char>(s[i]));
        } else if (s[i + 1] == 'u') {
            out.push_back(static_cast<char16_t>(std::stoi(s.substr(i + 2, 4), nullptr, 16)));
            i += 5;
        } else if (s[i + 1] == 'x') {
            out.push_back(static_cast<char16_t>(std::stoi(s.substr(i + 2, 2), nullptr, 16)));
            i += 3;
        } else {
            out.push_back(s[++i] == 'r' ? u'\r' : u'\n');
        }
    }
    return out;
}

}  // namespace ombrak::test
