// A host written against the public header alone: it loads the library
// with dlopen and reaches it only through InitDll and the operation table.
#include <gtest/gtest.h>
#include <tolvane/tolvane.h>

#include <dlfcn.h>

#include <cstdlib>

#include "TestSupport.h"

namespace {

class HostAbi : public ::testing::Test {
protected:
    void SetUp() override {
        // The backend is chosen when the library loads: no window may wait
        // for an operator during the test, whatever display is around.
        setenv("TOLVANE_UI", "batch", 1);
        library_ = dlopen((tolvane::test::BinaryDir() + "/libTolvane.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << dlerror();
        initDll_ = reinterpret_cast<TInitDllFunc>(dlsym(library_, "InitDll"));
        ASSERT_NE(initDll_, nullptr);
        ASSERT_NE(dlsym(library_, "GetVersionExists"), nullptr);
    }
    tolvane::test::TempPrefix prefix_;  // an empty prefix: no settings, port not set
    void* library_ = nullptr;
    TInitDllFunc initDll_ = nullptr;
};

TEST_F(HostAbi, InitDllReturnsOneVariableHoldingTheNewestObject) {
    TPDTCipherDrv** first = initDll_();
    TPDTCipherDrv* firstObject = *first;
    TPDTCipherDrv** second = initDll_();
    EXPECT_EQ(first, second);
    EXPECT_NE(*second, firstObject);
    EXPECT_EQ(sizeof(TPDTCipherDrv), sizeof(void*));
    for (TPDTCipherDrv* object : {firstObject, *second}) {
        EXPECT_EQ(object->Table->GetVersion(object), 200);
        std::string name;
        object->Table->GetDriverName(&name, object);
        EXPECT_EQ(name, "Cipher");
    }
}

TEST_F(HostAbi, EverySlotAnswersAndFailuresArriveByType) {
    TPDTCipherDrv* driver = *initDll_();
    VARIANT result;
    VariantInit(&result);
    try {
        driver->Table->LoadData(&result, driver);
        ADD_FAILURE() << "LoadData should refuse an unset port";
    } catch (const tolvane::Exception& e) {
        EXPECT_EQ(e.Message(), "\xCD\xEE\xEC\xE5\xF0 \xD1\xCE\xCC-\xEF\xEE\xF0\xF2\xE0 \xE4\xEB\xFF Cipher \xED\xE5 \xE7\xE0\xE4\xE0\xED!");
        EXPECT_STREQ(e.ClassName(), "Exception");
    }
    EXPECT_EQ(result.vt, VT_EMPTY);

    VARIANT goods;
    VariantInit(&goods);
    try {
        driver->Table->SendGoods(driver, goods);
        ADD_FAILURE() << "SendGoods without an array must fail";
    } catch (const tolvane::Exception& e) {
        EXPECT_NE(e.Message().find(" -> "), std::string::npos);
    }
    // ShowSettings either runs (a later build) or raises a clear error; it
    // must never crash the host.
    try {
        driver->Table->ShowSettings(driver);
    } catch (const tolvane::Exception& e) {
        EXPECT_FALSE(e.Message().empty());
    }
}

}  // namespace
