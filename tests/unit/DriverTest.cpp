// The host operations' own behaviour and the tools unit.
#include <gtest/gtest.h>

#include "driver/DriverSettings.h"
#include "driver/PDTCipherDrv.h"
#include "driver/Tools.h"
#include "rtl/Variants.h"

using namespace tolvane;

namespace {

TEST(ChainException, BuildsContextArrowInnerAndOptionalClassName) {
    EConvertError inner("bad number");
    auto plain = ChainException(inner, "Ошибка", false);
    EXPECT_EQ(plain->Message(), "Ошибка -> bad number");
    EXPECT_STREQ(plain->ClassName(), "EConvertError");

    auto named = ChainException(inner, "ctx", true);
    EXPECT_EQ(named->Message(), "ctx -> bad number <# EConvertError #>");
    auto again = ChainException(*named, "outer", true);
    EXPECT_EQ(again->Message(), "outer -> ctx -> bad number <# EConvertError #>");
}

TEST(GetWindowsDirPath, IsTheWindowsDirectoryWithBackslash) {
    EXPECT_EQ(GetWindowsDirPath(), "C:\\windows\\");
}

class Operations : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = DriverSettings;
        driver_ = CreateDriverObject();
    }
    void TearDown() override {
        DriverSettings = saved_;
        delete driver_;  // the library never frees its objects; the test owns this one
    }
    TDriverSettings saved_;
    TPDTCipherDrv* driver_ = nullptr;
};

TEST_F(Operations, LoadDataRefusesAnUnsetPortAndLeavesTheVariant) {
    for (int port : {0, -1}) {
        DriverSettings.ComPort = port;
        OleVariant result = OleVariant::FromInt(77);
        try {
            driver_->Table->LoadData(result.Ptr(), driver_);
            ADD_FAILURE() << "port " << port;
        } catch (const Exception& e) {
            EXPECT_STREQ(e.ClassName(), "Exception");
            EXPECT_EQ(e.Message(), "Номер СОМ-порта для Cipher не задан!");
        }
        EXPECT_EQ(result.Get().vt, VT_I4);
        EXPECT_EQ(result.Get().lVal, 77);
    }
}

TEST_F(Operations, VersionAndNameIgnoreSettings) {
    DriverSettings.ProgramType = 5;
    EXPECT_EQ(driver_->Table->GetVersion(driver_), 200);
    std::string name = "previous value that is longer";
    driver_->Table->GetDriverName(&name, driver_);
    EXPECT_EQ(name, "Cipher");
}

TEST_F(Operations, SendGoodsChainsEveryFailureWithItsContext) {
    const std::string prefix = "Ошибка при передаче номенклатуры товаров в ТСД -> ";
    OleVariant notArray = OleVariant::FromText("C:\\goods.txt");
    OleVariant noZero;
    noZero.Get().vt = VT_ARRAY | VT_VARIANT;
    noZero.Get().parray = SafeArrayCreateVector(VT_VARIANT, 1, 1);
    for (OleVariant* v : {&notArray, &noZero}) {
        try {
            driver_->Table->SendGoods(driver_, v->Get());
            ADD_FAILURE();
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message().rfind(prefix, 0), 0u) << e.Message();
        }
    }
    // The caller still owns what it passed.
    EXPECT_EQ(noZero.Get().vt, VT_ARRAY | VT_VARIANT);
    EXPECT_NE(noZero.Get().parray, nullptr);
}

}  // namespace
