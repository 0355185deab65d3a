// The guarded INI file: mutex names, the stored form of long and multi-line
// values, typed values, and every error with its context.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

#include "TestSupport.h"
#include "platform/Profile.h"
#include "rtl/DateTime.h"
#include "rtl/Strings.h"
#include "support/SafeIniFile.h"

using namespace tolvane;
using tolvane::test::TempPrefix;

namespace {

TEST(IniMutexName, LowerCasesAndReplacesWhatANameCannotHold) {
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\WINDOWS\\Trade.ini", "ini file lock mutexc__windows_trade.ini"},
        {"C:\\\\WINDOWS\\\\\\Trade.ini", "ini file lock mutexc__windows_trade.ini"},
        {"C:/Dir/a\"*<>?|b.ini", "ini file lock mutexc__dir_a______b.ini"},
        {"C:\\Мои Файлы\\Ёж.ini", "ini file lock mutexc__мои файлы_ёж.ini"},
        {"\\\\server\\share\\x.ini", "ini file lock mutex_server_share_x.ini"},
    };
    for (const auto& [path, name] : cases) EXPECT_EQ(IniMutexName(IniMutexPrefix, path), name) << path;
}

TEST(ValueHash, RotatingSumOfTheBytes) {
    EXPECT_EQ(ValueHash("abc"), 397824173u);
    EXPECT_EQ(ValueHash(""), 0u);
    EXPECT_NE(ValueHash("ab"), ValueHash("ba"));
    // Bytes above 127 count as unsigned.
    uint32_t h = 0xE9;
    h -= (h << 13) | (h >> 19);
    EXPECT_EQ(ValueHash("\xE9"), h);
}

std::string Repeat(char c, size_t n) { return std::string(n, c); }

TEST(SplitValue, EncodesLineBreaksCutsAndQuotes) {
    const std::string full = Repeat('a', MaxValuePart);
    struct Case {
        std::string text;
        std::vector<std::string> parts;
    };
    const Case cases[] = {
        {"", {}},
        {"a\r\nb", {"a<@\\n@>b"}},
        {"a\nb\n", {"a<@\\n@>b<@\\n@>"}},
        {"a\rb", {"ab"}},
        {" x", {"\" x\""}},
        {"x\t", {"\"x\t\""}},
        {"\"q", {"\"\"q\""}},
        {"'q'", {"\"'q'\""}},
        {"'", {"'"}},
        {"x'y'", {"x'y'"}},
        {"\xC0\xFF", {"\xC0\xFF"}},
        {full, {full}},
        {full + "b", {full, "b"}},
        {full + "\r", {full}},
        {full + "\r\n", {full, "<@\\n@>"}},
        {full + " b", {full, "\" b\""}},
        // A marker that does not fit closes the part before it.
        {Repeat('a', MaxValuePart - 2) + "\nb", {Repeat('a', MaxValuePart - 2), "<@\\n@>b"}},
        {Repeat('a', MaxValuePart - 6) + "\nb", {Repeat('a', MaxValuePart - 6) + "<@\\n@>", "b"}},
        {Repeat('c', 2 * MaxValuePart + 1), {Repeat('c', MaxValuePart), Repeat('c', MaxValuePart), "c"}},
    };
    for (const auto& c : cases) {
        uint32_t hash = 1;
        auto parts = SplitValue(c.text, hash);
        EXPECT_EQ(parts, c.parts) << c.text.substr(0, 20) << " (" << c.text.size() << ")";
        EXPECT_EQ(hash, parts.size() >= 2 ? ValueHash(c.parts[0]) : 0u) << c.text.size();
    }
    // The hash is over the first part before it is quoted.
    uint32_t hash = 0;
    auto parts = SplitValue(" " + full, hash);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0], "\" " + full.substr(1) + "\"");
    EXPECT_EQ(hash, ValueHash(" " + full.substr(1)));
}

class SafeIni : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeSafeIniFiles();
        std::filesystem::create_directories(prefix_.DriveC("windows"));
    }
    void TearDown() override { FinalizeSafeIniFiles(); }

    std::string Content() const { return tolvane::test::ReadFile(Native()); }
    void Put(const std::string& content) { tolvane::test::WriteFile(Native(), content); }
    std::string Native() const { return prefix_.DriveC("windows/Trade.ini"); }
    std::string Raw(const char* key) {
        char buffer[70000];
        uint32_t n = platform::GetPrivateProfileStringA("S", key, "<none>", buffer, sizeof buffer, kFile);
        return std::string(buffer, n);
    }
    std::vector<std::string> Keys(TSafeIniFile& ini) {
        TStringList keys;
        ini.ReadSection("S", keys);
        return keys.Lines();
    }

    static constexpr const char* kFile = "C:\\windows\\Trade.ini";
    TempPrefix prefix_;
};

TEST_F(SafeIni, ValuesReadBackAsWritten) {
    const std::string full = Repeat('x', MaxValuePart);
    std::string big;
    for (int i = 0; big.size() < 200000; ++i) big += "line " + std::to_string(i) + "\r\n  indented \"quoted\"\r\n";
    struct Case {
        std::string written;
        std::string read;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"a\r\nb\r\n", "a\r\nb\r\n"},
        {"a\nb", "a\r\nb"},
        {"a\rb", "ab"},
        {"  lead", "  lead"},
        {"trail\t", "trail\t"},
        {"\"both\"", "\"both\""},
        {"'single'", "'single'"},
        {"Кириллица и ёЁ", "Кириллица и ёЁ"},
        {full, full},
        {full + "y", full + "y"},
        {full + "  y", full + "  y"},
        {big, big},
    };
    TSafeIniFile ini(kFile);
    for (const auto& c : cases) {
        ini.WriteString("S", "K", c.written);
        EXPECT_EQ(ini.ReadString("S", "K", "default"), c.read) << c.written.substr(0, 20) << " (" << c.written.size()
                                                                << ")";
    }
    // The empty text is stored as K with nothing after "=", not as a missing key.
    ini.WriteString("S", "K", "");
    EXPECT_EQ(ini.ReadString("S", "K", "default"), "");
    EXPECT_NE(Content().find("\r\nK=\r\n"), std::string::npos);
    EXPECT_EQ(Keys(ini), std::vector<std::string>{"K"}) << "the long value's parts are gone";
}

TEST_F(SafeIni, ALongValueIsStoredInCountedHashedParts) {
    TSafeIniFile ini(kFile);
    ini.WriteString("S", "Other", "1");
    ini.WriteString("S", "K", Repeat('x', MaxValuePart + 1));
    EXPECT_EQ(Keys(ini), (std::vector<std::string>{"Other", "K", "K__$Count", "K__$Hash", "K__$Line2"}));
    EXPECT_EQ(Raw("K__$Count"), "2");
    EXPECT_EQ(Raw("K__$Hash"), IntToStr(int32_t(ValueHash(Repeat('x', MaxValuePart)))));
    EXPECT_EQ(Raw("K__$Line2"), "x");

    // A hash with the top bit set is stored with a minus sign.
    char fill = 'a';
    while (int32_t(ValueHash(Repeat(fill, MaxValuePart))) >= 0) ++fill;
    ini.WriteString("S", "K", Repeat(fill, MaxValuePart) + "\nz");
    EXPECT_EQ(Raw("K__$Hash")[0], '-');
    EXPECT_EQ(ini.ReadString("S", "K", ""), Repeat(fill, MaxValuePart) + "\r\nz");

    // Section values are the stored lines, neither decoded nor joined.
    TStringList values;
    ini.ReadSectionValues("S", values);
    ASSERT_EQ(values.Count(), 5);
    EXPECT_EQ(values[0], "Other=1");
    EXPECT_EQ(values[4], "K__$Line2=<@\\n@>z");

    ini.WriteString("S", "K", "short");
    EXPECT_EQ(Keys(ini), (std::vector<std::string>{"Other", "K"}));
    ini.WriteString("S", "K", Repeat('q', 3 * MaxValuePart));
    ini.DeleteKey("S", "K");
    EXPECT_EQ(Keys(ini), std::vector<std::string>{"Other"});
}

TEST_F(SafeIni, PartsJoinOnlyWhileCountAndHashFitTheFirstPart) {
    const std::string hashOfV = IntToStr(int32_t(ValueHash("v")));
    struct Case {
        std::string count, hash;
        std::string read;
        std::vector<std::string> keysAfterDelete;
    };
    const Case cases[] = {
        {"2", hashOfV, "vw", {"Other"}},
        {"3", hashOfV, "vw", {"Other"}},  // a missing part reads as empty
        {"2", "12345", "v", {"Other"}},   // K rewritten by a program that ignores the scheme
        {"2", "0x" + IntToHex(ValueHash("v"), 8), "v", {"Other"}},
        {"1", hashOfV, "v", {"K__$Line2", "Other"}},
        {"0", hashOfV, "v", {"K__$Line2", "Other"}},
        {"-3", hashOfV, "v", {"K__$Line2", "Other"}},
        {"two", hashOfV, "v", {"K__$Count", "K__$Hash", "K__$Line2", "Other"}},
    };
    TSafeIniFile ini(kFile);
    for (const auto& c : cases) {
        Put("[S]\r\nK=v\r\nK__$Count=" + c.count + "\r\nK__$Hash=" + c.hash + "\r\nK__$Line2=w\r\nOther=1\r\n");
        EXPECT_EQ(ini.ReadString("S", "K", ""), c.read) << c.count << " " << c.hash;
        ini.DeleteKey("S", "K");
        EXPECT_EQ(Keys(ini), c.keysAfterDelete) << c.count << " " << c.hash;
    }
    // A damaged count does not stall a read or a delete.
    Put("[S]\r\nK=v\r\nK__$Count=2000000000\r\nK__$Hash=" + hashOfV + "\r\nK__$Line2=w\r\nK__$Line7=z\r\n");
    EXPECT_EQ(ini.ReadString("S", "K", ""), "vwz");
    ini.DeleteKey("S", "K");
    EXPECT_TRUE(Keys(ini).empty());
}

TEST_F(SafeIni, IntegersAndBooleansKeepTheirStoredForms) {
    struct Case {
        std::string stored;
        int32_t integer;  // read with the default 7
        bool boolean;     // read with the default false
    };
    const Case cases[] = {
        {"1", 1, true},         {"0", 0, false},       {"2", 2, true},       {"-5", -5, true},
        {"0x1F", 31, true},     {"0X1f", 31, true},    {"  12  ", 12, true}, {"word", 7, false},
        {"", 7, false},         {"12abc", 7, false},   {"99999999999", 7, false},
    };
    TSafeIniFile ini(kFile);
    for (const auto& c : cases) {
        Put("[S]\r\nK=" + c.stored + "\r\n");
        EXPECT_EQ(ini.ReadInteger("S", "K", 7), c.integer) << c.stored;
        EXPECT_EQ(ini.ReadBool("S", "K", false), c.boolean) << c.stored;
    }
    EXPECT_TRUE(ini.ReadBool("S", "Missing", true));
    ini.WriteInteger("S", "I", -42);
    ini.WriteBool("S", "T", true);
    ini.WriteBool("S", "F", false);
    EXPECT_EQ(Content(), "[S]\r\nK=99999999999\r\nI=-42\r\nT=1\r\nF=0\r\n");
}

TEST_F(SafeIni, TypedValuesUseTheIniFormatWhateverTheSystemUses) {
    SystemFormatSettings().DecimalSeparator = ',';
    TSafeIniFile ini(kFile);
    const TDateTime date = EncodeDate(2024, 3, 5);
    const TDateTime moment = date + EncodeTime(13, 4, 5, 678);
    ini.WriteDate("S", "D", date);
    ini.WriteDateTime("S", "DT", moment);
    ini.WriteDateTime("S", "Midnight", date);
    ini.WriteTime("S", "T", EncodeTime(13, 4, 5, 678));
    ini.WriteFloat("S", "F", 1234.5);
    EXPECT_EQ(Raw("D"), "05.03.2024");
    EXPECT_EQ(Raw("DT").substr(0, 19), "05.03.2024 13:04:05");
    EXPECT_EQ(Raw("Midnight").substr(0, 19), "05.03.2024 00:00:00");
    EXPECT_EQ(Raw("F"), "1234.5");

    EXPECT_DOUBLE_EQ(ini.ReadDate("S", "D", 0), date);
    EXPECT_NEAR(ini.ReadDateTime("S", "DT", 0), moment, 1e-9);
    EXPECT_NEAR(ini.ReadDateTime("S", "Midnight", 1), date, 1e-9);
    EXPECT_NEAR(ini.ReadTime("S", "T", 0), EncodeTime(13, 4, 5, 678), 1e-9);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "F", 0), 1234.5);

    // Empty, missing and unconvertible texts give the default.
    ini.WriteString("S", "Bad", "31.02.2024 x");
    ini.WriteString("S", "Empty", "");
    for (const char* key : {"Bad", "Empty", "Missing"}) {
        EXPECT_EQ(ini.ReadDate("S", key, 9), 9) << key;
        EXPECT_EQ(ini.ReadDateTime("S", key, 9), 9) << key;
        EXPECT_EQ(ini.ReadTime("S", key, 0.5), 0.5) << key;
        EXPECT_EQ(ini.ReadFloat("S", key, 2.5), 2.5) << key;
    }
    SystemFormatSettings() = TFormatSettings{};
}

std::string MessageOf(const std::function<void()>& op, std::string* className = nullptr) {
    try {
        op();
    } catch (const Exception& e) {
        if (className) *className = e.ClassName();
        return e.Message();
    }
    return "(no error)";
}

TEST_F(SafeIni, EmptyNamesAreRefusedWithTheOperationsContext) {
    TSafeIniFile ini("C:\\WINDOWS\\Trade.ini");
    TStringList list;
    const std::string noSection = "Не указано название секции. Имя файла: C:\\WINDOWS\\Trade.ini";
    const std::string noKey = "Не указано название переменной. Имя файла: C:\\WINDOWS\\Trade.ini";
    struct Case {
        std::function<void()> op;
        std::string message;
    };
    const Case cases[] = {
        {[&] { ini.ReadString("", "K", ""); }, "TSafeIniFile.ReadString -> " + noSection},
        {[&] { ini.ReadString("S", "", ""); }, "TSafeIniFile.ReadString -> " + noKey},
        {[&] { ini.ReadString("S", "   ", ""); }, "TSafeIniFile.ReadString -> " + noKey},
        {[&] { ini.WriteString("", "K", "v"); }, "TSafeIniFile.WriteString -> " + noSection},
        {[&] { ini.WriteString("S", "", "v"); }, "TSafeIniFile.WriteString -> " + noKey},
        {[&] { ini.DeleteKey("", "K"); }, "TSafeIniFile.DeleteKey -> " + noSection},
        {[&] { ini.DeleteKey("S", ""); }, "TSafeIniFile.DeleteKey -> " + noKey},
        {[&] { ini.EraseSection(""); }, "TSafeIniFile.EraseSection -> " + noSection},
        {[&] { ini.ReadSection("", list); }, "TSafeIniFile.ReadSection -> " + noSection},
        {[&] { ini.ReadSectionValues("", list); }, "TSafeIniFile.ReadSectionValues -> " + noSection},
        {[&] { ini.ReadInteger("", "K", 0); }, "TSafeIniFile.ReadString -> " + noSection},
        {[&] { ini.WriteBool("S", "", true); }, "TSafeIniFile.WriteString -> " + noKey},
        {[&] { ini.ReadDate("", "K", 0); }, "TSafeIniFile.ReadString -> " + noSection},
        {[&] { ini.WriteDate("", "K", 0); }, "TSafeIniFile.WriteDate -> TSafeIniFile.WriteString -> " + noSection},
        {[&] { ini.WriteFloat("S", "", 1); }, "TSafeIniFile.WriteFloat -> TSafeIniFile.WriteString -> " + noKey},
    };
    for (const auto& c : cases) {
        std::string className;
        EXPECT_EQ(MessageOf(c.op, &className), c.message);
        EXPECT_EQ(className, "EIniFileException") << c.message;
    }
    EXPECT_FALSE(std::filesystem::exists(prefix_.DriveC("WINDOWS"))) << "nothing written";
}

TEST_F(SafeIni, NamesTheFileCannotHoldAreRefusedAndNothingIsLost) {
    const std::string before = "[S]\r\na=1\r\n[Other]\r\nx=y\r\n";
    Put(before);
    TSafeIniFile ini(kFile);
    const std::pair<std::string, std::string> cases[] = {
        {"S", "a=b"}, {"S", ";x"}, {"S", "[x"}, {"S", "x\r\ny"}, {"S]\r\n[Other", "x"}, {"a]b", "k"},
    };
    for (const auto& [section, key] : cases) {
        std::string message = MessageOf([&] { ini.WriteString(section, key, "2"); });
        EXPECT_EQ(message.rfind("TSafeIniFile.WriteString -> Недопустимое название ", 0), 0u) << message;
    }
    EXPECT_EQ(MessageOf([&] { ini.WriteString("S", "a", std::string("x\0y", 3)); }),
              "TSafeIniFile.WriteString -> Значение переменной a содержит символ с кодом 0. Имя файла: " +
                  std::string(kFile));
    EXPECT_EQ(Content(), before);
}

TEST_F(SafeIni, FailedWritesNameTheSystemErrorAndKeepTheFile) {
    // A missing folder fails at once.
    TSafeIniFile missing("C:\\windows\\nodir\\t.ini");
    EXPECT_EQ(MessageOf([&] { missing.WriteString("S", "K", "v"); }),
              "TSafeIniFile.WriteString -> The system cannot find the path specified. -> "
              "Не удалось записать в файл C:\\windows\\nodir\\t.ini");
    EXPECT_EQ(MessageOf([&] { missing.DeleteKey("S", "K"); }).rfind("TSafeIniFile.DeleteKey -> ", 0), 0u);
    EXPECT_EQ(missing.ReadString("S", "K", "d"), "d");

    // A file that cannot be replaced (here: a folder in its place) is
    // retried, then reported.
    std::filesystem::create_directories(prefix_.DriveC("windows/dir.ini"));
    TSafeIniFile folder("C:\\windows\\dir.ini");
    EXPECT_EQ(MessageOf([&] { folder.WriteString("S", "K", "v"); }),
              "TSafeIniFile.WriteString -> Access is denied. -> Не удалось записать в файл C:\\windows\\dir.ini");
    EXPECT_EQ(MessageOf([&] { folder.EraseSection("S"); }),
              "TSafeIniFile.EraseSection -> Не удалось записать в файл C:\\windows\\dir.ini");
    EXPECT_EQ(folder.ReadString("S", "K", "d"), "d");
    EXPECT_TRUE(std::filesystem::is_directory(prefix_.DriveC("windows/dir.ini")));
}

TEST_F(SafeIni, AFileThatIsNoIniFileKeepsItsBytes) {
    const std::string junk("\x7F" "ELF\0\x01\x02[binary\0=]\xFF\xFE", 18);
    Put(junk);
    TSafeIniFile ini(kFile);
    EXPECT_EQ(ini.ReadString("Tolvane", "ComPort", "none"), "none");
    ini.WriteString("Tolvane", "ComPort", "3");
    EXPECT_EQ(Content(), junk + "\r\n[Tolvane]\r\nComPort=3\r\n");
    EXPECT_EQ(ini.ReadString("Tolvane", "ComPort", "none"), "3");
}

TEST_F(SafeIni, SectionsAndErasing) {
    Put("; host comment\r\n[Host]\r\nh=1\r\n[S]\r\nk=1\r\n[Tail]\r\nt=2\r\n");
    TSafeIniFile ini(kFile);
    TStringList sections;
    ini.ReadSections(sections);
    EXPECT_EQ(sections.Lines(), (std::vector<std::string>{"Host", "S", "Tail"}));
    ini.EraseSection("S");
    ini.EraseSection("Nothing");
    ini.UpdateFile();
    EXPECT_EQ(Content(), "; host comment\r\n[Host]\r\nh=1\r\n[Tail]\r\nt=2\r\n");
}

// Threads of one process are serialised by the mutex as well, whether they
// share an object or not.
TEST_F(SafeIni, ThreadsNeverSeeAMixOfParts) {
    auto value = [](int writer, int round) {
        return std::to_string(writer) + ":" + std::to_string(round) + ":" +
               Repeat(char('a' + writer), 2 * MaxValuePart + 100 * round);
    };
    auto isWhole = [&](const std::string& v) {
        if (v.size() < 4) return false;
        int writer = v[0] - '0', round = std::stoi(v.substr(2));
        return writer >= 0 && writer < 3 && v == value(writer, round);
    };
    std::atomic<int> bad{0};
    std::vector<std::thread> threads;
    for (int w = 0; w < 3; ++w)
        threads.emplace_back([&, w] {
            TSafeIniFile ini(kFile);
            for (int round = 0; round < 8; ++round) {
                ini.WriteString("S", "K", value(w, round));
                if (!isWhole(ini.ReadString("S", "K", ""))) ++bad;
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(bad.load(), 0);
}

}  // namespace
