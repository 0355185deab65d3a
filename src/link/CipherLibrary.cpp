#include "link/CipherLibrary.h"

#include <cstring>
#include <mutex>

#include "platform/Library.h"
#include "rtl/Exception.h"
#include "rtl/Format.h"

namespace tolvane {

const char* const CipherLibraryName = "CipherLab.dll";

namespace {

template <typename Func>
void Resolve(platform::LibraryHandle handle, const char* name, Func& slot) {
    void* symbol = platform::GetProcAddress(handle, name);
    if (!symbol)
        throw Exception(Format("В библиотеке %s нет функции %s", {CipherLibraryName, name}));
    slot = reinterpret_cast<Func>(symbol);
}

TCipherLibrary LoadTable() {
    platform::LibraryHandle handle = platform::LoadLibrary(CipherLibraryName);
    if (!handle)
        throw Exception(Format("Не удалось загрузить библиотеку %s: %s",
                               {CipherLibraryName, platform::LoadErrorText()}));
    TCipherLibrary table;
    try {
        Resolve(handle, "OpenComm", table.OpenComm);
        Resolve(handle, "CloseComm", table.CloseComm);
        Resolve(handle, "CheckComm", table.CheckComm);
        Resolve(handle, "delimiter", table.delimiter);
        Resolve(handle, "Ping", table.Ping);
        Resolve(handle, "GetCurrentState", table.GetCurrentState);
        Resolve(handle, "GetSerialNumber", table.GetSerialNumber);
        Resolve(handle, "GetTime", table.GetTime);
        Resolve(handle, "GetDataCount", table.GetDataCount);
        Resolve(handle, "GetRecordsCount", table.GetRecordsCount);
        Resolve(handle, "ClearDoc", table.ClearDoc);
        Resolve(handle, "GetError", table.GetError);
        Resolve(handle, "ReadData", table.ReadData);
        Resolve(handle, "ReadRecord", table.ReadRecord);
        Resolve(handle, "PutRecord", table.PutRecord);
        Resolve(handle, "Finish", table.Finish);
    } catch (...) {
        platform::FreeLibrary(handle);
        throw;
    }
    return table;
}

}  // namespace

std::string CipherBufferText(const char* buffer) { return std::string(buffer, strnlen(buffer, CipherMaxText)); }

const TCipherLibrary& LoadedCipherLibrary() {
    // Kept loaded until the process ends: the library holds the open port
    // and its line state between calls.
    static std::mutex lock;
    static TCipherLibrary table;
    static bool loaded = false;
    std::lock_guard guard(lock);
    if (!loaded) {
        table = LoadTable();
        loaded = true;
    }
    return table;
}

}  // namespace tolvane
