// The load window's logic: one exchange per window, started 300 ms after it
// is shown, in document mode (load, optionally clear) or goods mode
// (upload). The view is a ui::ILoadView; this class holds no toolkit code.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "exchange/BaseTolvane.h"
#include "exchange/DriverSettings.h"
#include "rtl/DateTime.h"
#include "rtl/StringList.h"
#include "ui/UserInterface.h"

namespace tolvane {

class TLoadDataForm : public ui::ILoadViewEvents {
public:
    static constexpr int kTimerInterval = 300;

    // FormCreate: the view is created and the memo starts empty.
    TLoadDataForm(const TDriverSettings& settings, TStringList& loadedRecords,
                  TBaseTolvaneClass (*driverClassFor)(int32_t) = DriverClassFor);

    int32_t Mode = 0;  // 0 documents, 1 goods
    std::string GoodsFileName;
    bool DataLoaded = false;

    ui::ModalResult ShowModal();
    const TStringList& MemoLines() const { return memo_; }

    void FormShow() override;
    void Timer1Timer() override;
    bool FormCloseQuery(ui::ModalResult result) override;
    void Action1Execute() override;
    void Memo1KeyDown(int key) override;

    void RunDocumentLoad();
    void RunGoodsUpload(const std::string& fileName);
    void ProgressChanged(TBaseTolvane& sender, int32_t min, int32_t max, int32_t position);

private:
    std::unique_ptr<TBaseTolvane> CreateDriver();
    // Clears the document on the terminal when the settings and the
    // operator allow it and the loaded lines are safe elsewhere first.
    void ClearLoadedDocument(TBaseTolvane& driver);
    bool ArchiveLoadedRecords(TBaseTolvane& driver);
    bool QuantitiesConvertible(TBaseTolvane& driver);
    void FinishDocumentLoad();
    void FinishGoodsUpload();

    const TDriverSettings& settings_;
    TStringList& loadedRecords_;
    TBaseTolvaneClass (*driverClassFor_)(int32_t);
    TStringList memo_;
    std::unique_ptr<ui::ILoadView> view_;
};

// The archive file of one load: "C:\TORV\Archive\" + date, time, firmware
// and document number.
std::string ArchiveFileName(TDateTime stamp, int32_t programType, int32_t docNumber);

// The first line whose quantity is not a whole 32-bit number; -1 when all are.
int FirstBadQuantity(const TStringList& records);

}  // namespace tolvane
