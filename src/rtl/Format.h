// Delphi-style Format: "%" [index ":"] ["-"] [width] ["." precision] type,
// type one of d u x e f g n s (and "%%"). Index, width and precision may be
// "*" to take them from the arguments.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <variant>
#include <vector>

#include "rtl/FormatSettings.h"

#pragma GCC visibility push(default)

namespace tolvane {

class FormatArg {
public:
    FormatArg(int v) : value_(int64_t(v)) {}
    FormatArg(long v) : value_(int64_t(v)) {}
    FormatArg(long long v) : value_(int64_t(v)) {}
    FormatArg(unsigned v) : value_(int64_t(v)) {}
    FormatArg(unsigned long v) : value_(int64_t(v)) {}
    FormatArg(unsigned long long v) : value_(int64_t(v)) {}
    FormatArg(double v) : value_(v) {}
    FormatArg(const char* v) : value_(std::string(v ? v : "")) {}
    FormatArg(std::string v) : value_(std::move(v)) {}
    FormatArg(std::string_view v) : value_(std::string(v)) {}

    const std::variant<int64_t, double, std::string>& Value() const { return value_; }

private:
    std::variant<int64_t, double, std::string> value_;
};

using FormatArgs = std::initializer_list<FormatArg>;

// Raises EConvertError "Format '%s' invalid or incompatible with argument"
// for a bad specifier, a missing argument or a type mismatch.
std::string Format(const std::string& format, FormatArgs args);
std::string Format(const std::string& format, FormatArgs args, const TFormatSettings& fs);
std::string Format(const std::string& format, const std::vector<FormatArg>& args);
std::string Format(const std::string& format, const FormatArg* args, size_t count,
                   const TFormatSettings& fs);

}  // namespace tolvane

#pragma GCC visibility pop
