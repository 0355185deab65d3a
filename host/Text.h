// Windows-1251 <-> UTF-8 for the console, with iconv.
#pragma once

#include <string>

namespace tolvanehost {

std::string ToUtf8(const std::string& cp1251);
std::u16string ToUtf16(const std::string& utf8);
std::string FromUtf16(const char16_t* text, size_t length);

}  // namespace tolvanehost
