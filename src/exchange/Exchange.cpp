#include "exchange/Exchange.h"

#include "rtl/Exception.h"

namespace tolvane {

void LoadDocuments(VARIANT&, const TDriverSettings&) {
    throw ENotBuilt("Загрузка документа из ТСД ещё не реализована в этой сборке драйвера");
}

void UploadGoods(const std::string&, const TDriverSettings&) {
    throw ENotBuilt("Передача номенклатуры в ТСД ещё не реализована в этой сборке драйвера");
}

}  // namespace tolvane
