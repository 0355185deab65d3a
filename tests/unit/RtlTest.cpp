// The runtime conventions: formatting, number and date conversions, string
// lists, code page conversion, Variants.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "rtl/DateTime.h"
#include "rtl/Encoding.h"
#include "rtl/Exception.h"
#include "rtl/FileNames.h"
#include "rtl/Format.h"
#include "rtl/StringList.h"
#include "rtl/Strings.h"
#include "rtl/Variants.h"

using namespace tolvane;

namespace {

const TFormatSettings kDot{'.'};

TEST(Format, Specifiers) {
    struct Case {
        std::string format;
        std::string expected;
    };
    // One argument list for every row: 42, "abc", -7, 255, 2.5
    const Case cases[] = {
        {"%d", "42"},
        {"[%5d]", "[   42]"},
        {"[%-5d]", "[42   ]"},
        {"%.4d", "0042"},
        {"%1:s", "abc"},
        {"%2:d", "-7"},
        {"%3:x", "FF"},
        {"%3:.4x", "00FF"},
        {"%4:f", "2.50"},
        {"%4:.1f", "2.5"},
        {"%4:g", "2.5"},
        {"%1:s %0:d %1:s", "abc 42 abc"},
        {"%1:.2s", "ab"},
        {"100%%", "100%"},
        {"%d %s", "42 abc"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Format(c.format, {42, "abc", -7, 255, 2.5}, kDot), c.expected) << c.format;
}

TEST(Format, BadSpecifierOrArgumentRaisesConvertError) {
    for (std::string bad : {"%d %d %d", "%s", "%q", "%"}) {
        try {
            Format(bad, {1, 2.0});
            ADD_FAILURE() << bad;
        } catch (const EConvertError& e) {
            EXPECT_NE(e.Message().find("invalid or incompatible"), std::string::npos);
        }
    }
}

TEST(Strings, StrToIntFollowsValRules) {
    struct Case {
        const char* text;
        std::optional<int32_t> value;
    };
    const Case cases[] = {
        {"0", 0},           {"  17", 17},          {"-2147483648", INT32_MIN}, {"2147483647", INT32_MAX},
        {"2147483648", {}}, {"$FF", 255},          {"0x10", 16},               {"$FFFFFFFF", -1},
        {"+5", 5},          {"12 ", {}},           {"", {}},                   {"abc", {}},
        {"1.5", {}},        {"-", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(TryStrToInt(c.text), c.value) << "'" << c.text << "'";
    EXPECT_THROW(StrToInt("x1"), EConvertError);
    EXPECT_EQ(StrToIntDef("nope", 7), 7);
}

TEST(Strings, FloatTextHonoursDecimalSeparator) {
    TFormatSettings comma;  // the system default: decimal comma
    EXPECT_EQ(StrToFloat("2,5", comma), 2.5);
    EXPECT_FALSE(TryStrToFloat("2.5", comma));
    EXPECT_EQ(StrToFloat(" -1.25E2 ", kDot), -125);
    EXPECT_FALSE(TryStrToFloat("1e", kDot));
    EXPECT_FALSE(TryStrToFloat(".", kDot));

    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {{2.5, "2.5"},   {3, "3"},        {0.1 + 0.2, "0.3"}, {1e15, "1E15"},
                          {1e14, "100000000000000"}, {0.0001, "0.0001"}, {0.00001, "1E-5"},
                          {-0.0, "0"},   {-12.75, "-12.75"}, {1.5e-7, "1.5E-7"}};
    for (const auto& c : cases) EXPECT_EQ(FloatToStr(c.value, kDot), c.text);
    EXPECT_EQ(FloatToStr(2.5, comma), "2,5");
}

TEST(Strings, AnsiCaseMappingCoversCyrillic) {
    EXPECT_EQ(AnsiLowerCase("ABC АБВ ЯЁ Ўў"), "abc абв яё ўў");
    EXPECT_EQ(AnsiUpperCase("хлеб ё"), "ХЛЕБ Ё");
    EXPECT_TRUE(AnsiSameText("Хлеб", "ХЛЕБ"));
    EXPECT_EQ(Trim("\t\r\n x y \x01"), "x y");
}

TEST(Encoding, RoundTripsEveryMappedByte) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        if (b != 0x98) all += char(b);
    EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all)), all);
    EXPECT_EQ(Utf16ToCp1251(Cp1251ToUtf16(all)), all);
    EXPECT_EQ(Cp1251ToUtf8("№ Ёж"), "\xE2\x84\x96 \xD0\x81\xD0\xB6");
    EXPECT_EQ(Utf8ToCp1251("\xE2\x82\xAC\xF0\x9F\x98\x80"), "\x88?");  // euro sign, then no mapping
    EXPECT_EQ(Utf8ToCp1251("a\xFF" "b"), "a?b");
}

TEST(DateTime, EncodesFormatsAndParses) {
    TDateTime dt = EncodeDate(2010, 12, 9) + EncodeTime(14, 3, 7, 45);
    EXPECT_DOUBLE_EQ(std::floor(dt), 40521);
    TFormatSettings log;
    log.DateSeparator = '.';
    EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn:ss.zzz", dt, log), "09.12.2010 14:03:07.045");
    EXPECT_EQ(FormatDateTime("d/m/yy h:mm", dt, log), "9.12.10 14:03");
    EXPECT_EQ(FormatDateTime("'at' hh", dt, log), "at 14");

    TFormatSettings ini;
    ini.ShortDateFormat = "dd.mm.yyyy";
    EXPECT_DOUBLE_EQ(StrToDate("09.12.2010", ini), EncodeDate(2010, 12, 9));
    EXPECT_NEAR(StrToDateTime("09.12.2010 14:03:07.045", ini), dt, 1e-9);
    EXPECT_NEAR(StrToTime("14:03", ini), EncodeTime(14, 3, 0, 0), 1e-9);
    for (const char* bad : {"31.02.2010", "09.12.2010x", "", "25:00"})
        EXPECT_FALSE(TryStrToDateTime(bad, ini)) << bad;

    DateParts d = DecodeDate(EncodeDate(1900, 3, 1));
    EXPECT_EQ(d.Year * 10000 + d.Month * 100 + d.Day, 19000301);
    EXPECT_THROW(EncodeDate(2011, 2, 29), EConvertError);
    EXPECT_TRUE(IsValidDate(2012, 2, 29));
}

TEST(StringList, SplitsAnyLineBreakAndJoinsWithCrLf) {
    TStringList list;
    list.SetText("a\r\nb\nc\rd\r\n\r\ne");
    ASSERT_EQ(list.Count(), 6);
    EXPECT_EQ(list[2], "c");
    EXPECT_EQ(list[4], "");
    EXPECT_EQ(list.Text(), "a\r\nb\r\nc\r\nd\r\n\r\ne\r\n");
    EXPECT_EQ(list.IndexOf("D"), 3);
    EXPECT_THROW(list[6], EListError);

    TStringList pairs{"Хлеб=2", "milk=3"};
    EXPECT_EQ(pairs.Values("ХЛЕБ"), "2");
    pairs.SetValue("MILK", "5");
    EXPECT_EQ(pairs[1], "MILK=5");
    EXPECT_EQ(pairs.Names(0), "Хлеб");
}

TEST(StringList, LoadsBytesAsTheyAreAndRefusesWhatIsNoFile) {
    char folder[] = "/tmp/tolvane-rtl-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string file = std::string(folder) + "/lines.txt";
    TStringList written{"\xC0\xE1\xE2", "", "tail"};
    written.SaveToFile(file);
    TStringList read;
    read.LoadFromFile(file);
    EXPECT_EQ(read.Lines(), written.Lines());
    // A folder opens like a file on this platform but reads nothing: it must
    // not load as an empty list.
    EXPECT_THROW(read.LoadFromFile(folder), EFOpenError);
    EXPECT_THROW(read.LoadFromFile(file + ".missing"), EFOpenError);
    EXPECT_EQ(read.Lines(), written.Lines());
    std::remove(file.c_str());
    rmdir(folder);
}

TEST(Exception, CloneKeepsClassAndRaisesByDynamicType) {
    EConvertError original("inner");
    const Exception& base = original;
    auto clone = base.CloneWithMessage("outer");
    EXPECT_STREQ(clone->ClassName(), "EConvertError");
    EXPECT_EQ(clone->Message(), "outer");
    EXPECT_THROW(clone->Raise(), EConvertError);
    EXPECT_THROW(TOLVANE_ASSERT(1 == 2, "broken"), EAssertionFailed);
}

TEST(Variant, ArrayOfPairsRoundTripsThroughOleFunctions) {
    SAFEARRAY* outer = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    ASSERT_NE(outer, nullptr);
    for (int32_t i = 0; i < 2; ++i) {
        OleVariant pair;
        pair.Get().vt = VT_ARRAY | VT_VARIANT;
        pair.Get().parray = SafeArrayCreateVector(VT_VARIANT, 0, 2);
        int32_t k0 = 0, k1 = 1;
        OleCheck(SafeArrayPutElement(pair.Get().parray, &k0, OleVariant::FromText(i ? "Хлеб" : "460").Ptr()));
        OleCheck(SafeArrayPutElement(pair.Get().parray, &k1, OleVariant::FromInt(i + 5).Ptr()));
        OleCheck(SafeArrayPutElement(outer, &i, pair.Ptr()));
    }
    OleVariant all;
    all.Get().vt = VT_ARRAY | VT_VARIANT;
    all.Get().parray = outer;
    OleVariant copy(all.Get());  // deep copy; both are cleared independently

    int32_t one = 1, zero = 0, two = 2;
    OleVariant pair, code;
    OleCheck(SafeArrayGetElement(copy.Get().parray, &one, pair.Ptr()));
    OleCheck(SafeArrayGetElement(pair.Get().parray, &zero, code.Ptr()));
    EXPECT_EQ(VarToText(code.Get()), "Хлеб");
    EXPECT_EQ(SafeArrayGetElement(copy.Get().parray, &two, pair.Ptr()), DISP_E_BADINDEX);
    int32_t upper = 0;
    OleCheck(SafeArrayGetUBound(copy.Get().parray, 1, &upper));
    EXPECT_EQ(upper, 1);
}

TEST(Variant, ChangeTypeToTextAndInteger) {
    EXPECT_EQ(VarToInt(OleVariant::FromText(" 42 ").Get()), 42);
    EXPECT_EQ(VarToText(OleVariant::FromInt(-3).Get()), "-3");
    EXPECT_THROW(VarToInt(OleVariant::FromText("4x").Get()), EVariantError);
    EXPECT_THROW(VarToInt(OleVariant::FromText("3000000000").Get()), EVariantError);
    EXPECT_THROW(VarToText(OleVariant::Null().Get()), EVariantError);
    VARIANT d;
    VariantInit(&d);
    d.vt = VT_R8;
    d.dblVal = 2.5;
    EXPECT_EQ(VarToInt(d), 2);  // banker's rounding, as OLE does
}

TEST(FileNames, SplitFolderNameAndExtension) {
    struct Case {
        std::string name, path, file, ext;
    };
    const Case cases[] = {
        {"C:\\TORV\\LogFiles\\PDT.log", "C:\\TORV\\LogFiles\\", "PDT.log", ".log"},
        {"/tmp/a.b/PDT.log001", "/tmp/a.b/", "PDT.log001", ".log001"},
        {"C:PDT", "C:", "PDT", ""},
        {"PDT.log", "", "PDT.log", ".log"},
        {"C:\\dir.d\\noext", "C:\\dir.d\\", "noext", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractFilePath(c.name), c.path) << c.name;
        EXPECT_EQ(ExtractFileName(c.name), c.file) << c.name;
        EXPECT_EQ(ExtractFileExt(c.name), c.ext) << c.name;
    }
    EXPECT_EQ(IncludeTrailingPathDelimiter("C:\\TORV"), "C:\\TORV\\");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/opt/bin"), "/opt/bin/");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/opt/bin/"), "/opt/bin/");
}

}  // namespace
