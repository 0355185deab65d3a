// The real server file in a prefix prepared by `tolvane init`: registration
// with REGSVR32.EXE, creation by ProgID through its class factory, and the
// SCANSITY driver registering it on first use.
#include <gtest/gtest.h>

#include "ScriptedUi.h"
#include "TestSupport.h"
#include "exchange/CipherCitySoftPDT.h"
#include "platform/Automation.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "rtl/Exception.h"

using namespace tolvane;
using namespace tolvane::platform;

namespace {

const char* const kProgId = "CitySoftWarehouseDOS.Cpt";
const char* const kRegister = "REGSVR32.EXE /s \"C:\\TORV\\CitySoftWarehouseDos_OLE.dll\"";

class ScanSityServer : public ::testing::Test {
protected:
    void SetUp() override {
        auto init = test::RunCommand(test::BinaryDir() + "/tolvane --prefix '" + prefix.Path() + "' init");
        ASSERT_EQ(init.status, 0) << init.err;
    }
    test::TempPrefix prefix;
};

TEST_F(ScanSityServer, Regsvr32RegistersAndUnregistersTheServerFile) {
    EXPECT_FALSE(FindServerClass(kProgId)) << "init registers nothing";
    EXPECT_THROW(CreateOleObject(kProgId), EOleError);

    EXPECT_EQ(RunAndWait(kRegister), 0u);
    auto entry = FindServerClass(kProgId);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->ServerFile, prefix.DriveC("TORV/CitySoftWarehouseDos_OLE.dll"));

    OleObject object = CreateOleObject(kProgId);
    EXPECT_EQ(VarToInt(object.Get("Enabled").Get()), 0);
    EXPECT_EQ(VarToInt(object.Get("State").Get()), 2) << "no port open yet";
    int32_t port = 7;
    object.Set("Port", OleArg::ByRef(port));
    EXPECT_EQ(VarToInt(object.Get("port").Get()), 7) << "names are resolved ignoring case";
    object.Clear();

    EXPECT_EQ(RunAndWait("regsvr32.exe /u /s C:\\TORV\\CitySoftWarehouseDos_OLE.dll"), 0u);
    EXPECT_FALSE(FindServerClass(kProgId));
    EXPECT_EQ(RunAndWait("REGSVR32.EXE /s C:\\TORV\\Missing.dll"), 3u);
    EXPECT_EQ(RunAndWait("REGSVR32.EXE /s \"" + test::BinaryDir() + "/libTolvaneRtl.so\""), 4u);
}

TEST_F(ScanSityServer, TheDriverRegistersTheServerOnFirstUse) {
    test::ScriptedUi::Install();
    TStringList memo;
    try {
        TCipherCitySoftPDT driver(1, 1, false, memo, "09");
        // Without a terminal line the object's InitComm fails; with one the
        // driver gets as far as the terminal lets it.
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message().rfind("ОШИБКА Cipher: ", 0), 0u) << e.Message();
    }
    EXPECT_GE(memo.IndexOf("Регистрация прошла успешно!\r\n"), 0);
    EXPECT_TRUE(FindServerClass(kProgId));

    // Registered now: the next driver creates the object at once.
    TStringList second;
    try {
        TCipherCitySoftPDT driver(1, 1, false, second, "09");
    } catch (const Exception&) {
    }
    EXPECT_LT(second.IndexOf("Регистрация прошла успешно!\r\n"), 0);
}

}  // namespace
