#include "platform/SystemError.h"

#include <cerrno>
#include <cstring>

#include "rtl/Exception.h"
#include "rtl/Format.h"

namespace tolvane::platform {

namespace {
thread_local uint32_t lastError = ERROR_SUCCESS;
}

uint32_t GetLastError() { return lastError; }
void SetLastError(uint32_t code) { lastError = code; }

uint32_t ErrnoToSystemError(int e) {
    switch (e) {
        case 0: return ERROR_SUCCESS;
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR: return ERROR_ACCESS_DENIED;
        case EROFS: return ERROR_WRITE_PROTECT;
        case EMFILE:
        case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
        case EBADF: return ERROR_INVALID_HANDLE;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case EEXIST: return ERROR_FILE_EXISTS;
        case EINVAL: return ERROR_INVALID_PARAMETER;
        case ENOSPC:
        case EDQUOT: return ERROR_DISK_FULL;
        case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
        case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
        case ETIMEDOUT: return ERROR_TIMEOUT;
        case EAGAIN: return ERROR_SHARING_VIOLATION;
        default: return ERROR_GEN_FAILURE;
    }
}

uint32_t SetLastErrorFromErrno(int errnoValue) {
    lastError = ErrnoToSystemError(errnoValue);
    return lastError;
}

std::string SysErrorMessage(uint32_t code) {
    switch (code) {
        case ERROR_SUCCESS: return "The operation completed successfully.";
        case ERROR_FILE_NOT_FOUND: return "The system cannot find the file specified.";
        case ERROR_PATH_NOT_FOUND: return "The system cannot find the path specified.";
        case ERROR_TOO_MANY_OPEN_FILES: return "The system cannot open the file.";
        case ERROR_ACCESS_DENIED: return "Access is denied.";
        case ERROR_INVALID_HANDLE: return "The handle is invalid.";
        case ERROR_NOT_ENOUGH_MEMORY: return "Not enough storage is available to process this command.";
        case ERROR_WRITE_PROTECT: return "The media is write protected.";
        case ERROR_GEN_FAILURE: return "A device attached to the system is not functioning.";
        case ERROR_SHARING_VIOLATION:
            return "The process cannot access the file because it is being used by another process.";
        case ERROR_LOCK_VIOLATION:
            return "The process cannot access the file because another process has locked a portion of the file.";
        case ERROR_HANDLE_EOF: return "Reached the end of the file.";
        case ERROR_NOT_SUPPORTED: return "The request is not supported.";
        case ERROR_FILE_EXISTS: return "The file exists.";
        case ERROR_INVALID_PARAMETER: return "The parameter is incorrect.";
        case ERROR_BUFFER_OVERFLOW: return "The file name is too long.";
        case ERROR_DISK_FULL: return "There is not enough space on the disk.";
        case ERROR_INVALID_NAME: return "The filename, directory name, or volume label syntax is incorrect.";
        case ERROR_MOD_NOT_FOUND: return "The specified module could not be found.";
        case ERROR_PROC_NOT_FOUND: return "The specified procedure could not be found.";
        case ERROR_DIR_NOT_EMPTY: return "The directory is not empty.";
        case ERROR_ALREADY_EXISTS: return "Cannot create a file when that file already exists.";
        case ERROR_FILENAME_EXCED_RANGE: return "The filename or extension is too long.";
        case ERROR_MORE_DATA: return "More data is available.";
        case ERROR_NOT_OWNER: return "Attempt to release mutex not owned by caller.";
        case ERROR_INVALID_WINDOW_HANDLE: return "Invalid window handle.";
        case ERROR_TIMEOUT: return "This operation returned because the timeout period expired.";
        default: return "System error.  Code: " + std::to_string(code) + ".";
    }
}

}  // namespace tolvane::platform

namespace tolvane::platform {

void RaiseLastOSError() {
    uint32_t code = GetLastError();
    throw EOSError(Format("Системная ошибка. Код: %d.\r\n%s", {int64_t(code), SysErrorMessage(code)}));
}

}  // namespace tolvane::platform
