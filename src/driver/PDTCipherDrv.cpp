// The driver object and its five host operations.
#include "driver/PDTCipherDrv.h"

#include "driver/DriverSettings.h"
#include "driver/SettingsDialog.h"
#include "driver/Tools.h"
#include "driver/Units.h"
#include "exchange/Exchange.h"
#include "rtl/Variants.h"

namespace tolvane {

namespace {

void CheckStarted() {
    if (const Exception* failure = StartupFailure()) failure->Raise();
}

void TOLVANE_STDCALL LoadData(VARIANT* result, TPDTCipherDrv*) {
    CheckStarted();
    if (DriverSettings.ComPort < 1) throw Exception("Номер СОМ-порта для Cipher не задан!");
    LoadDocuments(*result, DriverSettings);
}

void TOLVANE_STDCALL ShowSettingsOp(TPDTCipherDrv*) {
    CheckStarted();
    ShowSettings();
}

int32_t TOLVANE_STDCALL GetVersion(TPDTCipherDrv*) { return 200; }

void TOLVANE_STDCALL GetDriverName(std::string* result, TPDTCipherDrv*) { *result = "Cipher"; }

// Element 0 of the Variant's one-dimensional array, as text.
std::string GoodsFileName(const VARIANT& goods) {
    const VARIANT& v = goods.vt == (VT_BYREF | VT_VARIANT) ? *goods.pvarVal : goods;
    if (!(v.vt & VT_ARRAY) || !v.parray || SafeArrayGetDim(v.parray) != 1)
        throw EVariantError("Variant is not an array");
    OleVariant element;
    int32_t index = 0;
    if (FAILED(SafeArrayGetElement(v.parray, &index, element.Ptr())))
        throw EVariantError("Variant or safe array index out of bounds");
    return VarToText(element.Get());
}

void TOLVANE_STDCALL SendGoods(TPDTCipherDrv*, VARIANT goods) {
    OleVariant own(goods);  // the caller keeps what it passed
    try {
        CheckStarted();
        UploadGoods(GoodsFileName(own.Get()), DriverSettings);
    } catch (const Exception& e) {
        ChainException(e, "Ошибка при передаче номенклатуры товаров в ТСД", false)->Raise();
    }
}

constexpr TPDTCipherDrvTable kTable = {LoadData, ShowSettingsOp, GetVersion, GetDriverName, SendGoods};

}  // namespace

constinit TPDTCipherDrv* DriverInstance = nullptr;

TPDTCipherDrv* CreateDriverObject() { return new TPDTCipherDrv{&kTable}; }

}  // namespace tolvane
