// Text helpers on Windows-1251 strings, and number <-> text conversions
// with the platform's rules (Val-style integers, separator-aware floats).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "rtl/FormatSettings.h"

#pragma GCC visibility push(default)

namespace tolvane {

// Trimming treats every character with a code of 32 or less as blank.
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

// Locale-aware single-byte case mapping of Windows-1251 (Cyrillic included).
char AnsiLowerChar(char c);
char AnsiUpperChar(char c);
std::string AnsiLowerCase(std::string_view s);
std::string AnsiUpperCase(std::string_view s);
bool AnsiSameText(std::string_view a, std::string_view b);
int AnsiCompareText(std::string_view a, std::string_view b);

std::string IntToStr(int64_t value);
// Upper-case hexadecimal with at least `digits` digits.
std::string IntToHex(uint64_t value, int digits);

// Integers as the platform's Val reads them: leading blanks, a sign, decimal
// digits or "$" / "0x" hexadecimal, nothing after. EConvertError
// "'%s' is not a valid integer value" on failure or overflow.
int32_t StrToInt(std::string_view s);
int64_t StrToInt64(std::string_view s);
int32_t StrToIntDef(std::string_view s, int32_t def);
std::optional<int32_t> TryStrToInt(std::string_view s);
std::optional<int64_t> TryStrToInt64(std::string_view s);

// Floats with the settings' decimal separator only; blanks around are
// allowed. EConvertError "'%s' is not a valid floating point value".
double StrToFloat(std::string_view s, const TFormatSettings& fs = SystemFormatSettings());
std::optional<double> TryStrToFloat(std::string_view s,
                                    const TFormatSettings& fs = SystemFormatSettings());

// The shortest general form with 15 significant digits ("2.5", "1E15", "1E-5").
std::string FloatToStr(double value, const TFormatSettings& fs = SystemFormatSettings());
std::string FloatToStrF(double value, int precision, const TFormatSettings& fs);

}  // namespace tolvane

#pragma GCC visibility pop
