#include "rtl/Encoding.h"

#include <iconv.h>

#include <array>
#include <mutex>
#include <stdexcept>
#include <unordered_map>

namespace tolvane {

namespace {

struct CodePage {
    std::array<char16_t, 256> toUnicode{};
    std::unordered_map<char16_t, char> fromUnicode;
};

const CodePage& Cp1251() {
    static const CodePage page = [] {
        CodePage p;
        iconv_t cd = iconv_open("UTF-16LE", "CP1251");
        if (cd == iconv_t(-1)) throw std::runtime_error("iconv has no CP1251 converter");
        for (int b = 0; b < 256; ++b) {
            char in = char(b);
            unsigned char out[4] = {};
            char* inp = &in;
            char* outp = reinterpret_cast<char*>(out);
            size_t inLeft = 1, outLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            // Byte 0x98 has no character in Windows-1251: it maps to '?'.
            char16_t u = u'?';
            if (iconv(cd, &inp, &inLeft, &outp, &outLeft) != size_t(-1)) u = char16_t(out[0] | (out[1] << 8));
            p.toUnicode[size_t(b)] = u;
            if (u != u'?' || b == '?') p.fromUnicode.emplace(u, char(b));
        }
        iconv_close(cd);
        return p;
    }();
    return page;
}

char16_t Cp1251Char(char c) { return Cp1251().toUnicode[static_cast<unsigned char>(c)]; }

char FromUnicode(char32_t u) {
    if (u < 0x80) return char(u);
    if (u > 0xFFFF) return '?';
    auto it = Cp1251().fromUnicode.find(char16_t(u));
    return it == Cp1251().fromUnicode.end() ? '?' : it->second;
}

void AppendUtf8(std::string& out, char32_t u) {
    if (u < 0x80) {
        out += char(u);
    } else if (u < 0x800) {
        out += char(0xC0 | (u >> 6));
        out += char(0x80 | (u & 0x3F));
    } else if (u < 0x10000) {
        out += char(0xE0 | (u >> 12));
        out += char(0x80 | ((u >> 6) & 0x3F));
        out += char(0x80 | (u & 0x3F));
    } else {
        out += char(0xF0 | (u >> 18));
        out += char(0x80 | ((u >> 12) & 0x3F));
        out += char(0x80 | ((u >> 6) & 0x3F));
        out += char(0x80 | (u & 0x3F));
    }
}

// Decodes one UTF-8 sequence at s[i]; an invalid one yields U+FFFD and
// consumes one byte.
char32_t NextUtf8(std::string_view s, size_t& i) {
    auto b = static_cast<unsigned char>(s[i]);
    int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
    if (extra == 0) {
        ++i;
        return b;
    }
    if (extra < 0 || i + size_t(extra) >= s.size()) {
        ++i;
        return 0xFFFD;
    }
    char32_t u = b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        auto c = static_cast<unsigned char>(s[i + size_t(k)]);
        if ((c & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        u = (u << 6) | (c & 0x3F);
    }
    i += size_t(extra) + 1;
    return u;
}

char32_t NextUtf16(std::u16string_view s, size_t& i) {
    char32_t u = s[i++];
    if (u >= 0xD800 && u < 0xDC00 && i < s.size() && s[i] >= 0xDC00 && s[i] < 0xE000)
        u = 0x10000 + ((u - 0xD800) << 10) + (s[i++] - 0xDC00);
    return u;
}

void AppendUtf16(std::u16string& out, char32_t u) {
    if (u < 0x10000) {
        out += char16_t(u);
    } else {
        u -= 0x10000;
        out += char16_t(0xD800 + (u >> 10));
        out += char16_t(0xDC00 + (u & 0x3FF));
    }
}

}  // namespace

std::string Cp1251ToUtf8(std::string_view cp1251) {
    std::string out;
    out.reserve(cp1251.size() * 2);
    for (char c : cp1251) AppendUtf8(out, Cp1251Char(c));
    return out;
}

std::string Utf8ToCp1251(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) out += FromUnicode(NextUtf8(utf8, i));
    return out;
}

std::u16string Cp1251ToUtf16(std::string_view cp1251) {
    std::u16string out;
    out.reserve(cp1251.size());
    for (char c : cp1251) out += Cp1251Char(c);
    return out;
}

std::string Utf16ToCp1251(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size();) out += FromUnicode(NextUtf16(utf16, i));
    return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) AppendUtf16(out, NextUtf8(utf8, i));
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    for (size_t i = 0; i < utf16.size();) AppendUtf8(out, NextUtf16(utf16, i));
    return out;
}

}  // namespace tolvane
