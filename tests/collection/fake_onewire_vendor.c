/*
 * A vendor 1-Wire driver library with one simulated reader (port 1) and, by default, one
 * touch memory on it: family 01, serial 00 00 0A 1B 2C 3D. Tests load it through the same
 * loader the program uses and steer it with the FakeOneWire_* functions.
 *
 * Built without TMClose as well (FAKE_ONEWIRE_WITHOUT_CLOSE), for the loader's missing-symbol
 * path.
 */
#include "collection/terminals/onewire_vendor.h"

#include <string.h>

#if defined(_WIN32)
#define FAKE_EXPORT __declspec(dllexport)
#else
#define FAKE_EXPORT __attribute__((visibility("default")))
#endif

static const int16_t kReaderPort = 1;
static int32_t session;
static int32_t lastHandle;
static int devicePresent = 1;
static int16_t deviceRom[8] = {0x01, 0x3D, 0x2C, 0x1B, 0x0A, 0x00, 0x00, 0x00};
static char calls[4096];

static void record(const char *call)
{
    if (strlen(calls) + strlen(call) + 2 < sizeof calls) {
        strcat(calls, call);
        strcat(calls, " ");
    }
}

static uint8_t crc8(const int16_t *rom)
{
    uint8_t crc = 0;
    for (int i = 0; i < 7; ++i) {
        uint8_t byte = (uint8_t)rom[i];
        for (int bit = 0; bit < 8; ++bit) {
            int mix = (crc ^ byte) & 1;
            crc >>= 1;
            if (mix)
                crc ^= 0x8C;
            byte >>= 1;
        }
    }
    return crc;
}

FAKE_EXPORT int32_t TMExtendedStartSession(int16_t port, int16_t portType, void *options)
{
    record("TMExtendedStartSession");
    if (port != kReaderPort || portType != 1 || options != NULL || session != 0)
        return 0;
    session = ++lastHandle;
    return session;
}

FAKE_EXPORT int16_t TMSetup(int32_t handle)
{
    record("TMSetup");
    return handle == session && handle > 0 ? 2 : 0;
}

/* The state remembers whether this session's search has passed the one device. */
FAKE_EXPORT int16_t TMNext(int32_t handle, void *state)
{
    int32_t searched;
    record("TMNext");
    if (handle != session || handle <= 0)
        return 0;
    memcpy(&searched, state, sizeof searched);
    if (!devicePresent || searched == handle) {
        searched = 0;
        memcpy(state, &searched, sizeof searched);
        return 0;
    }
    memcpy(state, &handle, sizeof handle);
    return 1;
}

FAKE_EXPORT int16_t TMRom(int32_t handle, void *state, int16_t *rom)
{
    (void)state;
    record("TMRom");
    if (handle != session || handle <= 0 || rom[0] != 0)
        return 0;
    memcpy(rom, deviceRom, sizeof deviceRom);
    return 1;
}

FAKE_EXPORT int16_t TMEndSession(int32_t handle)
{
    record("TMEndSession");
    if (handle != session || handle <= 0)
        return 0;
    session = 0;
    return 1;
}

#ifndef FAKE_ONEWIRE_WITHOUT_CLOSE
FAKE_EXPORT int16_t TMClose(int32_t handle)
{
    record("TMClose");
    return handle > 0;
}
#endif

/* Puts a device with this family and serial (most significant byte first) on the reader. */
FAKE_EXPORT void FakeOneWire_insert(uint8_t family, const uint8_t serial[6])
{
    deviceRom[0] = family;
    for (int i = 0; i < 6; ++i)
        deviceRom[1 + i] = serial[5 - i];
    deviceRom[7] = crc8(deviceRom);
    devicePresent = 1;
}

FAKE_EXPORT void FakeOneWire_remove(void) { devicePresent = 0; }

/* The calls received since the last reset, separated by spaces. */
FAKE_EXPORT const char *FakeOneWire_calls(void) { return calls; }

FAKE_EXPORT void FakeOneWire_reset(void)
{
    calls[0] = '\0';
    session = 0;
}
