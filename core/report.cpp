#include "core/report.h"

namespace {
ErrorReporter g_reporter = PlatformReportError;
}

void ReportError(const char* text, const char* title)
{
    g_reporter(text, title);
}

ErrorReporter SetErrorReporter(ErrorReporter reporter)
{
    ErrorReporter previous = g_reporter;
    g_reporter = reporter != nullptr ? reporter : PlatformReportError;
    return previous;
}
