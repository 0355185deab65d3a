// Windows-style system error codes and their texts. Each backend maps its
// native errors (errno here) to these codes in exactly one function.
#pragma once

#include <cstdint>
#include <string>

namespace tolvane::platform {

enum : uint32_t {
    ERROR_SUCCESS = 0,
    ERROR_FILE_NOT_FOUND = 2,
    ERROR_PATH_NOT_FOUND = 3,
    ERROR_TOO_MANY_OPEN_FILES = 4,
    ERROR_ACCESS_DENIED = 5,
    ERROR_INVALID_HANDLE = 6,
    ERROR_NOT_ENOUGH_MEMORY = 8,
    ERROR_WRITE_PROTECT = 19,
    ERROR_SHARING_VIOLATION = 32,
    ERROR_LOCK_VIOLATION = 33,
    ERROR_HANDLE_EOF = 38,
    ERROR_NOT_SUPPORTED = 50,
    ERROR_FILE_EXISTS = 80,
    ERROR_INVALID_PARAMETER = 87,
    ERROR_BUFFER_OVERFLOW = 111,
    ERROR_DISK_FULL = 112,
    ERROR_INVALID_NAME = 123,
    ERROR_MOD_NOT_FOUND = 126,
    ERROR_PROC_NOT_FOUND = 127,
    ERROR_DIR_NOT_EMPTY = 145,
    ERROR_ALREADY_EXISTS = 183,
    ERROR_FILENAME_EXCED_RANGE = 206,
    ERROR_MORE_DATA = 234,
    ERROR_NOT_OWNER = 288,
    ERROR_INVALID_WINDOW_HANDLE = 1400,
    ERROR_TIMEOUT = 1460,
    ERROR_GEN_FAILURE = 31,
};

uint32_t GetLastError();
void SetLastError(uint32_t code);
// Sets the last error from errno and returns it.
uint32_t SetLastErrorFromErrno(int errnoValue);
uint32_t ErrnoToSystemError(int errnoValue);
// The system's text for a code (no trailing line break).
std::string SysErrorMessage(uint32_t code);
// Raises EOSError for the last error: "Системная ошибка. Код: %d.\r\n%s".
[[noreturn]] void RaiseLastOSError();

}  // namespace tolvane::platform
