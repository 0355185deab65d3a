// Date, time and number format settings, as the platform's format-settings
// record: every conversion that depends on separators takes one.
#pragma once

#include <string>

#pragma GCC visibility push(default)

namespace tolvane {

struct TFormatSettings {
    char DecimalSeparator = ',';
    char ThousandSeparator = '\xA0';
    char DateSeparator = '.';
    char TimeSeparator = ':';
    std::string ShortDateFormat = "dd.mm.yyyy";
    std::string LongDateFormat = "d mmmm yyyy";
    std::string ShortTimeFormat = "h:nn";
    std::string LongTimeFormat = "hh:nn:ss";
};

// The process's "system" settings, those of a Russian Windows by default
// (decimal comma). Tests may change them to exercise other locales.
TFormatSettings& SystemFormatSettings();

}  // namespace tolvane

#pragma GCC visibility pop
