#include <cstdio>

#include "core/report.h"

void PlatformReportError(const char* text, const char* title)
{
    fprintf(stderr, "%s: %s\n", title, text);
}
