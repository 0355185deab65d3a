// Several processes on one INI file: long values are written and read whole,
// and a writer killed in the middle of its writes leaves a whole value and
// no lock behind.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "TestSupport.h"
#include "support/SafeIniFile.h"

using namespace tolvane;
using tolvane::test::ForkChild;
using tolvane::test::TempPrefix;
using tolvane::test::WaitChild;

namespace {

const char* const kFile = "C:\\windows\\Trade.ini";

// A multi-part, multi-line value that names its writer and round, so a
// reader can tell a whole value from a mix of two.
std::string Value(int writer, int round) {
    std::string v = std::to_string(writer) + ":" + std::to_string(round) + ":";
    const size_t length = 2 * MaxValuePart + 500 + size_t(round % 7) * 300;
    for (size_t i = 0; v.size() < length; ++i)
        v += i % 60 == 59 ? std::string("\r\n") : std::string(1, char('a' + (writer * 7 + i) % 26));
    return v;
}

bool IsWhole(const std::string& v) {
    size_t first = v.find(':'), second = v.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) return false;
    int writer = std::stoi(v.substr(0, first)), round = std::stoi(v.substr(first + 1, second - first - 1));
    return v == Value(writer, round);
}

class SafeIniProcesses : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(prefix_.DriveC("windows")); }
    TempPrefix prefix_;
};

TEST_F(SafeIniProcesses, ConcurrentWritersAndReadersNeverSeeAMixOfParts) {
    {
        TSafeIniFile ini(kFile);
        ini.WriteString("Host", "Other", "kept");
        ini.WriteString("Tolvane", "Long", Value(9, 0));
    }
    constexpr int kWriters = 4, kRounds = 12, kReads = 40;
    std::vector<int> children;
    for (int w = 0; w < kWriters; ++w)
        children.push_back(ForkChild([w] {
            TSafeIniFile ini(kFile);
            for (int round = 0; round < kRounds; ++round) {
                ini.WriteString("Tolvane", "Long", Value(w, round));
                if (!IsWhole(ini.ReadString("Tolvane", "Long", ""))) return 1;
            }
            return 0;
        }));
    children.push_back(ForkChild([] {
        for (int i = 0; i < kReads; ++i) {
            TSafeIniFile ini(kFile);  // one object per read, as the driver uses it
            if (!IsWhole(ini.ReadString("Tolvane", "Long", ""))) return 2;
        }
        return 0;
    }));
    for (int pid : children) EXPECT_EQ(WaitChild(pid), 0);

    TSafeIniFile ini(kFile);
    EXPECT_TRUE(IsWhole(ini.ReadString("Tolvane", "Long", "")));
    EXPECT_EQ(ini.ReadString("Host", "Other", ""), "kept");
}

// Waits until the file has been replaced n times (each replacement is one
// rename onto its name).
void AwaitReplacements(int inotify, const std::string& name, int n) {
    alignas(inotify_event) char buffer[4096];
    while (n > 0) {
        ssize_t got = read(inotify, buffer, sizeof buffer);
        ASSERT_GT(got, 0);
        for (char* p = buffer; p < buffer + got;) {
            auto* event = reinterpret_cast<inotify_event*>(p);
            if (event->len > 0 && name == event->name) --n;
            p += sizeof(inotify_event) + event->len;
        }
    }
}

TEST_F(SafeIniProcesses, AWriterKilledMidWriteLeavesAWholeValueAndNoLock) {
    {
        TSafeIniFile ini(kFile);
        ini.WriteString("Tolvane", "Long", Value(99, 0));
    }
    // The kill follows the n-th change of the file the writer makes; a
    // writer that spread one value over several changes would be caught
    // between two of them.
    for (int replacements = 1; replacements <= 9; ++replacements) {
        int inotify = inotify_init1(IN_CLOEXEC);
        ASSERT_GE(inotify, 0);
        ASSERT_GE(inotify_add_watch(inotify, prefix_.DriveC("windows").c_str(), IN_MOVED_TO), 0);
        int pid = ForkChild([&]() -> int {
            TSafeIniFile ini(kFile);
            for (int round = 0;; ++round) ini.WriteString("Tolvane", "Long", Value(replacements, round));
        });
        AwaitReplacements(inotify, "Trade.ini", replacements);
        kill(pid, SIGKILL);
        EXPECT_EQ(WaitChild(pid), 128 + SIGKILL);
        close(inotify);

        TSafeIniFile ini(kFile);
        std::string value = ini.ReadString("Tolvane", "Long", "");
        EXPECT_TRUE(IsWhole(value)) << "after " << replacements << " changes: " << value.size() << " characters";
        // The killed writer's lock was taken over: writing goes on.
        ini.WriteString("Tolvane", "After", std::to_string(replacements));
        EXPECT_EQ(ini.ReadString("Tolvane", "After", ""), std::to_string(replacements));
    }
}

}  // namespace
