// Date and time as the platform keeps them: days since 1899-12-30 in a
// double, the fraction being the time of day. Text forms follow format
// patterns (d dd m mm yy yyyy h hh n nn s ss z zzz, "/" and ":" standing for
// the settings' separators, quoted text copied).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "rtl/FormatSettings.h"

#pragma GCC visibility push(default)

namespace tolvane {

using TDateTime = double;

struct DateParts {
    int Year = 0, Month = 0, Day = 0;
};
struct TimeParts {
    int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

bool IsValidDate(int year, int month, int day);
bool IsValidTime(int hour, int minute, int second, int millisecond);
std::optional<TDateTime> TryEncodeDate(int year, int month, int day);
std::optional<TDateTime> TryEncodeTime(int hour, int minute, int second, int millisecond);
// EConvertError "Invalid argument to date encode" / "... time encode".
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
DateParts DecodeDate(TDateTime dt);
TimeParts DecodeTime(TDateTime dt);

// The local date and time now, to the millisecond.
TDateTime Now();

std::string FormatDateTime(std::string_view pattern, TDateTime dt,
                           const TFormatSettings& fs = SystemFormatSettings());
std::string DateToStr(TDateTime dt, const TFormatSettings& fs = SystemFormatSettings());
std::string TimeToStr(TDateTime dt, const TFormatSettings& fs = SystemFormatSettings());
std::string DateTimeToStr(TDateTime dt, const TFormatSettings& fs = SystemFormatSettings());

// Parsing by the order of day, month and year in ShortDateFormat and the
// settings' separators. A time is h[:n[:s[.z]]]. EConvertError
// "'%s' is not a valid date" / "time" / "date and time".
std::optional<TDateTime> TryStrToDate(std::string_view s, const TFormatSettings& fs = SystemFormatSettings());
std::optional<TDateTime> TryStrToTime(std::string_view s, const TFormatSettings& fs = SystemFormatSettings());
std::optional<TDateTime> TryStrToDateTime(std::string_view s,
                                          const TFormatSettings& fs = SystemFormatSettings());
TDateTime StrToDate(std::string_view s, const TFormatSettings& fs = SystemFormatSettings());
TDateTime StrToTime(std::string_view s, const TFormatSettings& fs = SystemFormatSettings());
TDateTime StrToDateTime(std::string_view s, const TFormatSettings& fs = SystemFormatSettings());

}  // namespace tolvane

#pragma GCC visibility pop
