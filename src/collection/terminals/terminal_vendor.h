/*
 * The C interface through which Torvel loads a vendor's terminal library on Linux.
 *
 * A Lumet library exports the four functions that the Windows library exports by ordinal,
 * under these names; a Vigia Bastão Novo library exports the five functions of WM.DLL under
 * their own names. Every function takes the port number (from PORTACOM, "COM3" -> 3) and the
 * port name as configured (on Linux usually a device path such as "/dev/ttyUSB0"), and returns
 * an integer: for the Lumet 0 means success, for the Vigia Bastão Novo 1 means success.
 *
 * Configure the libraries in TORVEL.INI, section COM: LUMETDRV=<path of the .so>,
 * WMDLL=<path of the .so>. Empty (or "simulador") selects the bundled simulators.
 */
#ifndef TORVEL_TERMINAL_VENDOR_H
#define TORVEL_TERMINAL_VENDOR_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Lumet: ordinal 1, is the terminal answering. */
typedef int32_t (*LumetStatusFn)(int32_t port, const char *port_name);
/* Lumet: ordinal 2, download the touches into the file `path` (zero-terminated). */
typedef int32_t (*LumetDownloadFn)(int32_t port, const char *port_name, const char *path);
/* Lumet: ordinal 4, the terminal's step after a download that was stored. */
typedef int32_t (*LumetAfterDownloadFn)(int32_t port, const char *port_name);
/* Lumet: ordinal 5, set the clock to `date_time`, "dd/mm/yyyy hh:nn:ss". */
typedef int32_t (*LumetSetClockFn)(int32_t port, const char *port_name, const char *date_time);

#define LUMET_STATUS_SYMBOL "LumetStatus"
#define LUMET_DOWNLOAD_SYMBOL "LumetDownload"
#define LUMET_AFTER_DOWNLOAD_SYMBOL "LumetAfterDownload"
#define LUMET_SET_CLOCK_SYMBOL "LumetSetClock"

/* Vigia Bastão Novo. */
typedef int32_t (*AwakenTXFn)(int32_t port, const char *port_name);
typedef int32_t (*InquirIDFn)(int32_t port, const char *port_name);
typedef int32_t (*SetWatchTimeFn)(int32_t port, const char *port_name, int32_t year2,
                                  int32_t month, int32_t day, int32_t hour, int32_t minute,
                                  int32_t second);
/* Writes watch.dat in the folder named by the environment variable TORVEL_HOME. */
typedef int32_t (*GetWatchDataFn)(int32_t port, const char *port_name);
typedef int32_t (*DeleteDataFn)(int32_t port, const char *port_name);

#ifdef __cplusplus
}
#endif

#endif
