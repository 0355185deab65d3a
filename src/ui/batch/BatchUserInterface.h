// The unattended backend: no windows. Messages go to standard error, OK is
// pressed as soon as it is enabled, and questions take the answer of the
// policy in $TOLVANE_CONFIRM (yes or no; no, the safe answer, by default).
#pragma once

#include <memory>

#include "ui/UserInterface.h"

namespace tolvane::ui {

std::unique_ptr<IUserInterface> CreateBatchUserInterface();

}  // namespace tolvane::ui
