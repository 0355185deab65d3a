/* Tolvane: driver library for handheld barcode terminals - host interface.
 *
 * A host loads the library (libTolvane.so here, Tolvane.dll on Windows),
 * calls InitDll once and receives the address of a variable that holds the
 * driver object. The object is one pointer-sized word: the address of a
 * table of five operations in fixed slot order. The host calls an operation
 * through the table and passes the object reference.
 *
 * Threads: call every operation from the host's user-interface thread; the
 * load, settings and goods operations show modal windows.
 *
 * Errors: an operation that fails throws a C++ exception derived from
 * tolvane::Exception (<tolvane/exception.h>), whose message is Windows-1251
 * text. Host and library share one runtime, libTolvaneRtl.so, so the host
 * catches failures by type; link the host against it.
 *
 * Ownership: the driver object belongs to the library and is never freed.
 * LoadData fills a VARIANT that the caller owns and must VariantClear (it
 * holds Null or a one-dimensional array of [code as BSTR, quantity as VT_I4]
 * pairs). GetDriverName assigns into the caller's std::string (Windows-1251).
 * SendGoods receives its VARIANT by value; the caller keeps ownership.
 */
#ifndef TOLVANE_TOLVANE_H
#define TOLVANE_TOLVANE_H

#include <tolvane/exception.h>
#include <tolvane/oleauto.h>

#include <cstdint>
#include <string>

#if defined(_WIN32)
#define TOLVANE_API __declspec(dllexport)
#define TOLVANE_STDCALL __stdcall
#else
#define TOLVANE_API __attribute__((visibility("default")))
#define TOLVANE_STDCALL
#endif

struct TPDTCipherDrv;

/* The operations in slot order; arguments as the Windows stdcall table lists
 * them, lowest address first (a result address before the object). */
struct TPDTCipherDrvTable {
    /* 0 */ void(TOLVANE_STDCALL* LoadData)(VARIANT* result, TPDTCipherDrv* self);
    /* 1 */ void(TOLVANE_STDCALL* ShowSettings)(TPDTCipherDrv* self);
    /* 2 */ int32_t(TOLVANE_STDCALL* GetVersion)(TPDTCipherDrv* self);
    /* 3 */ void(TOLVANE_STDCALL* GetDriverName)(std::string* result, TPDTCipherDrv* self);
    /* 4 */ void(TOLVANE_STDCALL* SendGoods)(TPDTCipherDrv* self, VARIANT goods);
};

struct TPDTCipherDrv {
    const TPDTCipherDrvTable* Table;
};

extern "C" {
/* Creates a new driver object and returns the address of the variable that
 * holds the most recent one. */
TOLVANE_API TPDTCipherDrv** TOLVANE_STDCALL InitDll();
/* Present for its name alone. */
TOLVANE_API void TOLVANE_STDCALL GetVersionExists();
}

typedef TPDTCipherDrv**(TOLVANE_STDCALL* TInitDllFunc)();

#endif
