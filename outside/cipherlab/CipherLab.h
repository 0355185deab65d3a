/* CipherLab.dll: the terminal communication library, 16 functions with C
 * linkage and the C calling convention (on 32-bit Windows: __cdecl, the
 * caller removes the arguments). On Linux the file is libCipherLab.so; the
 * driver loads it by the name "CipherLab.dll" through its platform layer.
 *
 * Shapes
 *  - Every result is int32_t. A boolean answer is non-zero in its lowest
 *    byte for true (the functions return exactly 1 or 0).
 *  - Character arguments are passed widened to int32_t (only the low 8 bits
 *    count).
 *  - Texts are 8-bit Windows-1251 and zero-terminated. Every text buffer is
 *    owned by the caller and is 256 bytes: the library writes at most 255
 *    characters and the terminating zero.
 *  - A record is 8 fields, passed as 8 separate char* buffers of 256 bytes,
 *    field 1 first. A field holds at most 255 characters; PutRecord reads a
 *    field up to its zero or its 255th character, whichever comes first.
 *
 * Errors
 *  - Every call except GetError starts by setting the last error to 0 and
 *    sets it when it fails; GetError tells the code and the library's own
 *    text (English) for the last call. Codes:
 *      1 port not open            2 cannot open the port     3 cannot set the port up
 *      4 infrared cradle silent   5 port failure (hung up)   8 time-out: the terminal does not answer
 *      9 transfer error (damaged or broken-off transfer)    11 acknowledgement for records never sent
 *     16 unknown answer          17 received text too long  18 terminal not in its main menu
 *     19 terminal memory full    20 no transfer to end      21 wrong port settings
 *     22 database out of 1..3    23 document out of 0..9
 *  - Time-outs derive from the baud rate: a command gets the terminal's
 *    answer allowance (300 ms; the environment variable
 *    TOLVANE_CIPHERLAB_TURNAROUND_MS overrides it, for tests) plus the line
 *    time of request and answer, and is tried 3 times: a silent terminal
 *    fails a command (error 8) in about 1 s at 115200 and 2 s at 9600.
 *    A transfer that stops making progress fails within a few of its own
 *    time-outs (the line time of two frames plus the allowance).
 *
 * Threads: the functions may be called from any thread; calls are
 * serialised by one lock. One port is open at a time per process.
 *
 * Transfers
 *  - ReadData / ReadRecord iterate: each call delivers the next record
 *    (result 1) until the records are exhausted (result 0, nothing written
 *    to the buffers); the call after a 0 starts again from the first record.
 *    A negative result is minus an error code, and ends the iteration. The
 *    library reads ahead, so consecutive calls for the same document or
 *    database run at the line's speed. Any other call (except GetError,
 *    CheckComm and delimiter) ends an iteration in progress.
 *  - PutRecord appends to a database. The first PutRecord for a database
 *    empties it on the terminal and starts an upload; the following ones
 *    add records; Finish (or any other call, or a PutRecord for another
 *    database) ends the upload. PutRecord answers 1 when its record is
 *    queued, the terminal has room for it and nothing sent before it has
 *    failed so far; records travel in a window, so a record lost on the
 *    line fails a later PutRecord, and Finish answers 1 only when the
 *    terminal confirmed every record of the upload. A failure on the line
 *    or one the terminal reports fails every later PutRecord of the same
 *    upload with the same error, until Finish; a record refused at once for
 *    lack of room (error 19) leaves the upload open.
 *  - The records a terminal confirmed stay in it when an upload fails.
 */
#ifndef TOLVANE_CIPHERLAB_H
#define TOLVANE_CIPHERLAB_H

#include <stdint.h>

#if defined(_WIN32)
#define CIPHERLAB_API __declspec(dllexport)
#define CIPHERLAB_CALL __cdecl
#else
#define CIPHERLAB_API __attribute__((visibility("default")))
#define CIPHERLAB_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Opens COM port (1..255) at baud-rate code 1 115200, 2 57600, 3 38400,
 * 4 19200, 5 9600, as port type 0 (plain port) or 1 (infrared cradle; the
 * cradle must answer a wake-up, else error 4). A port already open is closed
 * first. Does not talk to the terminal on a plain port. 1 = opened. */
CIPHERLAB_API int32_t CIPHERLAB_CALL OpenComm(int32_t port, int32_t baudCode, int32_t portType);
/* Ends a running upload (as Finish) and closes the port. Always 1. */
CIPHERLAB_API int32_t CIPHERLAB_CALL CloseComm(void);
/* 1 while the port is open and its device has not hung up. */
CIPHERLAB_API int32_t CIPHERLAB_CALL CheckComm(void);
/* 1 when the terminal answers. */
CIPHERLAB_API int32_t CIPHERLAB_CALL Ping(void);
/* 1 when the terminal answers and is in its main menu, ready to exchange. */
CIPHERLAB_API int32_t CIPHERLAB_CALL GetCurrentState(void);
/* The terminal's serial number into buffer (256 bytes). 1 = buffer filled;
 * 0 = failure, buffer holds an empty text. */
CIPHERLAB_API int32_t CIPHERLAB_CALL GetSerialNumber(char* buffer);
/* The terminal's clock into buffer (256 bytes) as the terminal keeps it,
 * normally 14 digits yyyymmddhhnnss. 1 = buffer filled; 0 = failure, buffer
 * holds an empty text. */
CIPHERLAB_API int32_t CIPHERLAB_CALL GetTime(char* buffer);
/* Number of records of document 0..9; 0 when it cannot be had (GetError
 * then tells why; an empty document leaves the error at 0). */
CIPHERLAB_API int32_t CIPHERLAB_CALL GetDataCount(int32_t document);
/* Number of records of database 1..3; 0 when it cannot be had, as above. */
CIPHERLAB_API int32_t CIPHERLAB_CALL GetRecordsCount(int32_t database);
/* Empties document 0..9 on the terminal. 1 = cleared. */
CIPHERLAB_API int32_t CIPHERLAB_CALL ClearDoc(int32_t document);
/* The next record of document 0..9 into f1..f8: 1 delivered, 0 no further
 * record, negative = minus the error code (see Transfers above). */
CIPHERLAB_API int32_t CIPHERLAB_CALL ReadData(int32_t document, char* f1, char* f2, char* f3, char* f4, char* f5,
                                              char* f6, char* f7, char* f8);
/* The next record of database 1..3, as ReadData. */
CIPHERLAB_API int32_t CIPHERLAB_CALL ReadRecord(int32_t database, char* f1, char* f2, char* f3, char* f4, char* f5,
                                                char* f6, char* f7, char* f8);
/* Appends the record f1..f8 to database 1..3 (see Transfers above). */
CIPHERLAB_API int32_t CIPHERLAB_CALL PutRecord(int32_t database, const char* f1, const char* f2, const char* f3,
                                               const char* f4, const char* f5, const char* f6, const char* f7,
                                               const char* f8);
/* Ends the upload in progress: sends what is queued and waits for the
 * terminal's confirmation. 1 = every record was stored (also when no upload
 * was in progress). */
CIPHERLAB_API int32_t CIPHERLAB_CALL Finish(void);
/* The caller's field delimiters for upload and download lines. Fields
 * travel separately on the line, so the pair changes no transfer; it is
 * kept until the port closes. Always 1. */
CIPHERLAB_API int32_t CIPHERLAB_CALL delimiter(int32_t upload, int32_t download);
/* Code of the last error (0 none) and the library's text for it into
 * buffer (256 bytes). */
CIPHERLAB_API int32_t CIPHERLAB_CALL GetError(char* buffer);

#ifdef __cplusplus
}
#endif

#endif
