// Chooses the user-interface backend: $TOLVANE_UI=qt|console|batch; unset,
// qt when a display is reachable, else console on a terminal, else batch.
#pragma once

#include <memory>
#include <string>

#include "ui/UserInterface.h"

namespace tolvane::ui {

std::unique_ptr<IUserInterface> CreateUserInterface(const std::string& name);
std::unique_ptr<IUserInterface> SelectUserInterface();

}  // namespace tolvane::ui
