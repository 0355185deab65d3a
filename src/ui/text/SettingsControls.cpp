#include "ui/text/SettingsControls.h"

#include "rtl/Exception.h"

namespace tolvane::ui {

void SettingsControls::SetItems(const std::string& control, const std::vector<std::string>& items) {
    ControlState& c = controls_[control];
    c.items = items;
    c.itemIndex = -1;
}

// An index outside the list selects nothing, as a drop-down list does.
void SettingsControls::SetItemIndex(const std::string& control, int index) {
    ControlState& c = controls_[control];
    c.itemIndex = index >= 0 && index < int(c.items.size()) ? index : -1;
}

const ControlState& SettingsControls::Get(const std::string& control) const {
    auto it = controls_.find(control);
    if (it == controls_.end()) throw EListError("Нет элемента управления " + control);
    return it->second;
}

}  // namespace tolvane::ui
