/*
 * The C interface of a 1-Wire vendor driver library that Torvel can load instead of the
 * kernel's 1-Wire bus (TORVEL.INI, section DS9, key DRIVER = the library's path).
 *
 * The library exports these six functions under exactly these names, unmangled, with the C
 * calling convention of the platform. The types are those of the classic 32-bit driver: its
 * "long" is 32 bits and its "short" 16 bits on every platform, so they are spelled here with
 * fixed-width integers.
 *
 *   TMExtendedStartSession(port, portType, options)
 *       Asks for a session on reader `port` (Torvel passes the configured port number, port
 *       type 1 and a null options pointer). Returns the session handle, > 0 when granted;
 *       0 when the port is busy or absent, < 0 on a driver error.
 *
 *   TMSetup(handle)
 *       Prepares the reader of the session. 1 or 2: set up (2 means set up with a warning the
 *       caller may ignore); anything else: not set up.
 *
 *   TMNext(handle, state)
 *       Searches for the next device on the reader. Returns 1 when one was found (it becomes
 *       the current device of `state`), 0 when there is none (more).
 *
 *   TMRom(handle, state, rom)
 *       rom[0] == 0: fills rom[0..7] with the ROM code of the current device of `state`, one
 *       byte per element, in the order the bytes travel on the wire: rom[0] the family code,
 *       rom[1]..rom[6] the 48-bit serial number least significant byte first, rom[7] the
 *       CRC-8 of rom[0]..rom[6]. rom[0] != 0: makes rom[0..7] the current device of `state`.
 *       Returns 1 on success.
 *
 *   TMEndSession(handle)
 *       Releases the session. Returns 1 when the handle was the session in force.
 *
 *   TMClose(handle)
 *       Lets the driver free what it holds for the reader (done once, when reading ends).
 *       Returns 1 on success.
 *
 * `state` points to a search-state buffer of ONEWIRE_STATE_SIZE bytes that the caller
 * allocates, zero-fills once and then passes unchanged to every call; its contents belong to
 * the driver.
 */
#ifndef TORVEL_ONEWIRE_VENDOR_H
#define TORVEL_ONEWIRE_VENDOR_H

#include <stdint.h>

#define ONEWIRE_STATE_SIZE 15360

#ifdef __cplusplus
extern "C" {
#endif

int32_t TMExtendedStartSession(int16_t port, int16_t portType, void *options);
int16_t TMSetup(int32_t handle);
int16_t TMNext(int32_t handle, void *state);
int16_t TMRom(int32_t handle, void *state, int16_t *rom);
int16_t TMEndSession(int32_t handle);
int16_t TMClose(int32_t handle);

/* The same functions as pointer types, for a program that loads the library at run time. */
typedef int32_t (*TMExtendedStartSessionFn)(int16_t, int16_t, void *);
typedef int16_t (*TMSetupFn)(int32_t);
typedef int16_t (*TMNextFn)(int32_t, void *);
typedef int16_t (*TMRomFn)(int32_t, void *, int16_t *);
typedef int16_t (*TMEndSessionFn)(int32_t);
typedef int16_t (*TMCloseFn)(int32_t);

#ifdef __cplusplus
}
#endif

#endif
