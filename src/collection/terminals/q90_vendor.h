/*
 * The C interface through which Torvel loads a vendor's Q90 library on Linux: the four
 * functions of q90.dll, under their own names, with the port name added to AbreCom so that a
 * Linux library can open a device path such as "/dev/ttyUSB0".
 *
 * Text results are zero-terminated and stay owned by the library, valid until its next call:
 *   AbreCom  "0" when the port is open; otherwise "1", "2" or "3", optionally followed by a
 *            comma and a message (1: the port does not exist, 2: it is in use, 3: anything else).
 *   Status   first character the result code (0 = success), then a comma; from the third
 *            character the status data: terminal number (4), day (2), month (2), year (2),
 *            hour (2), minute (2), records stored (5); or a message.
 *   AcertaDH first character the result code (0 = clock set to the computer's clock), then a
 *            comma and a message.
 *
 * Configure the library in TORVEL.INI, section COM: Q90DLL=<path of the .so>. Empty selects
 * the bundled implementation, which speaks to the terminal over the serial port.
 */
#ifndef TORVEL_Q90_VENDOR_H
#define TORVEL_Q90_VENDOR_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef const char *(*Q90AbreComFn)(int32_t port, const char *port_name, int32_t speed,
                                    int32_t mode);
typedef const char *(*Q90StatusFn)(const char *terminal, int32_t flag);
typedef const char *(*Q90AcertaDHFn)(const char *terminal);
typedef void (*Q90FechaComFn)(void);

#ifdef __cplusplus
}
#endif

#endif
