// Command lines split by the Windows rules, program lookup in the prefix,
// and RunAndWait with its exit code and error texts.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "TestSupport.h"
#include "platform/Process.h"
#include "rtl/Exception.h"

using namespace tolvane;
using namespace tolvane::platform;
using tolvane::test::TempPrefix;

namespace {

TEST(SplitCommandLine, FollowsTheWindowsQuotingRules) {
    struct Case {
        std::string line;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {"REGSVR32.EXE /s \"C:\\TORV\\CitySoftWarehouseDos_OLE.dll\"",
         {"REGSVR32.EXE", "/s", "C:\\TORV\\CitySoftWarehouseDos_OLE.dll"}},
        {"  prog   a\tb  ", {"prog", "a", "b"}},
        {"\"C:\\Program Files\\x.exe\" arg", {"C:\\Program Files\\x.exe", "arg"}},
        {"C:\\dir\\\"x y\"\\p.exe z", {"C:\\dir\\x y\\p.exe", "z"}},  // no escapes in the program name
        {"p a\\\\\\b", {"p", "a\\\\\\b"}},                            // backslashes without a quote stay
        {"p \"a\\\\\" b", {"p", "a\\", "b"}},                         // 2n backslashes + quote: n, quote toggles
        {"p a\\\"b", {"p", "a\"b"}},                                  // 2n+1: n and a literal quote
        {"p \"a \"\"q\"\" b\"", {"p", "a \"q\" b"}},                  // "" inside quotes
        {"p \"\" x", {"p", "", "x"}},                                 // an empty quoted argument
        {"p \"open ended", {"p", "open ended"}},
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.line;
}

class Programs : public ::testing::Test {
protected:
    // An executable shell script under the prefix's system32.
    std::string InstallTool(const std::string& name, const std::string& body) {
        std::string path = prefix.DriveC("windows/system32/" + name);
        test::WriteFile(path, "#!/bin/sh\n" + body + "\n");
        chmod(path.c_str(), 0755);
        return path;
    }
    TempPrefix prefix;
};

TEST_F(Programs, FindProgramLooksInSystem32IgnoringCaseThenInPath) {
    std::string tool = InstallTool("regsvr32.exe", "exit 0");
    EXPECT_EQ(FindProgram("REGSVR32.EXE"), tool);
    EXPECT_EQ(FindProgram("sh"), "/usr/bin/sh") << "found in PATH";
    EXPECT_EQ(FindProgram("C:\\windows\\system32\\regsvr32.exe"), tool);
    EXPECT_EQ(FindProgram("SH"), "") << "PATH is searched exactly";
    EXPECT_EQ(FindProgram("no-such-tool.exe"), "");
}

TEST_F(Programs, RunAndWaitPassesTheArgumentsAndReturnsTheExitCode) {
    std::string out = prefix.DriveC("args.txt");
    InstallTool("TOOL.EXE", "printf '%s|' \"$@\" > '" + out + "'\nexit 7");
    EXPECT_EQ(RunAndWait("tool.exe /s \"C:\\Мои файлы\\a.dll\""), 7u);
    EXPECT_EQ(test::ReadFile(out), "/s|C:\\\xD0\x9C\xD0\xBE\xD0\xB8 \xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB\xD1\x8B\\a.dll|")
        << "arguments reach the program as UTF-8";
    InstallTool("KILLED.EXE", "kill -9 $$");
    EXPECT_EQ(RunAndWait("killed.exe"), 128u + 9u);
}

TEST_F(Programs, RunAndWaitStopsAProcessThatOutlivesItsTimeLimit) {
    std::string pidFile = prefix.DriveC("pid.txt");
    InstallTool("HANG.EXE", "echo $$ > '" + pidFile + "'\nexec sleep 600");
    try {
        RunAndWait("hang.exe", 200);
        FAIL() << "the time limit passed unnoticed";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message().rfind("Timeout in WaitForSingleObject", 0), 0u) << e.Message();
    }
    int pid = std::stoi(test::ReadFile(pidFile));
    EXPECT_FALSE(std::filesystem::exists("/proc/" + std::to_string(pid))) << "stopped and reaped";
}

// Each failing system call gives its own text.
TEST_F(Programs, RunAndWaitErrorTexts) {
    InstallTool("OK.EXE", "exit 0");
    ProcessCalls saved = CurrentProcessCalls();
    struct Case {
        const char* failing;
        std::string text;
    };
    const Case cases[] = {
        {"start", "Error during CreateProcess"},
        {"wait", "Error in WaitForSingleObject"},
        {"exit", "Error in GetExitCodeProcess"},
        {"close", "Error in process Close Handle"},
    };
    for (const auto& c : cases) {
        ProcessCalls& os = CurrentProcessCalls();
        os = DefaultProcessCalls();
        std::string failing = c.failing;
        ProcessHandle started;
        auto real = os;
        if (failing == "start") os.CreateProcess = [](auto&, auto&, ProcessHandle&) { return false; };
        if (failing == "wait") os.WaitForSingleObject = [](auto&, uint32_t) { return WaitResult::Failed; };
        if (failing == "exit") os.GetExitCodeProcess = [](auto&, uint32_t&) { return false; };
        if (failing == "close")
            os.CloseHandle = [real](const ProcessHandle& h) {
                real.CloseHandle(h);
                return false;
            };
        try {
            RunAndWait("ok.exe");
            ADD_FAILURE() << c.failing << " failure went unnoticed";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.text);
        }
    }
    CurrentProcessCalls() = saved;
    EXPECT_EQ(RunAndWait("ok.exe"), 0u);
    try {
        RunAndWait("missing-program.exe");
        ADD_FAILURE() << "a missing program started";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Error during CreateProcess");
    }
}

}  // namespace
