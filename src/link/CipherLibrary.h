// The 16 functions of the terminal communication library "CipherLab.dll",
// reached through one table so that the link can run over the real library
// or over an in-process stand-in.
//
// Shapes: C linkage and calling convention; every result is int32_t (a
// boolean answer is non-zero in its lowest byte); character arguments are
// widened to int32_t; every text buffer is 256 bytes, of which the library
// writes at most 255 characters and the terminating zero.
#pragma once

#include <cstdint>
#include <string>

namespace tolvane {

// Size of every text buffer handed to the library.
constexpr int CipherBufferSize = 256;
// Characters a buffer holds besides its terminating zero.
constexpr int CipherMaxText = CipherBufferSize - 1;

extern "C" {
using TOpenCommFunc = int32_t (*)(int32_t port, int32_t baudCode, int32_t portType);
using TNoArgFunc = int32_t (*)();
using TDelimiterFunc = int32_t (*)(int32_t upload, int32_t download);
using TTextFunc = int32_t (*)(char* buffer);
using TNumberFunc = int32_t (*)(int32_t number);
using TRecordFunc = int32_t (*)(int32_t number, char* f1, char* f2, char* f3, char* f4, char* f5, char* f6,
                                char* f7, char* f8);
}

struct TCipherLibrary {
    TOpenCommFunc OpenComm = nullptr;
    TNoArgFunc CloseComm = nullptr;
    TNoArgFunc CheckComm = nullptr;
    TDelimiterFunc delimiter = nullptr;
    TNoArgFunc Ping = nullptr;
    TNoArgFunc GetCurrentState = nullptr;
    TTextFunc GetSerialNumber = nullptr;
    TTextFunc GetTime = nullptr;
    TNumberFunc GetDataCount = nullptr;
    TNumberFunc GetRecordsCount = nullptr;
    TNumberFunc ClearDoc = nullptr;
    TTextFunc GetError = nullptr;
    TRecordFunc ReadData = nullptr;
    TRecordFunc ReadRecord = nullptr;
    TRecordFunc PutRecord = nullptr;
    TNoArgFunc Finish = nullptr;
};

// The library's file name as the system knows it.
extern const char* const CipherLibraryName;

// The table of the loaded library. The library is loaded at the first call
// and stays loaded for the life of the process; a failed load is tried again
// at the next call. Raises a general exception when the library or one of
// its functions cannot be found.
const TCipherLibrary& LoadedCipherLibrary();

// The text of a buffer the library filled: up to its zero, and never beyond
// the 255 characters a buffer may hold, whatever the library wrote.
std::string CipherBufferText(const char* buffer);

// The lowest byte of a boolean answer.
inline bool CipherBool(int32_t answer) { return (answer & 0xFF) != 0; }

}  // namespace tolvane
