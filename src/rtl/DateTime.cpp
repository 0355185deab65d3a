#include "rtl/DateTime.h"

#include <chrono>
#include <cmath>
#include <ctime>

#include "rtl/Exception.h"

namespace tolvane {

namespace {

constexpr int64_t kMsPerDay = 86400000;

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

// Days from 0001-01-01 to the date (proleptic Gregorian).
int64_t DayNumber(int y, int m, int d) {
    int64_t days = 0;
    for (int k = 1; k < m; ++k) days += DaysInMonth(y, k);
    int64_t py = y - 1;
    return py * 365 + py / 4 - py / 100 + py / 400 + days + d - 1;
}

const int64_t kEpochDay = DayNumber(1899, 12, 30);

// Milliseconds since the epoch, the time part counting away from zero as
// the platform does for dates before 1899-12-30.
int64_t ToMs(TDateTime dt) {
    double days = std::floor(dt);
    double frac = std::fabs(dt - std::trunc(dt));
    int64_t ms = int64_t(std::llround(frac * double(kMsPerDay)));
    if (dt < 0 && frac != 0) days = std::ceil(dt);
    return int64_t(days) * kMsPerDay + ms;
}

struct Token {
    std::string_view text;
    size_t length;
};

std::string TwoDigits(int v) {
    std::string s = std::to_string(v);
    return s.size() < 2 ? "0" + s : s;
}

std::string Digits(int v, size_t width) {
    std::string s = std::to_string(v);
    while (s.size() < width) s.insert(s.begin(), '0');
    return s;
}

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

// Reads a run of decimal digits (at most maxDigits) from s at i.
std::optional<int> ReadNumber(std::string_view s, size_t& i, size_t maxDigits = 9) {
    size_t start = i;
    int v = 0;
    while (i < s.size() && i - start < maxDigits && s[i] >= '0' && s[i] <= '9') v = v * 10 + (s[i++] - '0');
    if (i == start) return std::nullopt;
    return v;
}

// The order in which day, month and year appear in a date pattern.
std::string DateOrder(std::string_view pattern) {
    std::string order;
    for (char c : pattern) {
        char l = char(std::tolower(static_cast<unsigned char>(c)));
        if ((l == 'd' || l == 'm' || l == 'y') && order.find(l) == std::string::npos) order += l;
    }
    return order.size() == 3 ? order : "dmy";
}

std::optional<TDateTime> ParseDate(std::string_view s, size_t& i, const TFormatSettings& fs) {
    std::string order = DateOrder(fs.ShortDateFormat);
    int parts[3];
    size_t digits[3];
    int count = 0;
    while (count < 3) {
        size_t start = i;
        auto v = ReadNumber(s, i, 4);
        if (!v) break;
        digits[count] = i - start;
        parts[count++] = *v;
        if (count < 3 && i < s.size() && s[i] == fs.DateSeparator) ++i;
        else break;
    }
    if (count < 2) return std::nullopt;
    int d = 0, m = 0, y = 0;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    y = local.tm_year + 1900;
    bool yearGiven = count == 3;
    size_t yearDigits = 4;
    for (int k = 0, p = 0; k < 3; ++k) {
        char what = order[size_t(k)];
        if (what == 'y' && !yearGiven) continue;
        if (p >= count) return std::nullopt;
        if (what == 'd') d = parts[p];
        if (what == 'm') m = parts[p];
        if (what == 'y') y = parts[p], yearDigits = digits[p];
        ++p;
    }
    if (yearGiven && yearDigits <= 2) y += y < 50 ? 2000 : 1900;
    return TryEncodeDate(y, m, d);
}

std::optional<TDateTime> ParseTime(std::string_view s, size_t& i, const TFormatSettings& fs) {
    int fields[3] = {0, 0, 0};
    int ms = 0;
    int count = 0;
    while (count < 3) {
        auto v = ReadNumber(s, i, 2);
        if (!v) return count == 0 ? std::nullopt : std::optional<TDateTime>();
        fields[count++] = *v;
        if (count < 3 && i < s.size() && s[i] == fs.TimeSeparator) ++i;
        else break;
    }
    if (count == 3 && i < s.size() && (s[i] == fs.DecimalSeparator || s[i] == '.')) {
        ++i;
        size_t start = i;
        auto v = ReadNumber(s, i, 9);
        if (!v) return std::nullopt;
        size_t n = i - start;
        // Milliseconds: the first three digits, scaled when fewer were written.
        ms = *v;
        for (; n > 3; --n) ms /= 10;
        for (; n < 3; ++n) ms *= 10;
    }
    return TryEncodeTime(fields[0], fields[1], fields[2], ms);
}

void SkipSpaces(std::string_view s, size_t& i) {
    while (i < s.size() && IsSpace(s[i])) ++i;
}

}  // namespace

bool IsValidDate(int y, int m, int d) {
    return y >= 1 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= DaysInMonth(y, m);
}

bool IsValidTime(int h, int n, int s, int ms) {
    return h >= 0 && h < 24 && n >= 0 && n < 60 && s >= 0 && s < 60 && ms >= 0 && ms < 1000;
}

std::optional<TDateTime> TryEncodeDate(int y, int m, int d) {
    if (!IsValidDate(y, m, d)) return std::nullopt;
    return TDateTime(DayNumber(y, m, d) - kEpochDay);
}

std::optional<TDateTime> TryEncodeTime(int h, int n, int s, int ms) {
    if (!IsValidTime(h, n, s, ms)) return std::nullopt;
    return TDateTime(((h * 60 + n) * 60 + s) * 1000 + ms) / double(kMsPerDay);
}

TDateTime EncodeDate(int y, int m, int d) {
    if (auto v = TryEncodeDate(y, m, d)) return *v;
    throw EConvertError("Invalid argument to date encode");
}

TDateTime EncodeTime(int h, int n, int s, int ms) {
    if (auto v = TryEncodeTime(h, n, s, ms)) return *v;
    throw EConvertError("Invalid argument to time encode");
}

DateParts DecodeDate(TDateTime dt) {
    int64_t day = kEpochDay + (dt >= 0 ? ToMs(dt) / kMsPerDay : int64_t(std::trunc(dt)));
    DateParts p;
    int64_t y400 = day / 146097, rest = day % 146097;
    int64_t y100 = std::min<int64_t>(rest / 36524, 3);
    rest -= y100 * 36524;
    int64_t y4 = rest / 1461;
    rest %= 1461;
    int64_t y1 = std::min<int64_t>(rest / 365, 3);
    rest -= y1 * 365;
    p.Year = int(y400 * 400 + y100 * 100 + y4 * 4 + y1 + 1);
    p.Month = 1;
    while (rest >= DaysInMonth(p.Year, p.Month)) rest -= DaysInMonth(p.Year, p.Month++);
    p.Day = int(rest + 1);
    return p;
}

TimeParts DecodeTime(TDateTime dt) {
    int64_t ms = ToMs(dt) % kMsPerDay;
    if (ms < 0) ms += kMsPerDay;
    TimeParts t;
    t.Millisecond = int(ms % 1000);
    t.Second = int(ms / 1000 % 60);
    t.Minute = int(ms / 60000 % 60);
    t.Hour = int(ms / 3600000);
    return t;
}

TDateTime Now() {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t seconds = system_clock::to_time_t(now);
    int ms = int(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
           EncodeTime(local.tm_hour, local.tm_min, local.tm_sec, ms);
}

std::string FormatDateTime(std::string_view pattern, TDateTime dt, const TFormatSettings& fs) {
    DateParts d = DecodeDate(dt);
    TimeParts t = DecodeTime(dt);
    std::string out;
    bool afterHour = false;  // "m" right after an hour means minutes
    size_t i = 0;
    while (i < pattern.size()) {
        char c = pattern[i];
        char l = char(std::tolower(static_cast<unsigned char>(c)));
        size_t run = 1;
        while (i + run < pattern.size() && std::tolower(static_cast<unsigned char>(pattern[i + run])) == l) ++run;
        if (c == '"' || c == '\'') {
            size_t close = pattern.find(c, i + 1);
            if (close == std::string_view::npos) close = pattern.size();
            out += pattern.substr(i + 1, close - i - 1);
            i = close + 1;
            continue;
        }
        switch (l) {
            case 'd': out += run >= 2 ? TwoDigits(d.Day) : std::to_string(d.Day); break;
            case 'y': out += run >= 3 ? Digits(d.Year, 4) : TwoDigits(d.Year % 100); break;
            case 'm':
                if (afterHour) out += run >= 2 ? TwoDigits(t.Minute) : std::to_string(t.Minute);
                else out += run >= 2 ? TwoDigits(d.Month) : std::to_string(d.Month);
                break;
            case 'h': out += run >= 2 ? TwoDigits(t.Hour) : std::to_string(t.Hour); break;
            case 'n': out += run >= 2 ? TwoDigits(t.Minute) : std::to_string(t.Minute); break;
            case 's': out += run >= 2 ? TwoDigits(t.Second) : std::to_string(t.Second); break;
            case 'z': out += run >= 3 ? Digits(t.Millisecond, 3) : std::to_string(t.Millisecond); break;
            case '/': out.append(run, fs.DateSeparator); break;
            case ':': out.append(run, fs.TimeSeparator); break;
            default: out.append(pattern.substr(i, run)); break;
        }
        if (l == 'h') afterHour = true;
        else if (l != ':' && l != ' ' && l != 'h') afterHour = false;
        i += run;
    }
    return out;
}

std::string DateToStr(TDateTime dt, const TFormatSettings& fs) { return FormatDateTime(fs.ShortDateFormat, dt, fs); }

std::string TimeToStr(TDateTime dt, const TFormatSettings& fs) { return FormatDateTime(fs.LongTimeFormat, dt, fs); }

std::string DateTimeToStr(TDateTime dt, const TFormatSettings& fs) {
    std::string text = DateToStr(dt, fs);
    if (DecodeTime(dt).Hour || DecodeTime(dt).Minute || DecodeTime(dt).Second || DecodeTime(dt).Millisecond)
        text += " " + TimeToStr(dt, fs);
    return text;
}

std::optional<TDateTime> TryStrToDate(std::string_view s, const TFormatSettings& fs) {
    size_t i = 0;
    SkipSpaces(s, i);
    auto date = ParseDate(s, i, fs);
    SkipSpaces(s, i);
    if (!date || i != s.size()) return std::nullopt;
    return date;
}

std::optional<TDateTime> TryStrToTime(std::string_view s, const TFormatSettings& fs) {
    size_t i = 0;
    SkipSpaces(s, i);
    auto time = ParseTime(s, i, fs);
    SkipSpaces(s, i);
    if (!time || i != s.size()) return std::nullopt;
    return time;
}

std::optional<TDateTime> TryStrToDateTime(std::string_view s, const TFormatSettings& fs) {
    size_t i = 0;
    SkipSpaces(s, i);
    auto date = ParseDate(s, i, fs);
    if (!date) return std::nullopt;
    SkipSpaces(s, i);
    if (i == s.size()) return date;
    auto time = ParseTime(s, i, fs);
    SkipSpaces(s, i);
    if (!time || i != s.size()) return std::nullopt;
    return *date < 0 ? *date - *time : *date + *time;
}

TDateTime StrToDate(std::string_view s, const TFormatSettings& fs) {
    if (auto v = TryStrToDate(s, fs)) return *v;
    throw EConvertError("'" + std::string(s) + "' is not a valid date");
}

TDateTime StrToTime(std::string_view s, const TFormatSettings& fs) {
    if (auto v = TryStrToTime(s, fs)) return *v;
    throw EConvertError("'" + std::string(s) + "' is not a valid time");
}

TDateTime StrToDateTime(std::string_view s, const TFormatSettings& fs) {
    if (auto v = TryStrToDateTime(s, fs)) return *v;
    throw EConvertError("'" + std::string(s) + "' is not a valid date and time");
}

}  // namespace tolvane
