// The class registry, creation by ProgID and its failures, and late binding
// against an in-process object.
#include <gtest/gtest.h>

#include "FakeDispatch.h"
#include "TestSupport.h"
#include "platform/Automation.h"
#include "rtl/Exception.h"

using namespace tolvane;
using namespace tolvane::platform;
using tolvane::test::FakeDispatch;
using tolvane::test::TempPrefix;

namespace {

const CLSID kClsid = {0x1234ABCD, 0x0102, 0xA0B0, {1, 2, 3, 4, 5, 6, 7, 0xFE}};

std::string CreationError(const std::string& progId) {
    try {
        CreateOleObject(progId);
    } catch (const EOleError& e) {
        return e.Message();
    }
    return "(created)";
}

TEST(ClassRegistry, GuidTextRoundTripsAndRejectsMalformedText) {
    EXPECT_EQ(GuidToString(kClsid), "{1234ABCD-0102-A0B0-0102-0304050607FE}");
    auto back = StringToGuid("{1234abcd-0102-a0b0-0102-0304050607fe}");
    ASSERT_TRUE(back);
    EXPECT_TRUE(IsEqualGUID(*back, kClsid));
    for (const char* bad : {"", "1234ABCD-0102-A0B0-0102-0304050607FE", "{1234ABCD-0102-A0B0-0102-0304050607FG}",
                            "{1234ABCD+0102-A0B0-0102-0304050607FE}", "{1234ABCD-0102-A0B0-0102-0304050607FE0}"})
        EXPECT_FALSE(StringToGuid(bad)) << bad;
}

TEST(ClassRegistry, RegistersReplacesFindsIgnoringCaseAndUnregisters) {
    TempPrefix prefix;
    ASSERT_TRUE(RegisterServerClass({"Some.Object", kClsid, "/srv/one.dll"}));
    ASSERT_TRUE(RegisterServerClass({"Other.Object", IID_IDispatch, "/srv/other.dll"}));
    ASSERT_TRUE(RegisterServerClass({"SOME.object", kClsid, "/srv/two.dll"}));  // replaces, keeps one entry
    auto found = FindServerClass("some.OBJECT");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->ServerFile, "/srv/two.dll");
    EXPECT_TRUE(IsEqualGUID(found->Clsid, kClsid));
    EXPECT_EQ(test::ReadFile(ClassRegistryFile()).find("one.dll"), std::string::npos);

    ASSERT_TRUE(UnregisterServerClass("Some.Object"));
    EXPECT_FALSE(FindServerClass("Some.Object"));
    EXPECT_EQ(FindServerClass("Other.Object")->ServerFile, "/srv/other.dll");
    EXPECT_TRUE(UnregisterServerClass("Never.Registered"));
}

TEST(CreateOleObject, FailuresRaiseEOleErrorWithClearTexts) {
    TempPrefix prefix;
    EXPECT_EQ(CreationError("No.Such.Object"), "Недопустимая строка с указанием класса");

    const std::string missing = prefix.DriveC("TORV/Missing.dll");
    ASSERT_TRUE(RegisterServerClass({"Missing.Server", kClsid, missing}));
    std::string text = CreationError("Missing.Server");
    EXPECT_NE(text.find("Не удалось загрузить сервер объекта \"Missing.Server\""), std::string::npos) << text;
    EXPECT_NE(text.find(missing), std::string::npos) << text;

    // A loadable file that is no automation server.
    const std::string notServer = test::BinaryDir() + "/libTolvaneRtl.so";
    ASSERT_TRUE(RegisterServerClass({"Not.Server", kClsid, notServer}));
    text = CreationError("Not.Server");
    EXPECT_NE(text.find("не содержит точки входа DllGetClassObject"), std::string::npos) << text;
    EXPECT_NE(text.find(notServer), std::string::npos) << text;
}

class LateBinding : public ::testing::Test {
protected:
    void SetUp() override { fake.AddRef(); }  // the OleObject's reference
    FakeDispatch fake;
    OleObject object{&fake};
};

TEST_F(LateBinding, CallsPassArgumentsInOrderAndReferencesComeBackChanged) {
    fake.On("Read", [](std::vector<VARIANT*>& args, uint16_t) {
        // the object writes through the by-reference arguments
        *args[1]->plVal += 10;
        SysFreeString(*args[2]->pbstrVal);
        *args[2]->pbstrVal = TextToBstr("модель 8001");
        return OleVariant::FromInt(81);
    });
    int32_t count = 5;
    OleVariant model = OleVariant::FromText("");
    OleVariant answer = object.Call("read", {"C:\\TORV\\файл.txt", OleArg::ByRef(count), OleArg::ByRef(model), 1});
    EXPECT_EQ(VarToInt(answer.Get()), 81);
    EXPECT_EQ(count, 15);
    EXPECT_EQ(VarToText(model.Get()), "модель 8001");

    const auto* call = fake.Last("Read");
    ASSERT_TRUE(call);
    EXPECT_EQ(call->flags, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    ASSERT_EQ(call->args.size(), 4u);
    EXPECT_EQ(VarToText(call->args[0].Get()), "C:\\TORV\\файл.txt");
    EXPECT_EQ(call->types, (std::vector<VARTYPE>{VT_BSTR, VT_BYREF | VT_I4, VT_BYREF | VT_BSTR, VT_I4}));
    EXPECT_EQ(VarToInt(call->args[3].Get()), 1);
}

TEST_F(LateBinding, PropertyWritesUseThePropertyPutFormAndReadsTakeNoArguments) {
    int32_t seen = 0;
    fake.On("Port", [&](std::vector<VARIANT*>& args, uint16_t flags) {
        EXPECT_EQ(flags, DISPATCH_PROPERTYPUT);
        seen = VarToInt(*args.at(0));
        return OleVariant();
    });
    fake.Answer("State", OleVariant::FromInt(80));
    int32_t port = 3;
    object.Set("Port", OleArg::ByRef(port));
    EXPECT_EQ(seen, 3);
    EXPECT_EQ(VarToInt(object.Get("State").Get()), 80);
    EXPECT_TRUE(fake.Last("State")->args.empty());
}

TEST_F(LateBinding, UnknownMembersAndObjectExceptionsRaiseEOleError) {
    fake.On("Fail", [](std::vector<VARIANT*>&, uint16_t) -> OleVariant { throw Exception("порт занят"); });
    EXPECT_THROW(
        {
            try {
                object.Call("Fail");
            } catch (const EOleError& e) {
                EXPECT_EQ(e.Message(), "порт занят");
                throw;
            }
        },
        EOleError);
    try {
        object.Get("Nothing");
        FAIL() << "an unknown member was accepted";
    } catch (const EOleError& e) {
        EXPECT_EQ(e.Message(), "Метод 'Nothing' не поддерживается объектом автоматизации");
    }
}

TEST_F(LateBinding, CopiesShareTheObjectAndReleaseTheirReferences) {
    {
        OleObject copy = object;
        EXPECT_EQ(fake.references, 3);
    }
    EXPECT_EQ(fake.references, 2);
    object.Clear();
    EXPECT_TRUE(object.IsNull());
    EXPECT_EQ(fake.references, 1);
    EXPECT_THROW(object.Get("State"), EVariantError);
}

}  // namespace
