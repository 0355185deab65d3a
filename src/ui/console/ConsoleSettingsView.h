// The settings dialog as a text form: numbered fields, each edited by
// typing its number and then its new value; "ok" and "cancel" close it.
#pragma once

#include <memory>

#include "ui/UserInterface.h"

namespace tolvane::ui {

std::unique_ptr<ISettingsView> CreateConsoleSettingsView();

}  // namespace tolvane::ui
