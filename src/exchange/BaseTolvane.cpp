#include "exchange/BaseTolvane.h"

#include "exchange/LoadDataUnit.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "rtl/Format.h"
#include "ui/UserInterface.h"

namespace tolvane {

TBaseTolvane::TBaseTolvane(int32_t, int32_t, bool, TStringList& messageLines, const std::string&)
    : MessageLines(messageLines) {}

void TBaseTolvane::AddMessage(const std::string& text) {
    MessageLines.Add(text);
    WriteDriverLog(text);
    if (ui::Installed()) ui::Current().ProcessMessages();
}

int32_t TBaseTolvane::LoadDocument(int32_t docNumber, TStringList& records) {
    AddMessage(Format("Начало загрузки документа №%d", {docNumber + 1}));
    int32_t count = DoReadDocument(docNumber, records);
    if (count <= 0) AddMessage("Загрузка завершена (записи не были загружены)");
    else AddMessage(Format("Загрузка завершена. Получено %d записей", {count}));
    return count;
}

void TBaseTolvane::DeleteDocument(int32_t docNumber, std::string& errorText) {
    DoDeleteDocument(docNumber, errorText);
    if (errorText.empty()) AddMessage(Format("Документ №%d успешно удален", {docNumber + 1}));
    else AddMessage(Format("Ошибка при удалении документа №%d: ", {docNumber + 1}) + errorText);
}

void TBaseTolvane::UploadDatabase(int32_t dbaseNum, const std::string& fileName, std::string& errorText) {
    AddMessage(Format("Начало загрузки в ТСД базы данных №%d", {dbaseNum}));
    if (!platform::FileExists(fileName)) {
        errorText = "Ошибка! Файл не найден: " + fileName;
        AddMessage(errorText);
        return;
    }
    int32_t count;
    {
        TStringList lines;
        lines.LoadFromFile(platform::NativePath(fileName));
        count = lines.Count();
    }
    AddMessage("Количество записей в базе данных: " + std::to_string(count));
    DoWriteDatabase(dbaseNum, fileName, count, errorText);
    if (!errorText.empty()) AddMessage("Ошибка загрузки базы данных в ТСД: " + errorText);
    else AddMessage("Загрузка базы данных в ТСД завершена");
}

void TBaseTolvane::DoDeleteDocument(int32_t, std::string& errorText) { errorText.clear(); }

int32_t TBaseTolvane::DoReadDocument(int32_t, TStringList& records) {
    records.Clear();
    return 0;
}

void TBaseTolvane::DoWriteDatabase(int32_t, const std::string&, int32_t, std::string& errorText) {
    errorText.clear();
}

void TBaseTolvane::FireProgress(int32_t min, int32_t max, int32_t position) {
    if (OnProgress) OnProgress(*this, min, max, position);
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

char DelimiterFromText(const std::string& text) {
    if (text.empty()) return '\t';
    uint64_t value = 0;
    for (char c : text) {
        int digit = HexDigit(c);
        if (digit < 0) return '\t';
        value = value * 16 + uint64_t(digit);
        if (value > UINT32_MAX) return '\t';
    }
    return char(value & 0xFF);
}

}  // namespace tolvane
