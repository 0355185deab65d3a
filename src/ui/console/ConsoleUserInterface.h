// The text-terminal backend: the memo as lines, a live progress bar, and
// Enter, Esc and the answers to questions from the keyboard.
#pragma once

#include <memory>

#include "ui/UserInterface.h"

namespace tolvane::ui {

std::unique_ptr<IUserInterface> CreateConsoleUserInterface();

}  // namespace tolvane::ui
