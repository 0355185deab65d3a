// The library's start-up and shut-down: the units in their order, run when
// the library is loaded and, reversed, when it is unloaded. Start-up runs
// while static objects of other files may not be constructed yet, so every
// module-wide variable a unit touches is constinit or created by the unit's
// Initialize.
#pragma once

#include <memory>

#include "rtl/Exception.h"

namespace tolvane {

void StartUnits();
void StopUnits();
// The failure that stopped start-up, if any; the host operations raise it.
const Exception* StartupFailure();

}  // namespace tolvane
