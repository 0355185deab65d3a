/* The header of the 16 functions compiles as C, with the shapes callers use.
 * The comparisons are never evaluated (no symbol is needed); a function of
 * another shape makes them compare distinct pointer types, which fails the
 * build. */
#include "CipherLab.h"

typedef int32_t (*ReadDataFunction)(int32_t, char*, char*, char*, char*, char*, char*, char*, char*);
typedef int32_t (*OpenCommFunction)(int32_t, int32_t, int32_t);
typedef int32_t (*GetErrorFunction)(char*);
typedef int32_t (*DelimiterFunction)(int32_t, int32_t);

_Static_assert(sizeof((ReadDataFunction)0 == &ReadData), "ReadData");
_Static_assert(sizeof((ReadDataFunction)0 == &ReadRecord), "ReadRecord");
_Static_assert(sizeof((OpenCommFunction)0 == &OpenComm), "OpenComm");
_Static_assert(sizeof((GetErrorFunction)0 == &GetError), "GetError");
_Static_assert(sizeof((GetErrorFunction)0 == &GetTime), "GetTime");
_Static_assert(sizeof((DelimiterFunction)0 == &delimiter), "delimiter");
