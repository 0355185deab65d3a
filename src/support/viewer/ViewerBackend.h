// The pieces of the viewer service on this platform.
#pragma once

#include <memory>

#include "support/ViewerWindow.h"

namespace tolvane::viewer {

std::unique_ptr<ViewerCanvas> CreateQtCanvas();
// None when no display can be reached.
std::unique_ptr<ViewerScreen> OpenXcbScreen();

}  // namespace tolvane::viewer
