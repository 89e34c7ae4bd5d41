// windows_1252.cpp: the Windows-1252 table for bytes 0x80 to 0x9F; all other
// bytes are the code point of the same value (ASCII and Latin-1).
#include "windows_1252.h"

#include <cstdint>
#include <cstdio>

namespace {

// Code points of bytes 0x80..0x9F. The five undefined bytes keep their own
// value, as the system's conversion does.
const char16_t highControlMap[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char16_t UnitOfByte(uint8_t byte) {
    return (byte >= 0x80 && byte <= 0x9F) ? highControlMap[byte - 0x80] : static_cast<char16_t>(byte);
}

// The byte of a code point, or -1 when Windows-1252 has none.
int ByteOfCodePoint(uint32_t codePoint) {
    for (int i = 0; i < 32; ++i) {
        if (highControlMap[i] == codePoint) return 0x80 + i;
    }
    if (codePoint <= 0xFF && !(codePoint >= 0x80 && codePoint <= 0x9F)) return static_cast<int>(codePoint);
    return -1;
}

}  // namespace

std::u16string Utf16FromWindows1252(const std::string& text) {
    std::u16string units;
    units.reserve(text.size());
    for (char c : text) units.push_back(UnitOfByte(static_cast<uint8_t>(c)));
    return units;
}

bool Windows1252FromUtf16(const std::u16string& units, std::string* text) {
    text->clear();
    bool exact = true;
    for (char16_t unit : units) {
        const int byte = ByteOfCodePoint(unit);
        if (byte < 0) {
            exact = false;
            text->push_back('?');
        } else {
            text->push_back(static_cast<char>(byte));
        }
    }
    return exact;
}

bool Windows1252FromUtf8(const std::string& utf8, std::string* text, std::string* error) {
    text->clear();
    size_t i = 0;
    while (i < utf8.size()) {
        const uint8_t lead = static_cast<uint8_t>(utf8[i]);
        uint32_t codePoint = 0;
        size_t length = 0;
        if (lead < 0x80) {
            codePoint = lead;
            length = 1;
        } else if ((lead & 0xE0) == 0xC0) {
            codePoint = lead & 0x1F;
            length = 2;
        } else if ((lead & 0xF0) == 0xE0) {
            codePoint = lead & 0x0F;
            length = 3;
        } else if ((lead & 0xF8) == 0xF0) {
            codePoint = lead & 0x07;
            length = 4;
        }
        bool valid = length > 0 && utf8.size() - i >= length;
        for (size_t k = 1; valid && k < length; ++k) {
            const uint8_t next = static_cast<uint8_t>(utf8[i + k]);
            valid = (next & 0xC0) == 0x80;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        if (!valid) {
            *error = "byte " + std::to_string(i) + " of \"" + utf8 + "\" is not UTF-8";
            return false;
        }
        const int byte = ByteOfCodePoint(codePoint);
        if (byte < 0 || (codePoint >= 0x80 && codePoint <= 0x9F)) {
            char name[16];
            std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(codePoint));
            *error = std::string("the character ") + name + " in \"" + utf8 + "\" has no Windows-1252 byte";
            return false;
        }
        text->push_back(static_cast<char>(byte));
        i += length;
    }
    return true;
}
