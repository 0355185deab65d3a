#include "ui/Backends.h"

#include <cstdio>
#include <cstdlib>

#include "platform/Console.h"
#include "ui/batch/BatchUserInterface.h"
#include "ui/console/ConsoleUserInterface.h"
#include "ui/qt/QtUserInterface.h"

namespace tolvane::ui {

std::unique_ptr<IUserInterface> CreateUserInterface(const std::string& name) {
    if (name == "qt") return CreateQtUserInterface();
    if (name == "console") return CreateConsoleUserInterface();
    if (name == "batch") return CreateBatchUserInterface();
    return nullptr;
}

std::unique_ptr<IUserInterface> SelectUserInterface() {
    if (const char* chosen = std::getenv("TOLVANE_UI"); chosen && *chosen) {
        if (auto ui = CreateUserInterface(chosen)) return ui;
        std::fprintf(stderr, "Tolvane: TOLVANE_UI=%s is none of qt, console, batch; choosing by the environment\n",
                     chosen);
    }
    if (platform::HasDisplay()) return CreateQtUserInterface();
    if (platform::StdinIsTerminal()) return CreateConsoleUserInterface();
    return CreateBatchUserInterface();
}

}  // namespace tolvane::ui
