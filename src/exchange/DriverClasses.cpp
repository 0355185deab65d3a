#include "exchange/BaseTolvane.h"
#include "exchange/CipherCitySoftPDT.h"
#include "exchange/CipherScanCodePDT.h"

namespace tolvane {

TBaseTolvaneClass DriverClassFor(int32_t programType) {
    return programType == 0 ? TCipherScanCodePDT::Create : TCipherCitySoftPDT::Create;
}

}  // namespace tolvane
