#pragma once
/*
 * Board-access interface of the video and cryptographic boards.
 *
 * The program only enumerates boards through a setup string ("PCI,card:N"), asks each one
 * for its serial number and draws hardware random bytes from one of them. Two libraries
 * implement this header: `dazavo` (the emulation shipped with the program) and the
 * scriptable fake of the tests.
 */

#ifdef __cplusplus
extern "C" {
#endif

/* Opaque handle of one open board. */
typedef struct sv_handle sv_handle;

/* Query code: the board's serial number. */
#define SV_QUERY_SERIALNUMBER 126

/* Opens the board that `setup` names and stores its handle in `*handle`.
   Returns 0 when the board was opened, non-zero when there is no such board or it is busy. */
int sv_openex(sv_handle** handle, const char* setup, int mode, int flags, int reserved1, int reserved2);

/* Reads one value of an open board into `*value`. Returns 0 on success. */
int sv_query(sv_handle* handle, int code, int parameter, int* value);

/* Closes a handle from sv_openex or sv_open. Returns 0 on success. */
int sv_close(sv_handle* handle);

/* Opens the board that `setup` names; null when it cannot be opened. */
sv_handle* sv_open(const char* setup);

/* Fills `buffer` with `count` bytes from the board's hardware random source. Returns 0 on success. */
int sv_random(sv_handle* handle, unsigned char* buffer, int count);

#ifdef __cplusplus
}
#endif
