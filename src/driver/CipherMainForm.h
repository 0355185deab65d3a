// The settings dialog's logic: three tabs editing the connection and load
// settings, the lookup-database layout in Trade.ini, and a description of
// the terminals. The view is a ui::ISettingsView; no toolkit code here.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "exchange/DriverSettings.h"
#include "ui/UserInterface.h"

namespace tolvane {

class TCipherMainForm : public ui::ISettingsViewEvents {
public:
    static constexpr int kFieldRows = 8;

    // FormCreate: fills the lists and the first tab from settings.
    explicit TCipherMainForm(TDriverSettings& settings);

    ui::ModalResult ShowModal() { return view_->ShowModal(); }
    ui::ISettingsView& View() { return *view_; }

    // The layout tab from and to section [Tolvane] of the settings file;
    // both update DBaseNum and DBDelimiter.
    void LoadLayout();
    void SaveLayout();

    void BitBtn1Click() override;
    void cbClearDocumentClick() override;
    void cbFieldCountSelect() override;
    void cbField1Select() override;
    void edDBDelimiterChange() override;
    void Label11Click() override;

    void UpdateFieldRows();

private:
    void FormCreate();
    void CheckEntries() const;
    void CopyEntries();

    TDriverSettings& settings_;
    std::unique_ptr<ui::ISettingsView> view_;
};

// Stored name of an item of a row's goods-field list ("None" for none).
std::string FieldNameOf(int index);
// List index of a stored name, letter case ignored; 0 when unknown.
int FieldIndexOf(const std::string& name);

// The items of a row's goods-field list, the empty last one included.
const std::vector<std::string>& GoodsFieldItems();
// The 18-line help text of the layout tab.
std::string LayoutHelpText();

// Runs the dialog: after OK saves the basic settings, then the layout.
void ShowSettingsDialog(TDriverSettings& settings);

}  // namespace tolvane
