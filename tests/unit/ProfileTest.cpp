// The profile functions: lookups, lists and in-place edits of INI files,
// with the behaviour of the Windows functions they stand for.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <vector>

#include "TestSupport.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/SystemError.h"

using namespace tolvane::platform;
using tolvane::test::TempPrefix;

namespace {

const char* const kFile = "C:\\windows\\t.ini";

class Profile : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(prefix_.DriveC("windows")); }
    std::string Native() const { return prefix_.DriveC("windows/t.ini"); }
    void Put(const std::string& content) { tolvane::test::WriteFile(Native(), content); }
    std::string Content() const { return tolvane::test::ReadFile(Native()); }

    TempPrefix prefix_;
};

struct ReadCase {
    std::string content;
    const char* section;
    const char* key;
    const char* def;
    std::string expected;
    uint32_t size = 256;
};

TEST_F(Profile, ReadsValuesAsTheWindowsReaderDoes) {
    const std::string cyr = "[\xD2\xE5\xF1\xF2]\r\n\xCA\xEB\xFE\xF7=\xC7\xED\xE0\xF7\xE5\xED\xE8\xE5\r\n";
    const ReadCase cases[] = {
        // Letter case of names, ASCII and Cyrillic.
        {"[MySection]\r\nMyKey=Value\r\n", "mysection", "MYKEY", "D", "Value"},
        {cyr, "\xF2\xE5\xF1\xF2", "\xEA\xEB\xFE\xF7", "D", "\xC7\xED\xE0\xF7\xE5\xED\xE8\xE5"},
        // Blanks in the file and in the parameters.
        {"[s]\r\n  key1  =  v a l  \r\n\tkey2\t=\tv2\t\v\r\n", "s", "key1", "D", "v a l"},
        {"[s]\r\n  key1  =  v a l  \r\n\tkey2\t=\tv2\t\v\r\n", "s", "key2", "D", "v2"},
        {"[  s2  ]\r\nk=1\r\n", "  s2  ", "  k  ", "D", "1"},
        {"[s2]\r\nk=1\r\n", "\ts2", "k", "D", "D"},
        {"[s2]\r\nkey1=1\r\n", "s2", "key1\t", "D", "D"},
        {"[s]\r\nmy key = v\r\n", "s", "  my key  ", "D", "v"},
        {"[s]\r\nmy key = v\r\n", "s", "mykey", "D", "D"},
        // One pair of matching quotes goes, after the outer blanks.
        {"[s]\r\nq=\"abc\"\r\n", "s", "q", "D", "abc"},
        {"[s]\r\nq='abc'\r\n", "s", "q", "D", "abc"},
        {"[s]\r\nq=\"  a b  \"\r\n", "s", "q", "D", "  a b  "},
        {"[s]\r\nq=   \"x\"   \r\n", "s", "q", "D", "x"},
        {"[s]\r\nq=\"abc\r\n", "s", "q", "D", "\"abc"},
        {"[s]\r\nq=\"abc'\r\n", "s", "q", "D", "\"abc'"},
        {"[s]\r\nq=\"'abc'\"\r\n", "s", "q", "D", "'abc'"},
        {"[s]\r\nq=\"\"\r\n", "s", "q", "D", ""},
        {"[s]\r\nq=\"\r\n", "s", "q", "D", "\""},
        {"[s]\r\nq=\"a\"b\"\r\n", "s", "q", "D", "a\"b"},
        {"[s]\r\nq=x\"abc\"\r\n", "s", "q", "D", "x\"abc\""},
        // Keys: the first "=" splits; comments; duplicates; empty values.
        {"[s]\r\nk=a=b=c\r\n", "s", "k", "D", "a=b=c"},
        {"[s]\r\n=novalue key\r\n", "s", "", "D", "novalue key"},
        {"[s]\r\n;c1=v1\r\n  ;c2=v2\r\n", "s", ";c1", "D", "D"},
        {"[s]\r\n;c1=v1\r\n  ;c2=v2\r\n", "s", "c2", "D", "D"},
        {"[s]\r\n#h=v3\r\n", "s", "#h", "D", "v3"},
        {"[s]\r\nk=v ;not a comment\r\n", "s", "k", "D", "v ;not a comment"},
        {"[s]\r\nk=first\r\nK=second\r\n", "s", "k", "D", "first"},
        {"[s]\r\nk=1\r\n[t]\r\nx=2\r\n[S]\r\nk=third\r\ny=2\r\n", "s", "y", "D", "D"},
        {"[s]\r\nempty=\r\nblank=   \r\n", "s", "empty", "D", ""},
        {"[s]\r\nempty=\r\nblank=   \r\n", "s", "blank", "D", ""},
        {"[s]\r\nname3\r\n", "s", "name3", "D", "D"},
        // Defaults: trailing spaces go, nothing else.
        {"[s]\r\n", "s", "missing", "  dflt  ", "  dflt"},
        {"[s]\r\n", "s", "missing", "dflt\t", "dflt\t"},
        {"[s]\r\n", "s", "missing", "   ", ""},
        {"[s]\r\n", "s", "missing", "\"quoted\"", "\"quoted\""},
        {"[s]\r\n", "s", "missing", nullptr, ""},
        {"[s]\r\n", "nosection", "k", "D", "D"},
        // Section headers and what lies outside sections.
        {"\xEF\xBB\xBF[s]\r\nk=v\r\n[t]\r\nk=w\r\n", "s", "k", "D", "D"},
        {"\xEF\xBB\xBF[s]\r\nk=v\r\n[t]\r\nk=w\r\n", "t", "k", "D", "w"},
        {"top=1\r\n[s]\r\nk=v\r\n", "", "top", "D", "D"},
        {"[]\r\nk=e\r\n", "", "k", "D", "e"},
        {"[a] ; text\r\nk=1\r\n", "a", "k", "D", "1"},
        {"[b\r\nk=2\r\n", "b", "k", "D", "2"},
        {"[c]d]\r\nk=3\r\n", "c", "k", "D", "3"},
        {"[[sec]\r\nk=4\r\n", "[sec", "k", "D", "4"},
        {"[s]\rk=cr\r", "s", "k", "D", "cr"},
        {"[s]\nk=lf", "s", "k", "D", "lf"},
        // A value that does not fit is cut to size - 1.
        {"[s]\r\nk=0123456789\r\n", "s", "k", "D", "", 1},
        {"[s]\r\nk=0123456789\r\n", "s", "k", "D", "0", 2},
        {"[s]\r\nk=0123456789\r\n", "s", "k", "D", "012345678", 10},
        {"[s]\r\nk=0123456789\r\n", "s", "k", "D", "0123456789", 11},
        {"[s]\r\n", "s", "k", "defaultvalue", "defa", 5},
    };
    for (const auto& c : cases) {
        Put(c.content);
        std::vector<char> buffer(c.size + 1, 'X');
        uint32_t n = GetPrivateProfileStringA(c.section, c.key, c.def, buffer.data(), c.size, kFile);
        std::string where = std::string(c.section) + "/" + (c.key ? c.key : "(null)") + " in " + c.content;
        EXPECT_EQ(std::string(buffer.data()), c.expected) << where;
        EXPECT_EQ(n, c.expected.size()) << where;
    }
}

TEST_F(Profile, ShortBuffersAndMissingFiles) {
    char buffer[8] = "XXXXXXX";
    Put("[s]\r\nk=0123456789\r\n");
    EXPECT_EQ(GetPrivateProfileStringA("s", "k", "D", buffer, 0, kFile), 0u);
    EXPECT_EQ(std::string(buffer), "XXXXXXX");  // size 0 leaves the buffer alone
    EXPECT_EQ(GetPrivateProfileStringA("s", "k", "D", buffer, 5, kFile), 4u);
    EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);

    EXPECT_EQ(GetPrivateProfileStringA("s", "k", "D", buffer, 8, "C:\\windows\\missing.ini"), 1u);
    EXPECT_EQ(std::string(buffer), "D");
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

struct ListCase {
    std::string content;
    const char* section;
    uint32_t size;
    std::string expected;  // the buffer up to and including the list's end
    uint32_t ret;
};

TEST_F(Profile, ListsKeysAndSectionsCutAsWindowsCutsThem) {
    using namespace std::string_literals;
    const std::string keys = "[section1]\r\nname1=val1\r\nname2=val2\r\nname3\r\n;c=1\r\nname4=val4\r\n[x]\r\ny=1\r\n";
    const std::string sections = "[section1]\r\n[section2]\r\n[section3]\r\n";
    const ListCase cases[] = {
        {keys, "section1", 256, "name1\0name2\0name4\0\0"s, 18},
        {keys, "section1", 16, "name1\0name2\0na\0\0"s, 14},
        {keys, "section1", 2, "\0\0"s, 0},
        {keys, "section1", 1, "\0"s, 0},
        {"[s]\r\nk=first\r\nk=second\r\n", "s", 256, "k\0k\0\0"s, 4},
        {sections, nullptr, 256, "section1\0section2\0section3\0\0"s, 27},
        {sections, nullptr, 29, "section1\0section2\0section3\0\0"s, 27},
        {sections, nullptr, 28, "section1\0section2\0section3\0\0"s, 26},
        {sections, nullptr, 27, "section1\0section2\0section\0\0"s, 25},
        {sections, nullptr, 16, "section1\0secti\0\0"s, 14},
        {"[s]\r\n[t]\r\n[S]\r\n", nullptr, 256, "s\0t\0S\0\0"s, 6},
    };
    for (const auto& c : cases) {
        Put(c.content);
        std::vector<char> buffer(c.size + 4, 'X');
        uint32_t n = GetPrivateProfileStringA(c.section, nullptr, "", buffer.data(), c.size, kFile);
        EXPECT_EQ(std::string(buffer.data(), c.expected.size()), c.expected) << c.size << " " << c.content;
        EXPECT_EQ(n, c.ret) << c.size << " " << c.content;
    }
    Put(keys);
    char buffer[16];
    EXPECT_EQ(GetPrivateProfileStringA("missing", nullptr, "D", buffer, sizeof buffer, kFile), 1u);
    EXPECT_EQ(std::string(buffer), "D");
}

struct Write {
    const char* section;
    const char* key;
    const char* value;
};

struct WriteCase {
    std::optional<std::string> before;  // nullopt: no file
    std::vector<Write> writes;
    std::string after;
};

TEST_F(Profile, EditsTheFileInPlace) {
    using namespace std::string_literals;
    const WriteCase cases[] = {
        {std::nullopt, {{"App", "key", "val"}}, "[App]\r\nkey=val\r\n"},
        {std::nullopt,
         {{"App1", "key1", "string1"}, {"App1", "key2", "string2"}, {"App1", "key3", "string3"},
          {"App2", "key4", "string4"}, {"App3", "key5", "string5"}, {"App1", "key6", "string6"}},
         "[App1]\r\nkey1=string1\r\nkey2=string2\r\nkey3=string3\r\nkey6=string6\r\n[App2]\r\nkey4=string4\r\n"
         "[App3]\r\nkey5=string5\r\n"},
        // A new key goes after the last key line, before closing comments.
        {"[s]\r\na=1\r\n;trailing comment\r\n\r\n[t]\r\nx=1\r\n", {{"s", "z", "new"}},
         "[s]\r\na=1\r\nz=new\r\n;trailing comment\r\n\r\n[t]\r\nx=1\r\n"},
        {"[s]\r\n[t]\r\n", {{"s", "k", "v"}}, "[s]\r\nk=v\r\n[t]\r\n"},
        // Only the touched line changes.
        {"; header comment\r\n\r\n[s1]\r\na = 1\r\n; c\r\n\r\n[s2]\r\nb=2\n", {{"s2", "b", "3"}},
         "; header comment\r\n\r\n[s1]\r\na = 1\r\n; c\r\n\r\n[s2]\r\nb=3\n"},
        {"Data \0 before \0 first \0 section"s, {{"section1", "key1", "string1"}},
         "Data \0 before \0 first \0 section\r\n[section1]\r\nkey1=string1\r\n"s},
        {"[s]\r\nk=v", {{"t", "k", "1"}}, "[s]\r\nk=v\r\n[t]\r\nk=1\r\n"},
        {"[s]\r\nk=v", {{"s", "k", "new"}}, "[s]\r\nk=new\r\n"},
        {"[s]\r\nk=v", {{"s", "n", "1"}}, "[s]\r\nk=v\r\nn=1\r\n"},
        {"[s]\r\na=1\r\nb=2\r\nc=3", {{"S", "B", "33"}}, "[s]\r\na=1\r\nb=33\r\nc=3\r\n"},
        // Values and names as given; spaces of the parameters go.
        {"[s]\r\n", {{"s", "k", "  v  "}}, "[s]\r\nk=  v  \r\n"},
        {"[s]\r\n", {{"s", "k", "line1\r\nline2=x"}}, "[s]\r\nk=line1\r\nline2=x\r\n"},
        {"[s]\r\n", {{"s", "k", ""}}, "[s]\r\nk=\r\n"},
        {"[s]\r\n", {{"  s  ", "  new key  ", "v2"}}, "[s]\r\nnew key=v2\r\n"},
        {"[s]\r\na=1\r\n", {{"s", ";c", "v"}, {"s", ";c", "v"}}, "[s]\r\na=1\r\n;c=v\r\n;c=v\r\n"},
        {"[s]\r\n", {{"s", "a=b", "v"}}, "[s]\r\na=b=v\r\n"},
        {"[\xD2\xE5\xF1\xF2]\r\n", {{"\xF2\xE5\xF1\xF2", "new", "\xC7\x80\x98\xFF"}},
         "[\xD2\xE5\xF1\xF2]\r\nnew=\xC7\x80\x98\xFF\r\n"},
        // Deleting keys and sections.
        {"[s]\r\na=1\r\nb=2\r\n[t]\r\nc=3", {{"s", "a", nullptr}, {"s", "zz", nullptr}, {"t", "c", nullptr}},
         "[s]\r\nb=2\r\n[t]\r\n"},
        {";c0\r\n[s]\r\n;c1\r\nk=v\r\nother\r\n\r\n[t]\r\nx=1\r\n", {{"s", nullptr, nullptr}},
         ";c0\r\n;c1\r\n\r\n[t]\r\nx=1\r\n"},
        {"[s]\r\nk=v\r\n", {{"missing", nullptr, nullptr}}, "[s]\r\nk=v\r\n"},
        {std::nullopt, {{"s", "k", nullptr}}, ""},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(Native());
        if (c.before) Put(*c.before);
        for (const auto& w : c.writes)
            EXPECT_TRUE(WritePrivateProfileStringA(w.section, w.key, w.value, kFile)) << c.after;
        ASSERT_TRUE(std::filesystem::exists(Native())) << c.after;
        EXPECT_EQ(Content(), c.after);
    }
}

TEST_F(Profile, RefusedWritesLeaveNoFile) {
    struct Case {
        const char* section;
        const char* key;
        const char* value;
        const char* file;
        uint32_t error;
    };
    const Case cases[] = {
        {"s", "k", "v", "C:\\windows\\no_such_dir\\x.ini", ERROR_PATH_NOT_FOUND},
        {nullptr, "k", "v", kFile, ERROR_FILE_NOT_FOUND},
        {"s", "k", "v", "", ERROR_ACCESS_DENIED},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        EXPECT_FALSE(WritePrivateProfileStringA(c.section, c.key, c.value, c.file)) << c.file;
        EXPECT_EQ(GetLastError(), c.error) << c.file;
    }
    EXPECT_FALSE(std::filesystem::exists(Native()));
    EXPECT_FALSE(std::filesystem::exists(prefix_.DriveC("windows/no_such_dir")));

    const std::string utf16("\xFF\xFE[\0s\0]\0\r\0\n\0", 12);
    Put(utf16);
    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", kFile));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(Content(), utf16) << "a UTF-16 file is not damaged";
}

TEST_F(Profile, AFileNameWithoutFolderLiesInTheWindowsDirectory) {
    ASSERT_TRUE(WritePrivateProfileStringA("s", "k", "v", "t.ini"));
    EXPECT_EQ(Content(), "[s]\r\nk=v\r\n");
    char buffer[8];
    EXPECT_EQ(GetPrivateProfileStringA("s", "k", "", buffer, sizeof buffer, "t.ini"), 1u);
    EXPECT_EQ(std::string(buffer), "v");
}

TEST_F(Profile, ABatchWritesAllOfItsChangesAtOnceOrNone) {
    Put("[s]\r\nold=1\r\n");
    {
        ProfileWriteBatch batch(kFile);
        ASSERT_TRUE(WritePrivateProfileStringA("s", "a", "1", kFile));
        ASSERT_TRUE(WritePrivateProfileStringA("s", "old", nullptr, kFile));
        char buffer[8];
        EXPECT_EQ(GetPrivateProfileStringA("s", "a", "", buffer, sizeof buffer, kFile), 1u) << "the batch's copy";
        EXPECT_EQ(Content(), "[s]\r\nold=1\r\n") << "nothing written before Commit";
        {
            ProfileWriteBatch inner(kFile);
            ASSERT_TRUE(WritePrivateProfileStringA("s", "b", "2", kFile));
            EXPECT_TRUE(inner.Commit());
            EXPECT_EQ(Content(), "[s]\r\nold=1\r\n") << "an inner batch joins the outer one";
        }
        ASSERT_TRUE(batch.Commit());
        EXPECT_EQ(Content(), "[s]\r\na=1\r\nb=2\r\n");
    }
    {
        ProfileWriteBatch dropped(kFile);
        ASSERT_TRUE(WritePrivateProfileStringA("s", "c", "3", kFile));
    }
    EXPECT_EQ(Content(), "[s]\r\na=1\r\nb=2\r\n");
    ASSERT_TRUE(WritePrivateProfileStringA("s", "d", "4", kFile));
    EXPECT_EQ(Content(), "[s]\r\na=1\r\nb=2\r\nd=4\r\n") << "writes after the batch go to the file";
}

}  // namespace
