// The record side of TCipherIO: field buffers, document download and
// database upload.
#include <cstring>

#include "link/CipherIO.h"
#include "platform/Paths.h"
#include "rtl/Exception.h"
#include "rtl/Format.h"
#include "rtl/Strings.h"

namespace tolvane {

namespace {

bool IsDelimiter(char c, std::string_view delimiters) { return delimiters.find(c) != std::string_view::npos; }

// Calls visit(start, length) for each field, 0-based start; stops when
// visit answers false.
template <typename Visit>
void ForEachField(std::string_view text, std::string_view delimiters, Visit visit) {
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsDelimiter(text[i], delimiters)) ++i;
        if (i == text.size()) break;
        size_t start = i;
        while (i < text.size() && !IsDelimiter(text[i], delimiters)) ++i;
        if (!visit(start, i - start)) break;
    }
}

void CheckSlotCount(const SlotArray& slots) {
    TOLVANE_ASSERT(slots.size() <= MaxRecordFields, "Слишком большое количество полей");
    TOLVANE_ASSERT(!slots.empty(), "Ноль - слишком малое количество полей");
}

// Copies at most 255 characters and always ends the buffer with a zero.
void FillBuffer(char* buffer, const std::string& text) {
    size_t length = std::min(text.size(), size_t(CipherMaxText));
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

constexpr uint32_t UploadLineColor = 0x008000;  // green: red 0, green 128, blue 0
constexpr uint8_t UploadLineAlignment = 1;     // right
constexpr uint8_t UploadLineStyle = 1;         // bold
constexpr int32_t UploadLineNumber = 10;

}  // namespace

int CountFields(std::string_view text, std::string_view delimiters) {
    int count = 0;
    ForEachField(text, delimiters, [&](size_t, size_t) {
        ++count;
        return true;
    });
    return count;
}

int FieldStart(int n, std::string_view text, std::string_view delimiters) {
    int found = 0, position = 0;
    ForEachField(text, delimiters, [&](size_t start, size_t) {
        if (++found < n) return true;
        position = int(start) + 1;
        return false;
    });
    return n >= 1 ? position : 0;
}

std::string ExtractField(int n, std::string_view text, std::string_view delimiters) {
    int found = 0;
    std::string field;
    ForEachField(text, delimiters, [&](size_t start, size_t length) {
        if (++found < n) return true;
        field = text.substr(start, length);
        return false;
    });
    return n >= 1 ? field : std::string();
}

int32_t TCipherIO::ReadCall(TDownloadMode mode, int32_t number, SlotArray& slots) {
    CheckSlotCount(slots);
    const TRecordFunc read = mode == TDownloadMode::Document ? Lib().ReadData : Lib().ReadRecord;
    for (auto& buffer : fieldBuffers_) buffer[0] = '\0';
    auto& f = fieldBuffers_;
    const int32_t answer =
        read(number, f[0].get(), f[1].get(), f[2].get(), f[3].get(), f[4].get(), f[5].get(), f[6].get(), f[7].get());
    if (answer == 1)
        for (size_t k = 0; k < slots.size(); ++k) slots[k] = CipherBufferText(f[k].get());
    return answer;
}

int32_t TCipherIO::ReadDocumentRecord(int32_t document, SlotArray& slots) {
    return ReadCall(TDownloadMode::Document, document, slots);
}

int32_t TCipherIO::ReadBaseRecord(int32_t database, SlotArray& slots) {
    return ReadCall(TDownloadMode::Database, database, slots);
}

bool TCipherIO::WriteBaseRecord(int32_t database, const SlotArray& slots) {
    CheckSlotCount(slots);
    for (size_t k = 0; k < fieldBuffers_.size(); ++k)
        FillBuffer(fieldBuffers_[k].get(), k < slots.size() ? slots[k] : std::string());
    auto& f = fieldBuffers_;
    return CipherBool(Lib().PutRecord(database, f[0].get(), f[1].get(), f[2].get(), f[3].get(), f[4].get(),
                                      f[5].get(), f[6].get(), f[7].get()));
}

std::string TCipherIO::JoinFields(char delimiter, const SlotArray& slots) {
    CheckSlotCount(slots);
    std::string line = slots[0];
    for (size_t k = 1; k < slots.size(); ++k) {
        line += delimiter;
        line += slots[k];
    }
    return line;
}

void TCipherIO::SplitLine(const std::string& line, std::string_view delimiters, SlotArray& slots) {
    CheckSlotCount(slots);
    // More fields than slots would have nowhere to go: refused like a line
    // over the record's 8 fields.
    const int count = CountFields(line, delimiters);
    if (count > int(slots.size())) throw Exception(Format("Количество полей превышает допустимое\r\n%s", {line}));
    int k = 0;
    ForEachField(line, delimiters, [&](size_t start, size_t length) {
        slots[k++] = Trim(std::string_view(line).substr(start, length));
        return true;
    });
    // No text of an earlier line may survive in the slots.
    for (size_t rest = size_t(count); rest < slots.size(); ++rest) slots[rest].clear();
}

void TCipherIO::FireProgress(int32_t stage, int32_t max, int32_t position) {
    if (!OnProgress) return;
    try {
        OnProgress(*this, stage, 0, max, position);
    } catch (...) {
        // A failing handler must not break a transfer that is under way.
    }
}

bool TCipherIO::Download(TDownloadMode mode, int32_t number) {
    CheckReady();
    const int32_t count = mode == TDownloadMode::Document ? DocumentRecordCount(number) : BaseRecordCount(number);
    if (count == 0) throw Exception("Данных для скачивания нет");
    SlotArray slots(MaxRecordFields);
    int32_t calls = 0;
    int32_t answer = 0;
    bool brokenOff = false;
    FireProgress(psBegin, count, 0);
    records_.Clear();
    try {
        do {
            answer = ReadCall(mode, number, slots);
            if (answer == 1) records_.Add(JoinFields(DownloadDelimiter, slots));
            ++calls;
            FireProgress(psStep, count, calls);
            if (answer < 0) records_.Add(Format("Ошибка - %d", {answer}));
        } while (answer == 1);
    } catch (...) {
        // The reading simply ends; the result below tells the caller.
        brokenOff = true;
    }
    FireProgress(psEnd, count, count);
    // Complete only when every announced record came and the reading ended
    // without an error: an error after the last record must not hand its
    // "Ошибка" line to the caller as a record.
    return calls > count && answer >= 0 && !brokenOff;
}

bool TCipherIO::DownloadDocument(int32_t document, TStringList& list) {
    const bool complete = Download(TDownloadMode::Document, document);
    if (complete) list.Assign(records_);
    return complete;
}

TStringList TCipherIO::LoadUploadFile(const std::string& fileName) {
    TStringList lines;
    lines.LoadFromFile(platform::NativePath(fileName));
    for (int i = 0; i < lines.Count(); ++i)
        if (lines[i].find('\0') != std::string::npos)
            throw Exception(Format("Файл %s не является текстовым: в строке %d есть нулевой байт", {fileName, i + 1}));
    return lines;
}

bool TCipherIO::UploadFile(int32_t database, const std::string& fileName) {
    CheckReady();
    SlotArray slots(MaxRecordFields);
    records_.Clear();
    records_ = LoadUploadFile(fileName);
    const int32_t count = records_.Count();
    FireProgress(psBegin, count, 0);
    const TUploadProgressFactory& factory = progressFactory_ ? progressFactory_ : CreateViewerProgress;
    std::unique_ptr<IUploadProgress> progress = factory("Выполняется передача в ТСД...", true, true);
    try {
        for (int32_t i = 0; i < count; ++i) {
            progress->CheckCancel();
            progress->SetPercent(double(i) / count * 100);
            const std::string line = Trim(records_[i]);
            FireProgress(psStep, count, i);
            if (line.empty()) continue;
            SplitLine(line, std::string_view(&UploadDelimiter, 1), slots);
            if (!WriteBaseRecord(database, slots)) {
                FireProgress(psEnd, count, count);
                RaiseLibraryError();
                // A refused record is lost even when the library names no
                // reason, so the upload cannot go on as if it were stored.
                throw Exception(Format("ТСД не принял запись из строки %d файла", {i + 1}));
            }
            progress->SetLine(UploadLineNumber, Format("Передано записей: %d из %d", {i + 1, count}),
                              UploadLineAlignment, false, UploadLineColor, UploadLineStyle, 14, "");
        }
        // The library confirms the last records of an upload only when it
        // ends it: without that answer a record lost on the line would pass
        // for stored.
        if (!CipherBool(Lib().Finish())) {
            FireProgress(psEnd, count, count);
            RaiseLibraryError();
            throw Exception("ТСД не подтвердил приём всех записей");
        }
    } catch (...) {
        progress->Terminate();
        throw;
    }
    progress->Terminate();
    FireProgress(psEnd, count, count);
    return true;
}

void TCipherIO::FinishExchange() { Lib().Finish(); }

}  // namespace tolvane
