/* A vendor terminal library for the loader tests: answers through the documented C interface,
 * logging each call to the file named by FAKE_TERMINAL_LOG. */
#include "collection/terminals/terminal_vendor.h"

#include <stdio.h>
#include <stdlib.h>

static void note(const char *call, int32_t port, const char *name)
{
    const char *log = getenv("FAKE_TERMINAL_LOG");
    FILE *f = log ? fopen(log, "a") : NULL;
    if (!f)
        return;
    fprintf(f, "%s %d %s\n", call, (int)port, name ? name : "");
    fclose(f);
}

int32_t LumetStatus(int32_t port, const char *name) { note("LumetStatus", port, name); return 0; }

int32_t LumetDownload(int32_t port, const char *name, const char *path)
{
    note("LumetDownload", port, name);
    FILE *f = fopen(path, "w");
    if (!f)
        return 9;
    fputs("H 20261209180000 00 LUMET9\r\n", f);
    fputs(" 20261209081500 01       1B2C3D LUMET9\r\n", f);
    fputs("T 000\r\n", f);
    fclose(f);
    return 0;
}

int32_t LumetAfterDownload(int32_t port, const char *name) { note("LumetAfterDownload", port, name); return 0; }

int32_t LumetSetClock(int32_t port, const char *name, const char *when)
{
    note("LumetSetClock", port, when);
    return 0;
}

int32_t AwakenTX(int32_t port, const char *name) { note("AwakenTX", port, name); return 1; }
int32_t InquirID(int32_t port, const char *name) { note("InquirID", port, name); return 4242; }
int32_t SetWatchTime(int32_t port, const char *name, int32_t y, int32_t mo, int32_t d, int32_t h,
                     int32_t mi, int32_t s)
{
    (void)y; (void)mo; (void)d; (void)h; (void)mi; (void)s;
    note("SetWatchTime", port, name);
    return 1;
}
#ifndef FAKE_WITHOUT_GETWATCHDATA
int32_t GetWatchData(int32_t port, const char *name) { note("GetWatchData", port, name); return 1; }
#endif
int32_t DeleteData(int32_t port, const char *name) { note("DeleteData", port, name); return 1; }
