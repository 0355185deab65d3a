#include "ui/UserInterface.h"

#include "rtl/Exception.h"

namespace tolvane::ui {

namespace {
constinit IUserInterface* current = nullptr;
}

const char* const kApplicationName = "Tolvane";

IUserInterface& Current() {
    if (!current) throw Exception("Пользовательский интерфейс драйвера не выбран");
    return *current;
}

void Install(std::unique_ptr<IUserInterface> ui) {
    delete current;
    current = ui.release();
}

bool Installed() { return current != nullptr; }

}  // namespace tolvane::ui
