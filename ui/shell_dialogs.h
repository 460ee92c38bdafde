#pragma once
#include <windows.h>
#include <commdlg.h>

// The common open and save dialogs, the version dialog and the shell hand-overs.

// Asks for a file. `path` (260 bytes) holds the initial name and receives the choice; its
// extension becomes the default extension. True when the user chose a file.
bool ChooseFile(HWND owner, const char* title, char* path, const char* filter, bool save);

// Runs the version dialog; returns 1 once it is closed.
INT_PTR ShowAboutBox(HWND owner, const char* title, const char* version, const char* author,
                     const char* webPage, const char* mail);

// Moves `window` so that it is centred over `owner`, kept inside the work area.
bool CenterOverOwner(HWND window, HWND owner);

// Opens packwren.txt beside the executable with the shell.
void OpenHelpFile(HWND owner);

// The filters of the three choosers: pairs of display text and pattern, double-zero ended.
extern const char kProjectFileFilter[];
extern const char kZipFileFilter[];

// Pure steps, exposed for tests.
// The text after the last "." of `name`, cut to 15 bytes; empty without a ".".
void DefaultExtensionOf(const char* name, char* extension /* 16 bytes */);
// The record ChooseFile hands to the dialog; `extension` (16 bytes) receives the default extension.
OPENFILENAMEA ChooserRecord(HWND owner, const char* title, char* path, const char* filter, bool save,
                            char* extension);
// "Mar 14 2005" (the compiler's date form) → "2005/3/14".
void FormatBuildDate(const char* compileDate, char* out, size_t size);
// The information text of the version dialog.
void FormatAboutText(char* out, size_t size, const char* title, const char* version,
                     const char* date, const char* author, const char* webPage, const char* mail);
