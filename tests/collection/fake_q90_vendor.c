/* A vendor Q90 library for the loader test: fixed answers through the documented C interface. */
#include "collection/terminals/q90_vendor.h"

static char opened_with[256];

const char *AbreCom(int32_t port, const char *port_name, int32_t speed, int32_t mode)
{
    (void)mode;
    int n = 0;
    for (const char *p = port_name; p && *p && n < 200; ++p)
        opened_with[n++] = *p;
    opened_with[n] = 0;
    return port == 4 && speed == 1200 ? "0" : "2,porta em uso";
}

const char *Status(const char *terminal, int32_t flag)
{
    (void)terminal;
    (void)flag;
    return "0,00120912261830" "00042";
}

const char *AcertaDH(const char *terminal)
{
    (void)terminal;
    return "0,relogio acertado";
}

void FechaCom(void) {}

const char *FakeQ90OpenedWith(void) { return opened_with; }
