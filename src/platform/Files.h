// Files with the Windows open model: an access mode, a share mode that
// other openers must respect, and a disposition. A refused share gives
// ERROR_SHARING_VIOLATION (32) as the last error, so callers can retry as
// they would on Windows. Paths are system paths (see Paths.h).
//
// Share modes bind only programs that open through this layer; plain
// programs (cat, cp, rm) may read, copy or delete a file at any time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tolvane::platform {

enum FileAccess : unsigned { AccessRead = 1, AccessWrite = 2, AccessReadWrite = 3 };
enum FileShare : unsigned { ShareNone = 0, ShareRead = 1, ShareWrite = 2, ShareReadWrite = 3 };
enum class Disposition { OpenExisting, CreateNew, CreateAlways, OpenAlways };

class File {
public:
    // nullptr on failure, with the last error set.
    static std::unique_ptr<File> Open(const std::string& systemPath, unsigned access, unsigned share,
                                      Disposition disposition);
    ~File();

    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Each returns false on failure with the last error set.
    bool Read(void* buffer, size_t size, size_t& got);
    bool ReadExact(void* buffer, size_t size);
    bool Write(const void* buffer, size_t size);
    bool Seek(int64_t offset, int whence, int64_t* position = nullptr);
    bool SetSize(int64_t size);
    int64_t Size() const;  // -1 on failure

private:
    File(int fd, int lockFd) : fd_(fd), lockFd_(lockFd) {}
    int fd_;
    int lockFd_;  // holds the share-mode locks
};

bool FileExists(const std::string& systemPath);
bool DirectoryExists(const std::string& systemPath);
std::optional<int64_t> FileSize(const std::string& systemPath);
bool DeleteFile(const std::string& systemPath);
// Fails when the destination exists, as MoveFile does.
bool RenameFile(const std::string& from, const std::string& to);
// Creates the folder and every missing parent.
bool ForceDirectories(const std::string& systemPath);
// Names (not paths) of the entries of a folder matching a pattern with "*"
// and "?", letter case ignored; the pattern's folder part names the folder.
std::vector<std::string> FindFiles(const std::string& systemPattern);

// The whole file; nullopt with the last error set when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& systemPath);
// Replaces the file in one step (temporary file in the same folder, flushed,
// then renamed over the old one), so a crash never leaves half a file.
bool WriteFileAtomically(const std::string& systemPath, const std::string& content);

}  // namespace tolvane::platform
