#include "exchange/Exchange.h"

#include "exchange/LoadDataForm.h"
#include "exchange/LoadDataUnit.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "rtl/Exception.h"
#include "rtl/Strings.h"
#include "rtl/Variants.h"

namespace tolvane {

namespace {

const char* const kTestFile = "C:\\TORV\\PDTTest.txt";

TStringList& Records() {
    if (!LoadedRecords) throw Exception("Модуль обмена с ТСД не инициализирован");
    return *LoadedRecords;
}

// [code as text, quantity as a 32-bit integer]
OleVariant PairOf(const std::string& line) {
    size_t eq = line.find('=');
    std::string key = eq == std::string::npos ? line : line.substr(0, eq);
    std::string quantity = eq == std::string::npos ? std::string() : line.substr(eq + 1);
    OleVariant pair;
    pair.Get().vt = VT_ARRAY | VT_VARIANT;
    pair.Get().parray = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    if (!pair.Get().parray) throw EOleError("Недостаточно памяти для результата загрузки");
    int32_t first = 0, second = 1;
    OleCheck(SafeArrayPutElement(pair.Get().parray, &first, OleVariant::FromText(key).Ptr()));
    OleCheck(SafeArrayPutElement(pair.Get().parray, &second, OleVariant::FromInt(StrToInt(quantity)).Ptr()));
    return pair;
}

// The whole array is built before it is handed over, so a line that does
// not convert leaves the host's result Null rather than half filled.
OleVariant ResultArray(const TStringList& records) {
    OleVariant result;
    result.Get().vt = VT_ARRAY | VT_VARIANT;
    result.Get().parray = SafeArrayCreateVector(VT_VARIANT, 0, uint32_t(records.Count()));
    if (!result.Get().parray) throw EOleError("Недостаточно памяти для результата загрузки");
    for (int32_t i = 0; i < records.Count(); ++i)
        OleCheck(SafeArrayPutElement(result.Get().parray, &i, PairOf(records[i]).Ptr()));
    return result;
}

}  // namespace

void LoadDocuments(VARIANT& result, const TDriverSettings& settings, TBaseTolvaneClass (*driverClassFor)(int32_t)) {
    TLoadDataForm form(settings, Records(), driverClassFor);
    form.Mode = 0;
    OleCheck(VariantClear(&result));
    result.vt = VT_NULL;
    Records().Clear();
    bool accepted;
    if (platform::FileExists(kTestFile)) {
        Records().LoadFromFile(platform::NativePath(kTestFile));
        accepted = true;
    } else {
        accepted = form.ShowModal() == ui::ModalResult::Ok;
    }
    if (!accepted || Records().Count() == 0) return;
    OleVariant array = ResultArray(Records());
    OleCheck(VariantClear(&result));
    result = array.Detach();
}

void UploadGoods(const std::string& fileName, const TDriverSettings& settings,
                 TBaseTolvaneClass (*driverClassFor)(int32_t)) {
    TLoadDataForm form(settings, Records(), driverClassFor);
    form.Mode = 1;
    form.GoodsFileName = fileName;
    form.ShowModal();
}

}  // namespace tolvane
