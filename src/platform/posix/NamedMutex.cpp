// Named mutexes as flock() on lock files in one sticky, world-writable
// folder. The kernel drops an flock when its holder dies, so a mutex left
// by a killed process is simply taken over by the next waiter. Within a
// process all handles of one name share one lock file and one owner
// record, which gives the thread ownership and re-entrancy of a Windows
// mutex (flock alone knows only open file descriptions).
#include "platform/NamedMutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "platform/SystemError.h"

namespace tolvane::platform {

struct NamedMutex::State {
    int fd = -1;
    std::mutex guard;
    std::condition_variable released;
    std::thread::id owner;
    int depth = 0;
    ~State() {
        if (fd >= 0) close(fd);
    }
};

namespace {

std::mutex registryGuard;
std::map<std::string, std::weak_ptr<NamedMutex::State>>& Registry() {
    static std::map<std::string, std::weak_ptr<NamedMutex::State>> registry;
    return registry;
}

std::string StripNamespace(const std::string& name) {
    for (const char* prefix : {"Global\\", "Local\\"})
        if (name.rfind(prefix, 0) == 0) return name.substr(std::char_traits<char>::length(prefix));
    return name;
}

// A file name for any mutex name: safe bytes kept, the rest as %XX; long
// names keep their head and a hash of the whole.
std::string LockFileName(const std::string& name) {
    std::string out;
    for (unsigned char c : name) {
        bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                    c == '-' || (c == '.' && !out.empty());
        if (safe) {
            out += char(c);
        } else {
            static const char kHex[] = "0123456789ABCDEF";
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    if (out.size() > 200) {
        uint64_t h = 1469598103934665603ull;
        for (unsigned char c : name) h = (h ^ c) * 1099511628211ull;
        out = out.substr(0, 180) + "~" + std::to_string(h);
    }
    return out + ".lock";
}

// The lock folder must be a real directory (not a planted symlink) with the
// sticky bit, so nobody can delete another account's lock file.
bool PrepareDirectory(const std::string& dir) {
    if (mkdir(dir.c_str(), 01777) == 0) {
        chmod(dir.c_str(), 01777);  // umask may have narrowed it
    } else if (errno != EEXIST) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    struct stat st{};
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || !(st.st_mode & S_ISVTX)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

int OpenLockFile(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && (errno == EACCES || errno == EROFS)) fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        SetLastErrorFromErrno(errno);
        return -1;
    }
    struct stat st{};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return -1;
    }
    if (st.st_uid == geteuid()) fchmod(fd, 0666);  // other accounts may open it too
    return fd;
}

bool Flock(int fd, int operation) {
    while (flock(fd, operation) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

}  // namespace

std::string NamedMutexDirectory() {
    const char* dir = std::getenv("TOLVANE_MUTEX_DIR");
    return dir && *dir ? dir : "/tmp/tolvane-mutex";
}

std::unique_ptr<NamedMutex> NamedMutex::Create(const std::string& name) {
    std::string key = StripNamespace(name);
    if (key.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    std::lock_guard lock(registryGuard);
    std::shared_ptr<State> state = Registry()[key].lock();
    if (!state) {
        std::string dir = NamedMutexDirectory();
        if (!PrepareDirectory(dir)) return nullptr;
        int fd = OpenLockFile(dir + "/" + LockFileName(key));
        if (fd < 0) return nullptr;
        state = std::make_shared<State>();
        state->fd = fd;
        Registry()[key] = state;
    }
    return std::unique_ptr<NamedMutex>(new NamedMutex(name, std::move(state)));
}

NamedMutex::NamedMutex(std::string name, std::shared_ptr<State> state)
    : name_(std::move(name)), state_(std::move(state)) {}

NamedMutex::~NamedMutex() {
    std::lock_guard lock(registryGuard);
    state_.reset();
}

void NamedMutex::Wait() { TryWait(-1); }

bool NamedMutex::TryWait(int timeoutMs) {
    auto me = std::this_thread::get_id();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    {
        std::unique_lock lock(state_->guard);
        if (state_->owner == me) {
            ++state_->depth;
            return true;
        }
        auto free = [&] { return state_->depth == 0; };
        if (timeoutMs < 0) state_->released.wait(lock, free);
        else if (!state_->released.wait_until(lock, deadline, free)) return false;
        state_->owner = me;
        state_->depth = 1;
    }
    // This thread now owns the name within the process; take it machine-wide.
    bool locked;
    if (timeoutMs < 0) {
        locked = Flock(state_->fd, LOCK_EX);
    } else {
        while (!(locked = Flock(state_->fd, LOCK_EX | LOCK_NB)) && errno == EWOULDBLOCK &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (!locked) {
        SetLastError(timeoutMs < 0 ? ErrnoToSystemError(errno) : ERROR_TIMEOUT);
        std::lock_guard lock(state_->guard);
        state_->owner = {};
        state_->depth = 0;
        state_->released.notify_one();
    }
    return locked;
}

bool NamedMutex::Release() {
    std::lock_guard lock(state_->guard);
    if (state_->owner != std::this_thread::get_id() || state_->depth == 0) {
        SetLastError(ERROR_NOT_OWNER);
        return false;
    }
    if (--state_->depth == 0) {
        Flock(state_->fd, LOCK_UN);
        state_->owner = {};
        state_->released.notify_one();
    }
    return true;
}

}  // namespace tolvane::platform
