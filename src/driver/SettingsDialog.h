// The settings dialog as the host operation runs it.
#pragma once

namespace tolvane {

// Shows the dialog modally; after OK saves the settings, then the layout.
void ShowSettings();

}  // namespace tolvane
