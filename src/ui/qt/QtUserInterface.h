// The desktop backend: Qt 6 Widgets. Views are Qt Designer forms whose
// widgets carry the system's component names; they hold no logic.
#pragma once

#include <memory>

#include "ui/UserInterface.h"

namespace tolvane::ui {

std::unique_ptr<IUserInterface> CreateQtUserInterface();

}  // namespace tolvane::ui
