#pragma once
#include <windows.h>

#include "project/archive_settings.h"

class SettingsScope;

// The archive options dialog: per option a check box that switches the scope's own value on and
// a list of choices. While a box is clear the list shows what the scope's parents give (the
// program's original behaviour at the end of the chain); OK writes each checked choice into the
// scope and removes the key of each cleared one.

// What the dialog edits, handed in as its creation parameter.
struct OptionsDialogRecord {
    const SettingsScope* scope;
    const char* title;
    int own[kArchiveOptionCount];  // the choice each box brings back when checked; filled by the dialog
};

INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The two commands: the application's options, the project's over the application's; both
// refresh the status line afterwards.
void EditApplicationOptions();
void EditProjectOptions();
