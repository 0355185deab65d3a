#include "exchange/LoadDataForm.h"

#include "platform/Files.h"
#include "platform/SystemError.h"
#include "rtl/Exception.h"
#include "rtl/Format.h"
#include "rtl/Strings.h"

namespace tolvane {

namespace {

const char* const kClearQuestion = "Данные из терминала получены. Удалить загруженные данные из терминала?";
const char* const kClearCaption = "УДАЛЕНИЕ ДАННЫХ ИЗ ТСД";
const char* const kArchiveFolder = "C:\\TORV\\Archive\\";

std::string CloseQuestion() {
    return "Данные, загруженные из ТСД, не обработаны.\r\n"
           "Если вы закроете окно сейчас, то это может привести\r\n"
           "к потере данных и к необходимости выполнения сбора\r\n"
           "информации заново. Нажмите \"Отмена\", тогда программа\r\n"
           "сможет обработать данные. Нажатие \"ОК\" приведет\r\n"
           "к потере загруженных из ТСД данных.";
}

std::string QuantityOf(const std::string& line) {
    size_t eq = line.find('=');
    return eq == std::string::npos ? std::string() : line.substr(eq + 1);
}

std::string KeyOf(const std::string& line) { return line.substr(0, line.find('=')); }

}  // namespace

TLoadDataForm::TLoadDataForm(const TDriverSettings& settings, TStringList& loadedRecords,
                             TBaseTolvaneClass (*driverClassFor)(int32_t))
    : settings_(settings),
      loadedRecords_(loadedRecords),
      driverClassFor_(driverClassFor),
      view_(ui::Current().CreateLoadView()) {
    view_->Bind(*this, memo_);
}

ui::ModalResult TLoadDataForm::ShowModal() { return view_->ShowModal(); }

void TLoadDataForm::FormShow() { view_->SetTimerEnabled(true, kTimerInterval); }

void TLoadDataForm::Timer1Timer() {
    view_->SetTimerEnabled(false, kTimerInterval);
    try {
        if (Mode != 0) RunGoodsUpload(GoodsFileName);
        else RunDocumentLoad();
    } catch (const Exception& e) {
        ui::Current().ShowException(e.Message());
    } catch (const std::exception& e) {
        ui::Current().ShowException(e.what());
    }
}

std::unique_ptr<TBaseTolvane> TLoadDataForm::CreateDriver() {
    TBaseTolvaneClass driverClass = driverClassFor_(settings_.ProgramType);
    memo_.Clear();
    auto driver = driverClass(settings_.ComPort, settings_.BaudRate, settings_.UseCradle, memo_, settings_.DBDelimiter);
    driver->OnProgress = [this](TBaseTolvane& sender, int32_t min, int32_t max, int32_t position) {
        ProgressChanged(sender, min, max, position);
    };
    return driver;
}

void TLoadDataForm::RunDocumentLoad() {
    struct Finish {
        TLoadDataForm& form;
        ~Finish() { form.FinishDocumentLoad(); }
    } finish{*this};
    std::unique_ptr<TBaseTolvane> driver = CreateDriver();
    driver->LoadDocument(settings_.LoadDocNumber, loadedRecords_);
    if (loadedRecords_.Count() > 0) {
        DataLoaded = true;
        ClearLoadedDocument(*driver);
    }
}

void TLoadDataForm::ClearLoadedDocument(TBaseTolvane& driver) {
    bool archived = ArchiveLoadedRecords(driver);
    if (!settings_.ClearDocument) return;
    if (!archived || !QuantitiesConvertible(driver)) {
        driver.AddMessage("Документ в ТСД не удален: загруженные данные остаются в терминале");
        return;
    }
    bool confirmed = !settings_.MustConfirmBeforeClear || ui::Current().ConfirmOkCancel(kClearQuestion, kClearCaption, true);
    if (!confirmed) return;
    std::string errorText;
    driver.DeleteDocument(settings_.LoadDocNumber, errorText);
}

bool TLoadDataForm::ArchiveLoadedRecords(TBaseTolvane& driver) {
    std::string path = ArchiveFileName(Now(), settings_.ProgramType, settings_.LoadDocNumber);
    bool written = platform::ForceDirectories(kArchiveFolder) &&
                   platform::WriteFileAtomically(path, loadedRecords_.Text());
    if (!written) {
        driver.AddMessage("Не удалось сохранить загруженные данные в архив " + path + ": " +
                          platform::SysErrorMessage(platform::GetLastError()));
        return false;
    }
    driver.AddMessage("Загруженные данные сохранены в архив: " + path);
    return true;
}

bool TLoadDataForm::QuantitiesConvertible(TBaseTolvane& driver) {
    int bad = FirstBadQuantity(loadedRecords_);
    if (bad < 0) return true;
    driver.AddMessage(Format("Количество \"%s\" у кода \"%s\" не является целым числом",
                             {QuantityOf(loadedRecords_[bad]), KeyOf(loadedRecords_[bad])}));
    return false;
}

void TLoadDataForm::FinishDocumentLoad() {
    view_->SetButtonEnabled(ui::LoadButton::Cancel, true);
    if (loadedRecords_.Count() > 0) {
        view_->SetButtonEnabled(ui::LoadButton::Ok, true);
        view_->FocusButton(ui::LoadButton::Ok);
    }
}

void TLoadDataForm::RunGoodsUpload(const std::string& fileName) {
    struct Finish {
        TLoadDataForm& form;
        ~Finish() { form.FinishGoodsUpload(); }
    } finish{*this};
    std::unique_ptr<TBaseTolvane> driver = CreateDriver();
    std::string errorText;
    driver->UploadDatabase(settings_.DBaseNum, fileName, errorText);
}

void TLoadDataForm::FinishGoodsUpload() {
    view_->SetCancelCaption("Закрыть");
    view_->SetButtonEnabled(ui::LoadButton::Cancel, true);
    view_->FocusButton(ui::LoadButton::Cancel);
}

void TLoadDataForm::ProgressChanged(TBaseTolvane&, int32_t, int32_t max, int32_t position) {
    view_->SetProgress(max, position);
    ui::Current().ProcessMessages();
}

void TLoadDataForm::Action1Execute() {
    if (view_->ButtonEnabled(ui::LoadButton::Ok)) view_->FocusButton(ui::LoadButton::Ok);
    if (view_->ButtonEnabled(ui::LoadButton::Cancel)) view_->Click(ui::LoadButton::Cancel);
}

void TLoadDataForm::Memo1KeyDown(int key) {
    if (key == ui::kKeyEnter && view_->ButtonEnabled(ui::LoadButton::Ok)) view_->Click(ui::LoadButton::Ok);
}

bool TLoadDataForm::FormCloseQuery(ui::ModalResult result) {
    if (result != ui::ModalResult::Cancel || !DataLoaded) return true;
    return ui::Current().ConfirmOkCancel(CloseQuestion(), "Подтверждение", false);
}

std::string ArchiveFileName(TDateTime stamp, int32_t programType, int32_t docNumber) {
    std::string base = std::string(kArchiveFolder) + FormatDateTime("yyyy-mm-dd_hhnnss", stamp) + "_" +
                       (programType == 0 ? "SCANCODE" : "SCANSITY") + "_doc" + std::to_string(docNumber + 1);
    std::string name = base + ".txt";
    for (int n = 2; platform::FileExists(name); ++n) name = base + "_" + std::to_string(n) + ".txt";
    return name;
}

int FirstBadQuantity(const TStringList& records) {
    for (int i = 0; i < records.Count(); ++i)
        if (!TryStrToInt(QuantityOf(records[i]))) return i;
    return -1;
}

}  // namespace tolvane
