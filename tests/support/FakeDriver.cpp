#include "FakeDriver.h"

#include "rtl/Exception.h"

namespace tolvane::test {

FakeTerminal* terminal = nullptr;

namespace {

class FakeDriver : public TBaseTolvane {
public:
    FakeDriver(int32_t port, int32_t baud, bool cradle, TStringList& lines, const std::string& delimiter)
        : TBaseTolvane(port, baud, cradle, lines, delimiter) {
        AddMessage("fake terminal connected");
        if (terminal->failCreate) throw Exception("Нет ответа от терминала");
    }
    ~FakeDriver() override { ++terminal->destroyed; }

protected:
    int32_t DoReadDocument(int32_t, TStringList& records) override {
        ++terminal->reads;
        records.Clear();
        for (const auto& line : terminal->document) records.Add(line);
        FireProgress(0, int32_t(terminal->document.size()), int32_t(terminal->document.size()));
        return records.Count();
    }
    void DoDeleteDocument(int32_t, std::string& errorText) override {
        ++terminal->deletes;
        errorText = terminal->deleteError;
    }
    void DoWriteDatabase(int32_t, const std::string&, int32_t count, std::string& errorText) override {
        ++terminal->writes;
        terminal->writtenRecordCount = count;
        errorText = terminal->writeError;
    }
};

std::unique_ptr<TBaseTolvane> CreateFake(int32_t port, int32_t baud, bool cradle, TStringList& lines,
                                         const std::string& delimiter) {
    return std::make_unique<FakeDriver>(port, baud, cradle, lines, delimiter);
}

}  // namespace

TBaseTolvaneClass FakeClass(int32_t) { return CreateFake; }

}  // namespace tolvane::test
