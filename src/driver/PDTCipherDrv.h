// The driver object handed to the host: a pointer to the operation table.
#pragma once

#include <tolvane/tolvane.h>

namespace tolvane {

// The most recently created driver object; never freed.
extern TPDTCipherDrv* DriverInstance;

TPDTCipherDrv* CreateDriverObject();

}  // namespace tolvane
