#include "rtl/Format.h"

#include <cmath>
#include <cstdio>

#include "rtl/Exception.h"
#include "rtl/Strings.h"

namespace tolvane {

TFormatSettings& SystemFormatSettings() {
    static TFormatSettings settings;
    return settings;
}

namespace {

struct Spec {
    bool leftAlign = false;
    int width = -1;
    int precision = -1;
    char type = 0;
};

class Formatter {
public:
    Formatter(const std::string& format, const FormatArg* args, size_t count,
              const TFormatSettings& fs)
        : format_(format), args_(args), count_(count), fs_(fs) {}

    std::string Run() {
        std::string out;
        size_t i = 0;
        while (i < format_.size()) {
            char c = format_[i++];
            if (c != '%') {
                out += c;
                continue;
            }
            if (i < format_.size() && format_[i] == '%') {
                out += '%';
                ++i;
                continue;
            }
            out += Convert(ParseSpec(i));
        }
        return out;
    }

private:
    [[noreturn]] void Invalid() const {
        throw EConvertError("Format '" + format_ + "' invalid or incompatible with argument");
    }

    const FormatArg& NextArg() {
        if (next_ >= count_) Invalid();
        return args_[next_++];
    }

    // A number written in the format, or "*" taking it from the arguments.
    int ParseNumber(size_t& i) {
        if (i < format_.size() && format_[i] == '*') {
            ++i;
            const auto* v = std::get_if<int64_t>(&NextArg().Value());
            if (!v) Invalid();
            return int(*v);
        }
        int n = 0;
        bool any = false;
        while (i < format_.size() && IsDigit(format_[i])) {
            n = n * 10 + (format_[i++] - '0');
            any = true;
            if (n > 100000) Invalid();
        }
        return any ? n : -1;
    }

    Spec ParseSpec(size_t& i) {
        Spec spec;
        int number = ParseNumber(i);
        if (i < format_.size() && format_[i] == ':') {
            if (number < 0) Invalid();
            next_ = size_t(number);
            ++i;
            number = -1;
        }
        if (number < 0 && i < format_.size() && format_[i] == '-') {
            spec.leftAlign = true;
            ++i;
        }
        spec.width = number >= 0 ? number : ParseNumber(i);
        if (i < format_.size() && format_[i] == '.') {
            ++i;
            spec.precision = ParseNumber(i);
            if (spec.precision < 0) spec.precision = 0;
        }
        if (i >= format_.size()) Invalid();
        spec.type = char(std::tolower(static_cast<unsigned char>(format_[i++])));
        return spec;
    }

    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

    std::string Convert(const Spec& spec) {
        const auto& value = NextArg().Value();
        std::string text;
        switch (spec.type) {
            case 'd':
            case 'u':
            case 'x': text = FormatInteger(spec, value); break;
            case 'e':
            case 'f':
            case 'g':
            case 'n':
            case 'm': text = FormatFloat(spec, value); break;
            case 's': {
                const auto* s = std::get_if<std::string>(&value);
                if (!s) Invalid();
                text = spec.precision >= 0 ? s->substr(0, size_t(spec.precision)) : *s;
                break;
            }
            default: Invalid();
        }
        if (spec.width > 0 && text.size() < size_t(spec.width)) {
            std::string pad(size_t(spec.width) - text.size(), ' ');
            text = spec.leftAlign ? text + pad : pad + text;
        }
        return text;
    }

    std::string FormatInteger(const Spec& spec, const std::variant<int64_t, double, std::string>& value) {
        const auto* v = std::get_if<int64_t>(&value);
        if (!v) Invalid();
        std::string digits;
        bool negative = false;
        if (spec.type == 'x') {
            digits = IntToHex(uint64_t(*v) & (*v < 0 && *v >= INT32_MIN ? 0xFFFFFFFFull : ~0ull), 0);
        } else if (spec.type == 'u') {
            digits = std::to_string(*v < 0 && *v >= INT32_MIN ? uint64_t(uint32_t(*v)) : uint64_t(*v));
        } else {
            negative = *v < 0;
            digits = std::to_string(negative ? -(uint64_t(*v)) : uint64_t(*v));
        }
        if (spec.precision > 0 && digits.size() < size_t(spec.precision))
            digits.insert(0, size_t(spec.precision) - digits.size(), '0');
        return negative ? "-" + digits : digits;
    }

    std::string FormatFloat(const Spec& spec, const std::variant<int64_t, double, std::string>& value) {
        double d;
        if (const auto* f = std::get_if<double>(&value)) d = *f;
        else if (const auto* n = std::get_if<int64_t>(&value)) d = double(*n);
        else Invalid();
        if (spec.type == 'g') return FloatToStrF(d, spec.precision < 0 ? 15 : spec.precision, fs_);
        int precision = spec.precision < 0 ? 2 : spec.precision;
        char buffer[512];
        if (spec.type == 'e') {
            std::snprintf(buffer, sizeof buffer, "%.*E", precision < 1 ? 0 : precision - 1, d);
            return ReplaceDecimalPoint(buffer);
        }
        std::snprintf(buffer, sizeof buffer, "%.*f", precision, d);
        std::string text = ReplaceDecimalPoint(buffer);
        if (spec.type == 'n' || spec.type == 'm') text = GroupThousands(text);
        return text;
    }

    std::string ReplaceDecimalPoint(std::string text) const {
        for (char& c : text)
            if (c == '.') c = fs_.DecimalSeparator;
        return text;
    }

    std::string GroupThousands(const std::string& text) const {
        size_t start = text[0] == '-' ? 1 : 0;
        size_t end = text.find(fs_.DecimalSeparator);
        if (end == std::string::npos) end = text.size();
        std::string out = text.substr(0, start);
        for (size_t i = start; i < end; ++i) {
            if (i > start && (end - i) % 3 == 0 && fs_.ThousandSeparator) out += fs_.ThousandSeparator;
            out += text[i];
        }
        return out + text.substr(end);
    }

    const std::string& format_;
    const FormatArg* args_;
    size_t count_;
    const TFormatSettings& fs_;
    size_t next_ = 0;
};

}  // namespace

std::string Format(const std::string& format, const FormatArg* args, size_t count,
                   const TFormatSettings& fs) {
    return Formatter(format, args, count, fs).Run();
}

std::string Format(const std::string& format, FormatArgs args, const TFormatSettings& fs) {
    return Format(format, args.begin(), args.size(), fs);
}

std::string Format(const std::string& format, FormatArgs args) {
    return Format(format, args.begin(), args.size(), SystemFormatSettings());
}

std::string Format(const std::string& format, const std::vector<FormatArg>& args) {
    return Format(format, args.data(), args.size(), SystemFormatSettings());
}

}  // namespace tolvane
