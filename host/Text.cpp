#include "Text.h"

#include <iconv.h>

#include <stdexcept>

namespace tolvanehost {

namespace {

std::string Convert(const char* to, const char* from, const char* data, size_t size) {
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1)) throw std::runtime_error(std::string("no converter from ") + from + " to " + to);
    std::string out(size * 4 + 4, '\0');
    char* in = const_cast<char*>(data);
    size_t inLeft = size;
    char* outp = out.data();
    size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outp, &outLeft) == size_t(-1)) {
            ++in;  // an unconvertible byte is skipped
            --inLeft;
        }
    }
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace

std::string ToUtf8(const std::string& cp1251) { return Convert("UTF-8", "CP1251", cp1251.data(), cp1251.size()); }

std::u16string ToUtf16(const std::string& utf8) {
    std::string bytes = Convert("UTF-16LE", "UTF-8", utf8.data(), utf8.size());
    std::u16string out(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = char16_t(static_cast<unsigned char>(bytes[2 * i]) | (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return out;
}

std::string FromUtf16(const char16_t* text, size_t length) {
    std::string bytes;
    for (size_t i = 0; i < length; ++i) {
        bytes += char(text[i] & 0xFF);
        bytes += char(text[i] >> 8);
    }
    return Convert("UTF-8", "UTF-16LE", bytes.data(), bytes.size());
}

}  // namespace tolvanehost
