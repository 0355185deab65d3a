// Paths, share-mode opens, atomic replacement and the in-process side of
// named mutexes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <tuple>

#include "TestSupport.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "platform/NamedMutex.h"
#include "platform/Paths.h"
#include "platform/SerialPort.h"
#include "platform/SystemError.h"

using namespace tolvane::platform;
using tolvane::test::TempPrefix;

namespace {

TEST(Paths, MapsDrivePathsIntoThePrefix) {
    TempPrefix prefix;
    const std::string p = prefix.Path();
    struct Case {
        std::string system;
        std::string native;
    };
    const Case cases[] = {
        {"C:\\TORV\\LogFiles\\PDT.log", p + "/drive_c/TORV/LogFiles/PDT.log"},
        {"c:/torv/x.txt", p + "/drive_c/torv/x.txt"},
        {"D:\\a", p + "/drive_d/a"},
        {"C:", p + "/drive_c/"},
        {"/tmp/plain", "/tmp/plain"},
        {"C:\\Архив\\док.txt", p + "/drive_c/\xD0\x90\xD1\x80\xD1\x85\xD0\xB8\xD0\xB2/\xD0\xB4\xD0\xBE\xD0\xBA.txt"},
    };
    for (const auto& c : cases) EXPECT_EQ(NativePath(c.system), c.native) << c.system;
    EXPECT_EQ(WindowsDirectory(), "C:\\windows");
    EXPECT_EQ(SerialPortDevice(3), "/dev/ttyS2");
    tolvane::test::WriteFile(p + "/dosdevices/com3", "");
    EXPECT_EQ(SerialPortDevice(3), p + "/dosdevices/com3");
}

TEST(Files, ShareModesConflictLikeWindows) {
    TempPrefix prefix;
    const std::string path = "C:\\share.txt";
    ASSERT_TRUE(ForceDirectories("C:\\"));
    auto shared = File::Open(path, AccessReadWrite, ShareReadWrite, Disposition::OpenAlways);
    ASSERT_TRUE(shared);
    auto second = File::Open(path, AccessRead, ShareReadWrite, Disposition::OpenExisting);
    EXPECT_TRUE(second);
    EXPECT_FALSE(File::Open(path, AccessRead, ShareNone, Disposition::OpenExisting));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    shared.reset();
    // No opener shares deletion.
    EXPECT_FALSE(DeleteFile(path));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    second.reset();

    auto exclusive = File::Open(path, AccessReadWrite, ShareNone, Disposition::OpenExisting);
    ASSERT_TRUE(exclusive);
    EXPECT_FALSE(File::Open(path, AccessRead, ShareReadWrite, Disposition::OpenExisting));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    // A refused CreateAlways must not have emptied the file.
    ASSERT_TRUE(exclusive->Write("keep", 4));
    EXPECT_FALSE(File::Open(path, AccessWrite, ShareReadWrite, Disposition::CreateAlways));
    EXPECT_EQ(*FileSize(path), 4);
    exclusive.reset();
    EXPECT_TRUE(File::Open(path, AccessRead, ShareRead, Disposition::OpenExisting));
    EXPECT_TRUE(DeleteFile(path)) << "deletable once nobody holds it";
    EXPECT_FALSE(FileExists(path));
}

TEST(Files, ErrorsCarryWindowsCodes) {
    TempPrefix prefix;
    EXPECT_FALSE(File::Open("C:\\none\\x.txt", AccessRead, ShareReadWrite, Disposition::OpenExisting));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    ASSERT_TRUE(ForceDirectories("C:\\dir"));
    EXPECT_FALSE(File::Open("C:\\dir\\x.txt", AccessRead, ShareReadWrite, Disposition::OpenExisting));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SysErrorMessage(ERROR_SHARING_VIOLATION),
              "The process cannot access the file because it is being used by another process.");
}

TEST(Files, AtomicWriteFindAndRename) {
    TempPrefix prefix;
    ASSERT_TRUE(ForceDirectories("C:\\TORV\\LogFiles"));
    ASSERT_TRUE(WriteFileAtomically("C:\\TORV\\LogFiles\\PDT.log", "one"));
    ASSERT_TRUE(WriteFileAtomically("C:\\TORV\\LogFiles\\PDT.log", "two"));
    EXPECT_EQ(*ReadWholeFile("C:\\TORV\\LogFiles\\PDT.log"), "two");
    ASSERT_TRUE(WriteFileAtomically("C:\\TORV\\LogFiles\\PDT.log001", "b"));
    EXPECT_FALSE(RenameFile("C:\\TORV\\LogFiles\\PDT.log", "C:\\TORV\\LogFiles\\PDT.log001"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    auto names = FindFiles("C:\\TORV\\LogFiles\\pdt.LOG*");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"PDT.log", "PDT.log001"}));
    EXPECT_TRUE(FindFiles("C:\\TORV\\LogFiles\\*.txt").empty());
}

TEST(NamedMutex, ReentrantForOwnerAndExclusiveAcrossThreads) {
    TempPrefix prefix;
    auto a = NamedMutex::Create("Global\\tolvane-test-reentrant");
    auto b = NamedMutex::Create("tolvane-test-reentrant");  // same mutex, another handle
    ASSERT_TRUE(a && b);
    a->Wait();
    b->Wait();  // same thread: re-entrant across handles
    std::atomic<bool> other{false};
    std::thread t([&] {
        EXPECT_FALSE(b->TryWait(50));
        a->Wait();
        other = true;
        a->Release();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(other);
    EXPECT_TRUE(b->Release());
    EXPECT_FALSE(other);  // still held once
    EXPECT_TRUE(a->Release());
    t.join();
    EXPECT_TRUE(other);
    EXPECT_FALSE(a->Release());
    EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
}

TEST(PostMessage, GoesToTheInstalledHandlerOnly) {
    EXPECT_FALSE(PostMessage(7, 1345, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);

    std::vector<std::tuple<WindowHandle, uint32_t, uintptr_t, intptr_t>> posts;
    auto previous = SetPostMessageHandler([&](WindowHandle w, uint32_t m, uintptr_t wp, intptr_t lp) {
        posts.emplace_back(w, m, wp, lp);
        return w != 13;
    });
    EXPECT_FALSE(previous);
    EXPECT_TRUE(PostMessage(7, 1345, 1, -2));
    EXPECT_FALSE(PostMessage(13, 1, 0, 0));  // the handler's answer
    EXPECT_FALSE(PostMessage(0, 1, 0, 0));   // never delivered
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    auto installed = SetPostMessageHandler(nullptr);
    EXPECT_TRUE(installed);
    EXPECT_FALSE(PostMessage(7, 1345, 0, 0));
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[0], std::make_tuple(WindowHandle(7), 1345u, uintptr_t(1), intptr_t(-2)));
}

}  // namespace

namespace {

class ManualClock : public Clock {
public:
    uint64_t NowMs() const override { return now; }
    uint64_t now = 1000;
};

TEST(Deadline, CountsDownAndStops) {
    ManualClock clock;
    Deadline deadline(clock, 250);
    EXPECT_EQ(deadline.RemainingMs(), 250u);
    EXPECT_FALSE(deadline.Expired());
    clock.now += 249;
    EXPECT_EQ(deadline.RemainingMs(), 1u);
    clock.now += 1;
    EXPECT_TRUE(deadline.Expired());
    clock.now += 10;
    EXPECT_EQ(deadline.RemainingMs(), 0u);  // never wraps below zero
}

// A pseudo-terminal pair: the port under test opens the slave side.
struct PtyPair {
    PtyPair() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) throw std::runtime_error("no pty");
        slave = ptsname(master);
    }
    ~PtyPair() {
        if (master >= 0) close(master);
    }
    int master;
    std::string slave;
};

TEST(SerialPort, ReadsWritesTimesOutAndSeesTheHangUp) {
    PtyPair pty;
    auto port = SerialPort::Open(pty.slave);
    ASSERT_TRUE(port);
    ASSERT_TRUE(port->Configure(9600));
    EXPECT_FALSE(port->Configure(12345));  // no such speed
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    // Raw mode: every byte value passes unchanged, no echo, no line editing.
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(char(b));
    ASSERT_EQ(write(pty.master, all.data(), all.size()), 256);
    std::string got;
    char buffer[512];
    size_t n = 0;
    while (got.size() < all.size()) {
        ASSERT_EQ(port->Read(buffer, sizeof buffer, 5000, n), SerialPort::ReadResult::Data);
        got.append(buffer, n);
    }
    EXPECT_EQ(got, all);
    EXPECT_EQ(port->Read(buffer, sizeof buffer, 0, n), SerialPort::ReadResult::Timeout);
    EXPECT_EQ(n, 0u);

    ASSERT_TRUE(port->Write("ping", 4));
    char back[8] = {};
    ASSERT_EQ(read(pty.master, back, sizeof back), 4);
    EXPECT_STREQ(back, "ping");

    ASSERT_EQ(write(pty.master, "stale", 5), 5);
    port->FlushInput();
    EXPECT_EQ(port->Read(buffer, sizeof buffer, 0, n), SerialPort::ReadResult::Timeout);

    EXPECT_FALSE(port->HungUp());
    close(pty.master);
    pty.master = -1;
    EXPECT_TRUE(port->HungUp());
    EXPECT_EQ(port->Read(buffer, sizeof buffer, 5000, n), SerialPort::ReadResult::HungUp);
    EXPECT_FALSE(port->Write("x", 1));
}

TEST(SerialPort, RefusesWhatIsNotAPort) {
    TempPrefix prefix;
    tolvane::test::WriteFile(prefix.Path() + "/file", "x");
    EXPECT_FALSE(SerialPort::Open(prefix.Path() + "/file"));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(SerialPort::Open(prefix.Path() + "/none"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
