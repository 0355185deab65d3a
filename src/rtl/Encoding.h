// Windows-1251 <-> Unicode at the edges of the system (console, views,
// BSTRs, JSON). The code page table is taken from iconv once.
#pragma once

#include <string>
#include <string_view>

#pragma GCC visibility push(default)

namespace tolvane {

std::string Cp1251ToUtf8(std::string_view cp1251);
// Characters without a Windows-1251 form become '?'; invalid UTF-8 bytes too.
std::string Utf8ToCp1251(std::string_view utf8);
std::u16string Cp1251ToUtf16(std::string_view cp1251);
std::string Utf16ToCp1251(std::u16string_view utf16);
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace tolvane

#pragma GCC visibility pop
