// tolvane config: section [Tolvane] of Trade.ini read and written through
// the system's guarded INI file, so that a machine without a display can be
// configured from a shell. Text is UTF-8 on the console and Windows-1251 in
// the file; values with line breaks are shown with "\n" by list.
#pragma once

#include <iosfwd>
#include <string>

namespace tolvanehost {

// Each returns the exit status; failures of the INI file raise
// tolvane::Exception, bad console input gives a message on err and 1.
int ConfigList(std::ostream& out);
int ConfigGet(const std::string& key, std::ostream& out, std::ostream& err);
int ConfigSet(const std::string& key, const std::string& value, std::ostream& err);

}  // namespace tolvanehost
