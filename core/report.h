#pragma once

// The one way an error reaches the user: on Windows a message box with MB_ICONERROR, owned by the
// main window (none before it exists and in batch mode). Tests install their own reporter.
using ErrorReporter = void (*)(const char* text, const char* title);

void ReportError(const char* text, const char* title);
// Returns the reporter that was installed before.
ErrorReporter SetErrorReporter(ErrorReporter reporter);

// The platform's own reporter, installed by default.
void PlatformReportError(const char* text, const char* title);
