// `tolvane init`: prepares a prefix as an installer would.
#pragma once

#include <ostream>
#include <string>

namespace tolvanehost {

// $TOLVANE_PREFIX, else ~/.tolvane.
std::string PrefixFolder();

// Creates the prefix's folders and installs the registration tool as
// drive_c/windows/system32/REGSVR32.EXE and the automation server as
// drive_c/TORV/CitySoftWarehouseDos_OLE.dll, both taken from binFolder.
// Files are replaced in one step, so a process that has the old server
// loaded keeps running. Registers nothing. Says what it did on out; throws
// std::runtime_error on failure.
void InitPrefix(const std::string& prefix, const std::string& binFolder, std::ostream& out);

}  // namespace tolvanehost
