// Paths, share-mode opens, atomic replacement and the in-process side of
// named mutexes.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <tuple>

#include "TestSupport.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "platform/NamedMutex.h"
#include "platform/Paths.h"
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
