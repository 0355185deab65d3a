// The shared log writer: line composition, the write path with its error
// reports, trimming by size (exact sizes), rotation, age trimming, recent
// lines with their notification, and the start-up entries.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <thread>

#include "TestSupport.h"
#include "exchange/LoadDataUnit.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/SystemError.h"
#include "rtl/Exception.h"
#include "rtl/Strings.h"
#include "support/LDSLogger.h"
#include "support/LogFiles.h"

using namespace tolvane;
using tolvane::test::ReadFile;
using tolvane::test::ScopedEnv;
using tolvane::test::TempPrefix;
using tolvane::test::WriteFile;

namespace {

const TDateTime kStamp = EncodeDate(2010, 12, 9) + EncodeTime(14, 3, 7, 45);
// A time stamp in the file: "09.12.2010 14:03:07.045".
const std::string kStampPattern = R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\.\d{3})";

// A private prefix, the ErrorsWriter in a private temporary folder, and the
// driver log's path inside the prefix.
class LogWriter : public ::testing::Test {
protected:
    void SetUp() override { InitializeZAVLoggerUnit(); }
    void TearDown() override { FinalizeZAVLoggerUnit(); }
    std::string ErrorsLog() const { return ReadFile(prefix_.Path() + "/ZAVLoggerErrorsWriter.log"); }
    std::string NativeLog() const { return prefix_.DriveC("TORV/LogFiles/PDT.log"); }

    TempPrefix prefix_;
    ScopedEnv tmpdir_{"TMPDIR", prefix_.Path()};
    const std::string logPath_ = "C:\\TORV\\LogFiles\\PDT.log";
};

// The text as a regular expression that matches it literally.
std::string Literal(const std::string& text) {
    return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

std::vector<std::string> SplitLines(const std::string& content) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < content.size()) {
        size_t end = content.find("\r\n", at);
        if (end == std::string::npos) end = content.size();
        lines.push_back(content.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

TEST(LogLine, ComposesStampLevelTagIdsAndTrimmedText) {
    const std::string pid = std::to_string(platform::GetCurrentProcessId());
    const std::string tid = std::to_string(platform::GetCurrentThreadId());
    struct Case {
        const char* name;
        std::function<void(TLDSLogger&)> setup;
        std::string text;
        int level;
        std::string expected;
    };
    auto none = [](TLDSLogger&) {};
    auto cipher = [](TLDSLogger& l) { l.SetTag("[Cipher]"); };
    const Case cases[] = {
        // The driver log's line, byte for byte in Windows-1251.
        {"driver log", cipher, "text", lvInfo, "09.12.2010 14:03:07.045 [\xE8\xED\xF4] [Cipher] text"},
        {"blank message", cipher, " \t\r\n ", lvInfo, ""},
        {"trimmed, inner breaks kept", none, "\r\n  first\r\nsecond  \r\n\r\n", lvPlain,
         "09.12.2010 14:03:07.045 first\r\nsecond"},
        {"level char", [](TLDSLogger& l) { l.ShowLevelChar = true; }, "x", lvFailure,
         "! 09.12.2010 14:03:07.045 [сбой] x"},
        {"no level tag", [](TLDSLogger& l) { l.ShowLevelTag = false; }, "x", lvError, "09.12.2010 14:03:07.045 x"},
        {"process and thread", [](TLDSLogger& l) { l.ShowProcessId = l.ShowThreadId = true; }, "x", lvPlain,
         "09.12.2010 14:03:07.045 <P:" + pid + ";T:" + tid + "> x"},
        {"process", [](TLDSLogger& l) { l.ShowProcessId = true; }, "x", lvPlain,
         "09.12.2010 14:03:07.045 <P:" + pid + "> x"},
        {"thread",
         [](TLDSLogger& l) {
             l.ShowThreadId = true;
             l.SetTag("[T]");
         },
         "x", lvPlain, "09.12.2010 14:03:07.045 [T] <T:" + tid + "> x"},
        {"own format", [](TLDSLogger& l) { l.DateTimeFormat = "yyyy-mm-dd hh:nn"; }, "x", lvPlain,
         "2010-12-09 14:03 x"},
    };
    for (const auto& c : cases) {
        TLDSLogger log("/nonexistent/x.log");
        c.setup(log);
        EXPECT_EQ(log.BuildLine(c.text, TLogLevel(c.level), kStamp), c.expected) << c.name;
    }
}

TEST(LogLine, LevelsCarryTheirTagsAndCharacters) {
    const char* tags[] = {"", " [инф]", " [ошиб]", " [сбой]", " [вним]", " [событ]", " [отлад]", " [другое]"};
    TLDSLogger log("/nonexistent/x.log");
    log.ShowLevelChar = true;
    log.DateTimeFormat = "hh";
    for (int level = 0; level < 8; ++level) {
        std::string expected = std::string(1, "-+?!#$%@"[level]) + " 14" + tags[level] + " m";
        EXPECT_EQ(log.BuildLine("m", TLogLevel(level), kStamp), expected) << level;
    }
}

TEST(LogLine, LocaleFormatsReplaceTheFixedSeparatorsOnlyWhenAskedFor) {
    TFormatSettings saved = SystemFormatSettings();
    SystemFormatSettings().DateSeparator = '-';
    TLDSLogger log("/nonexistent/x.log");
    EXPECT_EQ(log.BuildLine("x", lvPlain, kStamp), "09.12.2010 14:03:07.045 x");
    UseLocaleFormats = true;
    EXPECT_EQ(log.BuildLine("x", lvPlain, kStamp), "09-12-2010 14:03:07.045 x");
    UseLocaleFormats = false;
    SystemFormatSettings() = saved;
}

TEST_F(LogWriter, AppendsWholeLinesAndCreatesTheMissingFolder) {
    ASSERT_FALSE(platform::DirectoryExists("C:\\TORV"));
    TLDSLogger log(logPath_);
    log.SetTag("[Cipher]");
    log.Levels = AllLogLevels & ~LogLevelBit(lvDebug);
    log.Write("  Загрузка документа 1  ", lvInfo);
    log.Write("   ", lvInfo);
    log.WriteFmt("%1:s-%0:s", {"a", "b"}, lvPlain);
    log.Write("beyond the levels", TLogLevel(8));
    log.Write("filtered out", lvDebug);
    log.WritingEnabled = false;
    log.Write("switched off", lvInfo);

    std::string content = ReadFile(NativeLog());
    std::regex expected(kStampPattern + " \\[инф\\] \\[Cipher\\] Загрузка документа 1\r\n" + "\r\n" + kStampPattern +
                        " \\[Cipher\\] b-a\r\n");
    EXPECT_TRUE(std::regex_match(content, expected)) << content;
    EXPECT_EQ(ErrorsLog(), "");
}

TEST_F(LogWriter, FileIsClosedBetweenLinesSoOthersMayHoldOrDeleteIt) {
    TLDSLogger log(logPath_);
    log.Write("first", lvInfo);
    {
        // Nobody else has it open: even an exclusive open succeeds.
        auto exclusive = platform::File::Open(logPath_, platform::AccessReadWrite, platform::ShareNone,
                                              platform::Disposition::OpenExisting);
        EXPECT_TRUE(exclusive);
    }
    ASSERT_TRUE(platform::DeleteFile(logPath_));
    log.Write("second", lvInfo);
    EXPECT_TRUE(std::regex_match(ReadFile(NativeLog()), std::regex(kStampPattern + " \\[инф\\] second\r\n")));
    // A reader that shares the file does not stop the writer.
    auto reader = platform::File::Open(logPath_, platform::AccessRead, platform::ShareReadWrite,
                                       platform::Disposition::OpenExisting);
    ASSERT_TRUE(reader);
    log.Write("third", lvInfo);
    EXPECT_EQ(SplitLines(ReadFile(NativeLog())).size(), 2u);
    EXPECT_EQ(ErrorsLog(), "");
}

TEST_F(LogWriter, DriverMessagesReachTheDriverLogWhileItExists) {
    InitializeLoadDataFrmUnit();
    WriteDriverLog("Начало загрузки документа №1");
    WriteDriverLog("  ");
    FinalizeLoadDataFrmUnit();
    WriteDriverLog("after shut-down");
    // "[инф]" in Windows-1251 bytes.
    std::regex expected(kStampPattern + " \\[\xE8\xED\xF4\\] \\[Cipher\\] Начало загрузки документа №1\r\n\r\n");
    EXPECT_TRUE(std::regex_match(ReadFile(NativeLog()), expected)) << ReadFile(NativeLog());
}

TEST_F(LogWriter, StartUpEntriesCreateTheDriverLogWithoutTouchingTheDisk) {
    // C:\TORV is a file, so the log folder can never be created.
    WriteFile(prefix_.DriveC("TORV"), "not a folder");
    InitializeLoadDataFrmUnit();
    ASSERT_NE(DriverLog, nullptr);
    EXPECT_EQ(DriverLog->FileName(), logPath_);
    EXPECT_EQ(DriverLog->Tag(), "[Cipher]");
    EXPECT_TRUE(DriverLog->TrimInPlace);
    EXPECT_EQ(DriverLog->MutexName(), "Global\\c__torv_logfiles_pdt.log");
    EXPECT_EQ(ErrorsWriter->FileName(), platform::TempDirectory() + "ZAVLoggerErrorsWriter.log");

    // A log that cannot be written costs the line, never the caller.
    std::vector<std::pair<platform::WindowHandle, uint32_t>> posts;
    auto previous = platform::SetPostMessageHandler([&](platform::WindowHandle w, uint32_t m, uintptr_t, intptr_t) {
        posts.emplace_back(w, m);
        return true;
    });
    DriverLog->NotifyWindow = 5;
    EXPECT_NO_THROW(DriverLog->Write("Связь с ТСД", lvInfo));
    platform::SetPostMessageHandler(previous);
    FinalizeLoadDataFrmUnit();
    EXPECT_EQ(DriverLog, nullptr);

    std::regex report(
        "Ошибка при попытке записи \\(fmCreate\\) в лог \"C:\\\\TORV\\\\LogFiles\\\\PDT\\.log\" "
        "строки \\[Связь с ТСД\\]: Cannot create file .* <EFCreateError>");
    auto lines = SplitLines(ErrorsLog());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(kStampPattern + " (.*)"))) << lines[0];
    EXPECT_TRUE(std::regex_search(lines[0], report)) << lines[0];
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0], std::make_pair(platform::WindowHandle(5), uint32_t(1345)));
}

TEST_F(LogWriter, FailuresAreReportedWithTheStageTheWriteReached) {
    struct Case {
        const char* name;
        std::function<std::string()> setup;  // gives the log's path
        std::string stage, reportedText, className;
    };
    const Case cases[] = {
        {"folder cannot be made",
         [&] {
             WriteFile(prefix_.DriveC("TORV"), "not a folder");
             return logPath_;
         },
         "fmCreate", "x", "EFCreateError"},
        // Opens, then every write fails: the disk is full.
        {"write fails", [] { return std::string("/dev/full"); }, "fmOpenReadWrite-OK", kStampPattern + " x",
         "EInOutError"},
        {"trim cannot make its temporary file",
         [&] {
             std::string path = prefix_.Path() + "/big.log";
             WriteFile(path, std::string(2000, 'b') + "\r\n");
             // A folder where the trim's temporary file would go.
             std::filesystem::create_directory(path + "_" + std::to_string(platform::GetCurrentProcessId()) + "_" +
                                               std::to_string(platform::GetCurrentThreadId()));
             return path;
         },
         "fmOpenReadWrite-OK;ProcessFile...", kStampPattern + " x", "EFCreateError"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = c.setup();
        std::remove((prefix_.Path() + "/ZAVLoggerErrorsWriter.log").c_str());
        TLDSLogger log(path);
        log.MaxFileSize = 1000;
        log.Write(" x ", lvPlain);
        auto reports = SplitLines(ErrorsLog());
        ASSERT_EQ(reports.size(), 1u);
        std::regex report(kStampPattern + " " +
                          Literal("Ошибка при попытке записи (" + c.stage + ") в лог \"" + path + "\" строки [") +
                          c.reportedText + Literal("]: ") + ".+" + Literal(" <" + c.className + ">"));
        EXPECT_TRUE(std::regex_match(reports[0], report)) << reports[0];
    }
}

TEST_F(LogWriter, FailedLineIsMarkedInRecentLines) {
    WriteFile(prefix_.DriveC("TORV"), "not a folder");
    TLDSLogger log(logPath_);
    auto previous = platform::SetPostMessageHandler([](auto...) { return true; });
    log.NotifyWindow = 1;
    log.Write("lost", lvError);
    platform::SetPostMessageHandler(previous);
    TStringList recent = log.RecentLines();
    ASSERT_EQ(recent.Count(), 1);
    EXPECT_TRUE(std::regex_match(recent[0], std::regex(kStampPattern + " \\[ошиб\\] lost <Ошибка при записи в лог>")))
        << recent[0];
}

TEST_F(LogWriter, RecentLinesFollowTheFileOnlyWhileAWindowIsSet) {
    std::vector<std::tuple<platform::WindowHandle, uint32_t, uintptr_t, intptr_t>> posts;
    auto previous =
        platform::SetPostMessageHandler([&](platform::WindowHandle w, uint32_t m, uintptr_t wp, intptr_t lp) {
            posts.emplace_back(w, m, wp, lp);
            return true;
        });
    TLDSLogger log(logPath_);
    log.Write("before", lvInfo);
    log.NotifyWindow = 42;
    log.NotifyMessage = 2000;
    log.MaxRecentLines = 2;
    for (const char* text : {"one", "two", "three"}) log.Write(text, lvInfo);
    platform::SetPostMessageHandler(previous);

    auto lines = SplitLines(ReadFile(NativeLog()));
    ASSERT_EQ(lines.size(), 4u);
    TStringList recent = log.RecentLines();
    ASSERT_EQ(recent.Count(), 2);
    EXPECT_EQ(recent[0], lines[2]);
    EXPECT_EQ(recent[1], lines[3]);
    ASSERT_EQ(posts.size(), 3u);
    for (const auto& post : posts) EXPECT_EQ(post, std::make_tuple(platform::WindowHandle(42), 2000u, 0u, 0));
}

TEST_F(LogWriter, ThreadsAndInstancesOnOnePathNeverInterleave) {
    const int kThreads = 4, kLines = 300;
    TLDSLogger first(logPath_), second(logPath_);
    for (auto* log : {&first, &second}) log->MaxFileSize = 8192;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            TLDSLogger& log = t % 2 ? second : first;
            for (int i = 0; i < kLines; ++i)
                log.Write(
                    "T" + std::to_string(t) + " " + std::to_string(i) + " " + std::string(20 + i % 40, char('a' + t)),
                    lvEvent);
        });
    }
    for (auto& th : threads) th.join();

    std::string content = ReadFile(NativeLog());
    ASSERT_LE(content.size(), 8192u + 8192u / 3 + 100);
    ASSERT_TRUE(content.size() > 2 && content.substr(content.size() - 2) == "\r\n");
    std::regex line(kStampPattern + " \\[событ\\] T(\\d) (\\d+) ([a-d]+)");
    int last[kThreads] = {-1, -1, -1, -1};
    for (const std::string& l : SplitLines(content)) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(l, m, line)) << l;
        int t = std::stoi(m[1]), i = std::stoi(m[2]);
        EXPECT_EQ(m[3].str(), std::string(20 + i % 40, char('a' + t))) << l;
        EXPECT_GT(i, last[t]) << l;
        last[t] = i;
    }
    EXPECT_EQ(ErrorsLog(), "");
}

// Trimming by size, by exact byte counts. Each fixture is written so that
// the appended line brings the file to `total` bytes; lines are numbered
// "L000123" so the first line kept names where the cut fell.
struct TrimCase {
    const char* name;
    int64_t maxFileSize;
    int64_t total;
    enum { Lines, NoBreaks, ShortThenLong } kind;
    int prefix;      // Lines: length of a first odd line (0: none)
    int lineLength;  // Lines: length of the numbered lines, CR LF included
    int64_t expectedSize;
    std::string expectedStart;
};

std::string TrimFixture(const TrimCase& c, int64_t size) {
    std::string out;
    switch (c.kind) {
        case TrimCase::NoBreaks:
            return std::string(size_t(size), 'x');
        case TrimCase::ShortThenLong:
            return "ab\r\n" + std::string(size_t(size - 4), 'y');
        case TrimCase::Lines:
            break;
    }
    if (c.prefix) out = "P" + std::string(size_t(c.prefix - 3), 'p') + "\r\n";
    for (int n = 0; int64_t(out.size()) + 2 * c.lineLength <= size; ++n) {
        char head[16];
        std::snprintf(head, sizeof head, "L%06d ", n);
        out += head + std::string(size_t(c.lineLength - 2 - 8), '.') + "\r\n";
    }
    out += std::string(size_t(size - int64_t(out.size()) - 2), '=') + "\r\n";
    return out;
}

TEST_F(LogWriter, TrimsBySizeToALineStartAtExactSizes) {
    const int64_t M = 1048576, over = 1398102;
    const TrimCase cases[] = {
        {"exactly at the limit: kept", M, 1398101, TrimCase::Lines, 0, 100, 1398101, "L000000 "},
        {"one byte more: cut back to its line start", M, over, TrimCase::Lines, 0, 100, over - 349500, "L003495 "},
        {"cut exactly at a line start", M, over, TrimCase::Lines, 26, 100, M, "L003495 "},
        {"cut between CR and LF: next line", M, over, TrimCase::Lines, 27, 100, M - 1, "L003495 "},
        {"line start several windows back", M, over, TrimCase::Lines, 0, 1000, over - 349000, "L000349 "},
        {"no line break at all: exactly the limit kept", M, over, TrimCase::NoBreaks, 0, 0, M, "xxx"},
        {"line break only in the file's first bytes", 600, 900, TrimCase::ShortThenLong, 0, 0, 896, "yyy"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TLDSLogger log(logPath_);
        log.MaxFileSize = c.maxFileSize;
        const std::string text = "tail";
        const int64_t lineLength = 23 + 1 + int64_t(text.size()) + 2;
        const std::string fixture = TrimFixture(c, c.total - lineLength);
        ASSERT_EQ(int64_t(fixture.size()), c.total - lineLength);
        WriteFile(NativeLog(), fixture);

        log.Write(text, lvPlain);

        std::string content = ReadFile(NativeLog());
        ASSERT_EQ(int64_t(content.size()), c.expectedSize);
        EXPECT_EQ(content.substr(0, c.expectedStart.size()), c.expectedStart);
        // What is kept is the fixture's tail and the new line, unchanged.
        std::string line = content.substr(content.size() - size_t(lineLength));
        EXPECT_TRUE(std::regex_match(line, std::regex(kStampPattern + " tail\r\n")));
        EXPECT_EQ(content.substr(0, content.size() - line.size()),
                  fixture.substr(fixture.size() - (content.size() - line.size())));
        EXPECT_EQ(platform::FindFiles(logPath_ + "_*").size(), 0u) << "temporary file left";
    }
    EXPECT_EQ(ErrorsLog(), "");
}

TEST_F(LogWriter, RotatesToNumberedBackupsWhenNotTrimmingInPlace) {
    auto at = [&](const std::string& name) { return prefix_.DriveC("TORV/LogFiles/" + name); };
    WriteFile(NativeLog(), std::string(400, 'o') + "\r\n");
    for (const char* b : {"000", "001", "002"}) WriteFile(at(std::string("PDT.log") + b), b);
    // Not backups: the temporary file of a trim, other extensions, the log's own extension.
    for (const char* other : {"PDT.log_12_34", "PDT.logx1", "PDT.log.7", "PDT.LOG"}) WriteFile(at(other), other);

    TLDSLogger log(logPath_);
    log.TrimInPlace = false;
    log.MaxFileSize = 300;
    log.MaxBackups = 2;
    log.Write("overflow", lvPlain);

    EXPECT_FALSE(platform::FileExists(logPath_));
    EXPECT_TRUE(std::regex_match(ReadFile(at("PDT.log000")),
                                 std::regex(std::string(400, 'o') + "\r\n" + kStampPattern + " overflow\r\n")));
    EXPECT_EQ(ReadFile(at("PDT.log001")), "000");
    EXPECT_EQ(ReadFile(at("PDT.log002")), "001");
    EXPECT_FALSE(platform::FileExists(logPath_ + "003"));
    for (const char* other : {"PDT.log_12_34", "PDT.logx1", "PDT.log.7", "PDT.LOG"})
        EXPECT_EQ(ReadFile(at(other)), other);

    log.Write("fresh", lvPlain);
    EXPECT_TRUE(std::regex_match(ReadFile(NativeLog()), std::regex(kStampPattern + " fresh\r\n")));

    // Without a limit every backup moves up, past three digits where needed.
    for (const char* b : {"PDT.log000", "PDT.log001", "PDT.log002", "PDT.logx1"}) std::remove(at(b).c_str());
    WriteFile(at("PDT.log5"), "five");
    WriteFile(at("PDT.log999"), "last");
    RotateFiles(logPath_, 0);
    EXPECT_EQ(ReadFile(at("PDT.log006")), "five");
    EXPECT_EQ(ReadFile(at("PDT.log1000")), "last");
    EXPECT_TRUE(std::regex_match(ReadFile(at("PDT.log000")), std::regex(kStampPattern + " fresh\r\n")));
    EXPECT_EQ(ErrorsLog(), "");
}

TEST(LogStamp, ReadsTheStampAtALineStart) {
    const TDateTime today = EncodeDate(2024, 3, 1) + 0.75;
    TFormatSettings fs;
    fs.DateSeparator = '.';
    fs.TimeSeparator = ':';
    struct Case {
        std::string line, format;
        std::optional<TDateTime> expected;
    };
    const Case cases[] = {
        {"09.12.2010 14:03:07.045 [инф] x", "dd/mm/yyyy hh:nn:ss.zzz", kStamp},
        {"+ 09.12.2010 14:03:07.045 x", "dd/mm/yyyy hh:nn:ss.zzz", kStamp},
        {"14:03:07 x", "hh:nn:ss", EncodeDate(2024, 3, 1) + EncodeTime(14, 3, 7, 0)},
        {"2010-12-09 14:03 x", "yyyy-mm-dd hh:nn", EncodeDate(2010, 12, 9) + EncodeTime(14, 3, 0, 0)},
        {"continuation of a message", "dd/mm/yyyy hh:nn:ss.zzz", std::nullopt},
        {"32.12.2010 14:03:07.045 x", "dd/mm/yyyy hh:nn:ss.zzz", std::nullopt},
        {"09.12.10 14:03:07.045", "dd/mm/yyyy hh:nn:ss.zzz", std::nullopt},
        {"", "dd/mm/yyyy hh:nn:ss.zzz", std::nullopt},
    };
    for (const auto& c : cases) {
        auto got = ParseLogStamp(c.line, c.format, fs, today);
        ASSERT_EQ(got.has_value(), c.expected.has_value()) << c.line;
        if (got) {
            EXPECT_NEAR(*got, *c.expected, 1e-9) << c.line;
        }
    }
}

// A log of `count` lines of about 80 bytes stamped `ageDays` ago.
std::string AgedLines(double ageDays, int count, const char* what) {
    std::string out;
    for (int i = 0; i < count; ++i)
        out += FormatDateTime("dd/mm/yyyy hh:nn:ss.zzz", Now() - ageDays, LogFormatSettings()) + " " + what + " " +
               std::to_string(i) + std::string(50, '.') + "\r\n";
    return out;
}

TEST_F(LogWriter, TrimsByAgeAtTheFirstYoungLineAfterOldOnes) {
    struct Case {
        const char* name;
        std::string fixture;
        std::string text;  // the line written
        bool cut;
    };
    const std::string young = AgedLines(0.1, 50, "young");
    const Case cases[] = {
        {"old lines go", AgedLines(3, 500, "old") + young, "new", true},
        {"first line younger than 4/3 of the period: kept", AgedLines(1.2, 500, "old") + young, "new", false},
        {"no young dated line after the old ones: kept", AgedLines(3, 500, "old") + std::string(40000, 'z') + "\r\n",
         " ", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(NativeLog(), c.fixture);
        TLDSLogger log(logPath_);
        log.RetentionDays = 1;
        log.Write(c.text, lvPlain);
        std::string content = ReadFile(NativeLog());
        std::string kept = c.cut ? young : c.fixture;
        ASSERT_EQ(content.substr(0, kept.size()), kept);
        std::string line = Trim(c.text).empty() ? "\r\n" : kStampPattern + " " + c.text + "\r\n";
        EXPECT_TRUE(std::regex_match(content.substr(kept.size()), std::regex(line)));
    }

    // One check a minute per writer: the second write leaves old lines alone.
    TLDSLogger log(logPath_);
    log.RetentionDays = 1;
    log.Write("checked", lvPlain);
    std::string old = AgedLines(3, 500, "old") + young;
    WriteFile(NativeLog(), old);
    log.Write("too soon", lvPlain);
    EXPECT_EQ(ReadFile(NativeLog()).substr(0, old.size()), old);
    EXPECT_EQ(ErrorsLog(), "");
}

TEST_F(LogWriter, OpenRetriesOnlyWhileTheFileIsHeld) {
    using namespace platform;
    ASSERT_TRUE(ForceDirectories("C:\\TORV\\LogFiles"));
    WriteFile(NativeLog(), "held\r\n");
    const std::string busy = SysErrorMessage(ERROR_SHARING_VIOLATION);
    struct Case {
        const char* name;
        std::string path;
        TLogOpenMode mode;
        int timeout;
        std::string className, message;
    };
    const Case cases[] = {
        {"held past the time-out", logPath_, TLogOpenMode::fmOpenReadWrite, 50, "Exception",
         "Log file open timeout: 50 ms (" + busy + ")"},
        {"held, create mode", logPath_, TLogOpenMode::fmCreate, 30, "Exception",
         "Log file open timeout: 30 ms (" + busy + ")"},
        {"held, one attempt", logPath_, TLogOpenMode::fmOpenReadWrite, 0, "EFOpenError",
         "Cannot open file \"" + logPath_ + "\". " + busy},
        {"missing: no retry", logPath_ + "x", TLogOpenMode::fmOpenReadWrite, 60000, "EFOpenError",
         "Cannot open file \"" + logPath_ + "x\". " + SysErrorMessage(ERROR_FILE_NOT_FOUND)},
    };
    auto holder = File::Open(logPath_, AccessReadWrite, ShareNone, Disposition::OpenExisting);
    ASSERT_TRUE(holder);
    for (const auto& c : cases) {
        try {
            OpenLogStream(c.path, c.mode, c.timeout);
            ADD_FAILURE() << c.name << ": opened";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.ClassName(), c.className.c_str()) << c.name;
            EXPECT_EQ(e.Message(), c.message) << c.name;
        }
    }
    holder.reset();
    auto file = OpenLogStream(logPath_, TLogOpenMode::fmOpenReadWrite, 0);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Size(), 6);
}

TEST(LogMutex, NameComesFromThePathAndSurvivesTheSameNameInOtherCase) {
    struct Case {
        std::string path, name;
    };
    const Case cases[] = {
        {"C:\\TORV\\LogFiles\\PDT.log", "c__torv_logfiles_pdt.log"},
        {"C:\\Журнал\\ОБМЕН.log", "c__журнал_обмен.log"},
        {"a\"b*c/d:e<f>g?h\\i|j\x01", "a_b_c_d_e_f_g_h_i_j\x01"},
    };
    for (const auto& c : cases) EXPECT_EQ(MutexNameFor(c.path), c.name) << c.path;

    TempPrefix prefix;
    TLDSLogger log("C:\\TORV\\LogFiles\\PDT.log");
    EXPECT_EQ(log.MutexName(), "Global\\c__torv_logfiles_pdt.log");
    log.SetFileName("c:\\torv\\logfiles\\pdt.LOG");
    EXPECT_EQ(log.FileName(), "C:\\TORV\\LogFiles\\PDT.log");
    log.SetFileName("");
    EXPECT_EQ(log.FileName(), "C:\\TORV\\LogFiles\\PDT.log");

    log.SetUseGlobalMutex(false);
    EXPECT_EQ(log.MutexName(), "");
    log.SetUseGlobalMutex(true);
    EXPECT_EQ(log.MutexName(), "");  // created by the next SetFileName, even with the same name
    log.SetFileName("C:\\TORV\\LogFiles\\PDT.log");
    EXPECT_EQ(log.MutexName(), "Global\\c__torv_logfiles_pdt.log");

    log.SetFileName("Other.log");
    EXPECT_EQ(log.FileName(), platform::ExecutableDirectory() + "/Other.log");
    EXPECT_EQ(log.MutexName(), "Global\\" + MutexNameFor(platform::ExecutableDirectory() + "/Other.log"));

    DefaultUseGlobalMutex = false;
    TLDSLogger plain("C:\\x.log");
    DefaultUseGlobalMutex = true;
    EXPECT_EQ(plain.MutexName(), "");
}

}  // namespace
