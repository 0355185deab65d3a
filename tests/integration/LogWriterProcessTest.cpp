// The log writer between real processes: many writers trimming one file,
// and a file held open exclusively by another program.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <regex>

#include "TestSupport.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/SystemError.h"
#include "support/LDSLogger.h"
#include "support/LogFiles.h"

using namespace tolvane;
using namespace tolvane::test;

namespace {

const std::string kLogPath = "C:\\TORV\\LogFiles\\PDT.log";
const std::string kStampPattern = R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\.\d{3})";

// A private prefix with the errors log in it. Nothing of the log writer
// exists before the children are forked: each process makes its own.
class LogProcesses : public ::testing::Test {
protected:
    std::string ErrorsLog() const { return ReadFile(prefix_.Path() + "/ZAVLoggerErrorsWriter.log"); }
    std::string NativeLog() const { return prefix_.DriveC("TORV/LogFiles/PDT.log"); }

    TempPrefix prefix_;
    ScopedEnv tmpdir_{"TMPDIR", prefix_.Path()};
};

std::vector<std::string> SplitLines(const std::string& content) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < content.size();) {
        size_t end = content.find("\r\n", at);
        if (end == std::string::npos) end = content.size();
        lines.push_back(content.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

// Lines of different lengths whose body names its writer and number, so a
// torn or mixed line shows.
std::string Body(int process, int line) {
    return std::string(size_t(10 + (line * 7 + process) % 60), char('a' + process));
}

TEST_F(LogProcesses, FourWritersTrimmingManyTimesLeaveOnlyWholeLines) {
    const int kProcesses = 4, kLines = 5000;
    const int64_t kLimit = 32768;  // trimmed about every 11 KB, so well over a hundred times
    std::vector<int> pids;
    for (int p = 0; p < kProcesses; ++p) {
        pids.push_back(ForkChild([&, p] {
            InitializeZAVLoggerUnit();
            {
                TLDSLogger log(kLogPath);
                log.MaxFileSize = kLimit;
                log.SetTag("[Cipher]");
                for (int i = 0; i < kLines; ++i)
                    log.Write("P" + std::to_string(p) + " L" + std::to_string(i) + " " + Body(p, i), lvInfo);
            }
            FinalizeZAVLoggerUnit();
            return 0;
        }));
    }
    for (int pid : pids) EXPECT_EQ(WaitChild(pid), 0);

    const std::string content = ReadFile(NativeLog());
    ASSERT_GT(content.size(), 2u);
    EXPECT_LE(int64_t(content.size()), kLimit + kLimit / 3 + 200);
    ASSERT_EQ(content.substr(content.size() - 2), "\r\n");
    const std::regex line(kStampPattern + " \\[инф\\] \\[Cipher\\] P(\\d) L(\\d+) ([a-d]+)");
    int last[kProcesses] = {-1, -1, -1, -1};
    TDateTime previousStamp = 0;
    const auto lines = SplitLines(content);
    for (const std::string& l : lines) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(l, m, line)) << "malformed line: " << l;
        int p = std::stoi(m[1]), i = std::stoi(m[2]);
        ASSERT_EQ(m[3].str(), Body(p, i)) << l;
        EXPECT_GT(i, last[p]) << l;
        last[p] = i;
        // Stamps are taken under the lock, so they follow the file order.
        TDateTime stamp = *ParseLogStamp(l, "dd/mm/yyyy hh:nn:ss.zzz", LogFormatSettings(), Now());
        EXPECT_GE(stamp, previousStamp) << l;
        previousStamp = stamp;
    }
    EXPECT_LT(lines.size(), size_t(kProcesses * kLines) / 10);  // trimming did run
    EXPECT_EQ(ErrorsLog(), "");
}

TEST_F(LogProcesses, FileHeldExclusivelyCostsOneLineAndOneReport) {
    ASSERT_TRUE(platform::ForceDirectories("C:\\TORV\\LogFiles"));
    WriteFile(NativeLog(), "before\r\n");
    int held[2], written[2];
    ASSERT_EQ(pipe(held), 0);
    ASSERT_EQ(pipe(written), 0);
    int holder = ForkChild([&] {
        using namespace platform;
        auto file = File::Open(kLogPath, AccessReadWrite, ShareNone, Disposition::OpenExisting);
        if (!file) return 2;
        uint64_t start = GetTickCount64();
        char c = 1;
        if (write(held[1], &c, 1) != 1) return 3;
        // Released only after the parent's write has given up, and not
        // before a second has passed, as a program holding its file would.
        if (read(written[0], &c, 1) != 1) return 4;
        uint64_t elapsed = GetTickCount64() - start;
        if (elapsed < 1000) Sleep(uint32_t(1000 - elapsed));
        return 0;
    });
    char c;
    ASSERT_EQ(read(held[0], &c, 1), 1);

    InitializeZAVLoggerUnit();
    {
        TLDSLogger log(kLogPath);
        log.SetTag("[Cipher]");
        uint64_t start = platform::GetTickCount64();
        log.Write("while held", lvInfo);
        RecordProperty("WriteReturnedAfterMs", std::to_string(platform::GetTickCount64() - start));
        ASSERT_EQ(write(written[1], &c, 1), 1);
        EXPECT_EQ(WaitChild(holder), 0);
        log.Write("after release", lvInfo);
    }
    FinalizeZAVLoggerUnit();
    for (int fd : {held[0], held[1], written[0], written[1]}) close(fd);

    EXPECT_TRUE(std::regex_match(
        ReadFile(NativeLog()), std::regex("before\r\n" + kStampPattern + " \\[инф\\] \\[Cipher\\] after release\r\n")));
    const auto reports = SplitLines(ErrorsLog());
    ASSERT_EQ(reports.size(), 1u);
    const std::string expected = " Ошибка при попытке записи (fmOpenReadWrite) в лог \"" + kLogPath +
                                 "\" строки [while held]: Log file open timeout: 200 ms (" +
                                 platform::SysErrorMessage(platform::ERROR_SHARING_VIOLATION) + ") <Exception>";
    ASSERT_GT(reports[0].size(), 23u);
    EXPECT_TRUE(std::regex_match(reports[0].substr(0, 23), std::regex(kStampPattern))) << reports[0];
    EXPECT_EQ(reports[0].substr(23), expected);
}

}  // namespace
