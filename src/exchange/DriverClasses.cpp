#include "exchange/BaseTolvane.h"
#include "exchange/CipherScanCodePDT.h"
#include "rtl/Exception.h"

namespace tolvane {

namespace {

std::unique_ptr<TBaseTolvane> CreateScanSity(int32_t, int32_t, bool, TStringList&, const std::string&) {
    throw ENotBuilt("Драйвер ТСД с прошивкой SCANSITY ещё не реализован в этой сборке");
}

}  // namespace

TBaseTolvaneClass DriverClassFor(int32_t programType) { return programType == 0 ? TCipherScanCodePDT::Create : CreateScanSity; }

}  // namespace tolvane
