#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <filesystem>

#include "platform/Paths.h"
#include "platform/SystemError.h"
#include "rtl/Encoding.h"
#include "rtl/Strings.h"

namespace tolvane::platform {

namespace {

// Share modes as open-file-description locks on bytes far past any real
// data: an opener that accesses X holds a shared lock on X's byte, an
// opener that denies X an exclusive one. So an open conflicts exactly when
// one side denies what the other accesses. The locks sit on a second
// read-write description of the file, since a lock's type must match the
// mode its descriptor was opened with; without write permission to the file
// only the locks that its own mode allows are taken.
constexpr off_t kShareByte[] = {LLONG_MAX - 16, LLONG_MAX - 15};  // read, write

bool LockByte(int fd, off_t offset, short type) {
    struct flock lk{};
    lk.l_type = type;
    lk.l_whence = SEEK_SET;
    lk.l_start = offset;
    lk.l_len = 1;
    return fcntl(fd, F_OFD_SETLK, &lk) == 0;
}

bool ApplyShareMode(int lockFd, unsigned lockMode, unsigned access, unsigned share) {
    for (int k = 0; k < 2; ++k) {
        unsigned bit = k == 0 ? AccessRead : AccessWrite;
        bool denies = !(share & bit);
        if (!(access & bit) && !denies) continue;
        short type = denies ? F_WRLCK : F_RDLCK;
        if (!(lockMode & (type == F_WRLCK ? AccessWrite : AccessRead))) continue;
        if (!LockByte(lockFd, kShareByte[k], type)) return false;
    }
    return true;
}

int OpenFlags(unsigned access, Disposition disposition) {
    int flags = O_CLOEXEC | (access == AccessReadWrite ? O_RDWR : access == AccessWrite ? O_WRONLY : O_RDONLY);
    switch (disposition) {
        case Disposition::OpenExisting: break;
        case Disposition::CreateNew: flags |= O_CREAT | O_EXCL; break;
        case Disposition::CreateAlways: flags |= O_CREAT; break;
        case Disposition::OpenAlways: flags |= O_CREAT; break;
    }
    return flags;
}

bool Fail(int e) {
    SetLastErrorFromErrno(e);
    return false;
}

// A missing folder on the way is "path not found", as on Windows.
uint32_t OpenError(int e, const std::string& nativePath) {
    if (e == ENOENT) {
        auto parent = std::filesystem::path(nativePath).parent_path();
        std::error_code ec;
        if (!parent.empty() && !std::filesystem::is_directory(parent, ec)) return ERROR_PATH_NOT_FOUND;
    }
    return ErrnoToSystemError(e);
}

bool MatchesPattern(std::string_view name, std::string_view pattern) {
    if (pattern.empty()) return name.empty();
    if (pattern[0] == '*') {
        for (size_t i = 0; i <= name.size(); ++i)
            if (MatchesPattern(name.substr(i), pattern.substr(1))) return true;
        return false;
    }
    if (name.empty()) return false;
    if (pattern[0] != '?' && AnsiLowerChar(pattern[0]) != AnsiLowerChar(name[0])) return false;
    return MatchesPattern(name.substr(1), pattern.substr(1));
}

}  // namespace

std::unique_ptr<File> File::Open(const std::string& systemPath, unsigned access, unsigned share,
                                 Disposition disposition) {
    std::string path = NativePath(systemPath);
    int fd = open(path.c_str(), OpenFlags(access, disposition), 0666);
    if (fd < 0) {
        SetLastError(OpenError(errno, path));
        return nullptr;
    }
    struct stat st{};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    int lockFd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    unsigned lockMode = AccessReadWrite;
    if (lockFd < 0) {
        lockFd = fd;
        lockMode = access;
    }
    if (!ApplyShareMode(lockFd, lockMode, access, share)) {
        if (lockFd != fd) close(lockFd);
        close(fd);
        SetLastError(ERROR_SHARING_VIOLATION);
        return nullptr;
    }
    // Truncate only once the share mode allowed the open.
    if (disposition == Disposition::CreateAlways && ftruncate(fd, 0) != 0) {
        int e = errno;
        if (lockFd != fd) close(lockFd);
        close(fd);
        SetLastErrorFromErrno(e);
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    return std::unique_ptr<File>(new File(fd, lockFd));
}

File::~File() {
    if (lockFd_ != fd_) close(lockFd_);
    close(fd_);
}

bool File::Read(void* buffer, size_t size, size_t& got) {
    got = 0;
    for (;;) {
        ssize_t n = read(fd_, buffer, size);
        if (n >= 0) {
            got = size_t(n);
            return true;
        }
        if (errno != EINTR) return Fail(errno);
    }
}

bool File::ReadExact(void* buffer, size_t size) {
    auto* p = static_cast<char*>(buffer);
    while (size > 0) {
        size_t got = 0;
        if (!Read(p, size, got)) return false;
        if (got == 0) {
            SetLastError(ERROR_HANDLE_EOF);
            return false;
        }
        p += got;
        size -= got;
    }
    return true;
}

bool File::Write(const void* buffer, size_t size) {
    auto* p = static_cast<const char*>(buffer);
    while (size > 0) {
        ssize_t n = write(fd_, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(errno);
        }
        p += n;
        size -= size_t(n);
    }
    return true;
}

bool File::Seek(int64_t offset, int whence, int64_t* position) {
    off_t at = lseek(fd_, offset, whence);
    if (at < 0) return Fail(errno);
    if (position) *position = at;
    return true;
}

bool File::SetSize(int64_t size) { return ftruncate(fd_, size) == 0 || Fail(errno); }

int64_t File::Size() const {
    struct stat st{};
    if (fstat(fd_, &st) != 0) {
        SetLastErrorFromErrno(errno);
        return -1;
    }
    return st.st_size;
}

bool FileExists(const std::string& systemPath) {
    struct stat st{};
    return stat(NativePath(systemPath).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& systemPath) {
    struct stat st{};
    return stat(NativePath(systemPath).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<int64_t> FileSize(const std::string& systemPath) {
    struct stat st{};
    if (stat(NativePath(systemPath).c_str(), &st) != 0) {
        SetLastErrorFromErrno(errno);
        return std::nullopt;
    }
    return st.st_size;
}

bool DeleteFile(const std::string& systemPath) {
    std::string path = NativePath(systemPath);
    // No opener through this layer shares deletion (there is no share-delete
    // mode), so a file that one holds open cannot be deleted, as on Windows.
    if (int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW); fd >= 0) {
        struct flock lk{};
        lk.l_type = F_WRLCK;
        lk.l_whence = SEEK_SET;
        lk.l_start = kShareByte[0];
        lk.l_len = 2;
        bool held = fcntl(fd, F_OFD_GETLK, &lk) == 0 && lk.l_type != F_UNLCK;
        close(fd);
        if (held) {
            SetLastError(ERROR_SHARING_VIOLATION);
            return false;
        }
    }
    return unlink(path.c_str()) == 0 || Fail(errno);
}

bool RenameFile(const std::string& from, const std::string& to) {
    std::string target = NativePath(to);
    if (access(target.c_str(), F_OK) == 0) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    return rename(NativePath(from).c_str(), target.c_str()) == 0 || Fail(errno);
}

bool ForceDirectories(const std::string& systemPath) {
    std::error_code ec;
    std::filesystem::create_directories(NativePath(systemPath), ec);
    if (ec) return Fail(ec.value());
    return true;
}

std::vector<std::string> FindFiles(const std::string& systemPattern) {
    std::string native = NativePath(systemPattern);
    size_t slash = native.rfind('/');
    std::string dir = slash == std::string::npos ? "." : native.substr(0, slash == 0 ? 1 : slash);
    std::string pattern = Utf8ToCp1251(slash == std::string::npos ? native : native.substr(slash + 1));
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (!d) {
        SetLastErrorFromErrno(errno);
        return names;
    }
    while (dirent* entry = readdir(d)) {
        std::string name = Utf8ToCp1251(entry->d_name);
        if (name == "." || name == "..") continue;
        if (MatchesPattern(name, pattern)) names.push_back(name);
    }
    closedir(d);
    return names;
}

std::optional<std::string> ReadWholeFile(const std::string& systemPath) {
    auto file = File::Open(systemPath, AccessRead, ShareReadWrite, Disposition::OpenExisting);
    if (!file) return std::nullopt;
    std::string content;
    char buffer[65536];
    for (;;) {
        size_t got = 0;
        if (!file->Read(buffer, sizeof buffer, got)) return std::nullopt;
        if (got == 0) break;
        content.append(buffer, got);
    }
    return content;
}

bool WriteFileAtomically(const std::string& systemPath, const std::string& content) {
    std::string target = NativePath(systemPath);
    std::string temp = target + ".tmp" + std::to_string(getpid()) + "_" + std::to_string(gettid());
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        SetLastError(OpenError(errno, temp));
        return false;
    }
    struct stat old{};
    if (stat(target.c_str(), &old) == 0) fchmod(fd, old.st_mode & 07777);
    size_t done = 0;
    while (done < content.size()) {
        ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int e = errno;
            close(fd);
            unlink(temp.c_str());
            return Fail(e);
        }
        done += size_t(n);
    }
    if (fsync(fd) != 0 || close(fd) != 0) {
        int e = errno;
        unlink(temp.c_str());
        return Fail(e);
    }
    if (rename(temp.c_str(), target.c_str()) != 0) {
        int e = errno;
        unlink(temp.c_str());
        return Fail(e);
    }
    return true;
}

}  // namespace tolvane::platform
