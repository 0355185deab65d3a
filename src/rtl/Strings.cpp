#include "rtl/Strings.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "rtl/Exception.h"

namespace tolvane {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// Windows-1251 letters outside А..я whose cases pair up (Ё/ё, Ў/ў, Ђ/ђ, ...).
constexpr unsigned char kUpperExtra[] = {0x80, 0x81, 0x8A, 0x8C, 0x8D, 0x8E, 0x8F, 0xA1,
                                         0xA3, 0xA5, 0xA8, 0xAA, 0xAF, 0xB2, 0xBD};
constexpr unsigned char kLowerExtra[] = {0x90, 0x83, 0x9A, 0x9C, 0x9D, 0x9E, 0x9F, 0xA2,
                                         0xBC, 0xB4, 0xB8, 0xBA, 0xBF, 0xB3, 0xBE};

std::optional<uint64_t> ParseDigits(std::string_view s, size_t& i, int base) {
    if (i >= s.size()) return std::nullopt;
    uint64_t value = 0;
    for (; i < s.size(); ++i) {
        int digit;
        char c = s[i];
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return std::nullopt;
        if (value > (UINT64_MAX - uint64_t(digit)) / uint64_t(base)) return std::nullopt;
        value = value * uint64_t(base) + uint64_t(digit);
    }
    return value;
}

[[noreturn]] void NotAnInteger(std::string_view s) {
    throw EConvertError("'" + std::string(s) + "' is not a valid integer value");
}

}  // namespace

std::string TrimLeft(std::string_view s) {
    size_t b = 0;
    while (b < s.size() && IsBlank(s[b])) ++b;
    return std::string(s.substr(b));
}

std::string TrimRight(std::string_view s) {
    size_t e = s.size();
    while (e > 0 && IsBlank(s[e - 1])) --e;
    return std::string(s.substr(0, e));
}

std::string Trim(std::string_view s) { return TrimLeft(TrimRight(s)); }

char AnsiLowerChar(char c) {
    auto u = static_cast<unsigned char>(c);
    if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDF)) return char(u + 32);
    for (size_t i = 0; i < sizeof kUpperExtra; ++i)
        if (kUpperExtra[i] == u) return char(kLowerExtra[i]);
    return c;
}

char AnsiUpperChar(char c) {
    auto u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || u >= 0xE0) return char(u - 32);
    for (size_t i = 0; i < sizeof kLowerExtra; ++i)
        if (kLowerExtra[i] == u) return char(kUpperExtra[i]);
    return c;
}

std::string AnsiLowerCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = AnsiLowerChar(c);
    return out;
}

std::string AnsiUpperCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = AnsiUpperChar(c);
    return out;
}

int AnsiCompareText(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(AnsiLowerChar(a[i]));
        auto y = static_cast<unsigned char>(AnsiLowerChar(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool AnsiSameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && AnsiCompareText(a, b) == 0;
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

std::string IntToHex(uint64_t value, int digits) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    do {
        out.insert(out.begin(), kHex[value & 15]);
        value >>= 4;
    } while (value);
    if (int(out.size()) < digits) out.insert(0, size_t(digits) - out.size(), '0');
    return out;
}

std::optional<int64_t> TryStrToInt64(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    int base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    auto magnitude = ParseDigits(s, i, base);
    if (!magnitude) return std::nullopt;
    if (base == 16 && !negative) return int64_t(*magnitude);
    if (*magnitude > (negative ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX))) return std::nullopt;
    return negative ? int64_t(0 - *magnitude) : int64_t(*magnitude);
}

std::optional<int32_t> TryStrToInt(std::string_view s) {
    auto v = TryStrToInt64(s);
    if (!v) return std::nullopt;
    bool hex = s.find_first_of("$xX") != std::string_view::npos;
    // Hexadecimal text fills the 32 bits ("$FFFFFFFF" is -1), as Val does.
    if (hex && *v >= 0 && *v <= int64_t(UINT32_MAX)) return int32_t(uint32_t(*v));
    if (*v < INT32_MIN || *v > INT32_MAX) return std::nullopt;
    return int32_t(*v);
}

int32_t StrToInt(std::string_view s) {
    if (auto v = TryStrToInt(s)) return *v;
    NotAnInteger(s);
}

int64_t StrToInt64(std::string_view s) {
    if (auto v = TryStrToInt64(s)) return *v;
    NotAnInteger(s);
}

int32_t StrToIntDef(std::string_view s, int32_t def) { return TryStrToInt(s).value_or(def); }

std::optional<double> TryStrToFloat(std::string_view s, const TFormatSettings& fs) {
    std::string text = Trim(s);
    if (text.empty()) return std::nullopt;
    // Accept exactly: sign, digits, separator, digits, exponent.
    std::string c_text;
    size_t i = 0;
    if (text[i] == '+' || text[i] == '-') c_text += text[i++];
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') c_text += text[i++], ++digits;
    if (i < text.size() && text[i] == fs.DecimalSeparator) {
        c_text += '.';
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') c_text += text[i++], ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        c_text += text[i++];
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) c_text += text[i++];
        size_t exponent = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') c_text += text[i++], ++exponent;
        if (exponent == 0) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    double value = std::strtod(c_text.c_str(), nullptr);
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

double StrToFloat(std::string_view s, const TFormatSettings& fs) {
    if (auto v = TryStrToFloat(s, fs)) return *v;
    throw EConvertError("'" + std::string(s) + "' is not a valid floating point value");
}

std::string FloatToStrF(double value, int precision, const TFormatSettings& fs) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    if (value == 0) value = 0;  // no "-0"
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*g", precision, value);
    std::string text = buffer;
    // C writes "1e+15" and "1.5e-05"; the platform writes "1E15" and "1.5E-5".
    size_t e = text.find('e');
    if (e != std::string::npos) {
        std::string mantissa = text.substr(0, e);
        std::string exponent = text.substr(e + 1);
        bool negative = exponent[0] == '-';
        size_t digits = exponent.find_first_not_of("+-0");
        text = mantissa + "E" + (negative ? "-" : "") +
               (digits == std::string::npos ? "0" : exponent.substr(digits));
    }
    for (char& c : text)
        if (c == '.') c = fs.DecimalSeparator;
    return text;
}

std::string FloatToStr(double value, const TFormatSettings& fs) { return FloatToStrF(value, 15, fs); }

}  // namespace tolvane
