/* The header of the 16 functions compiles as C, with the shapes callers use. */
#include "CipherLab.h"

typedef int32_t (*ReadDataFunction)(int32_t, char*, char*, char*, char*, char*, char*, char*, char*);
static ReadDataFunction const readData = ReadData;
int32_t CipherLabHeaderCheck(void) { return readData != 0; }
