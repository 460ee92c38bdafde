#pragma once
#include <windows.h>

class SettingsScope;

// The three property dialogs (application defaults, project settings, one entry's settings) edit
// the compression level and the password with their switches in a PROPERTY scope. While a switch
// is off a dialog shows what the scope's parents give; the scope's own values are written on OK
// whether their switch is on or not, so that they come back next time. One dialog at a time.

// Runs dialog `dialogId` modally over the main window on `scope`; 1 for OK, 2 for Cancel, other
// values when the dialog could not be shown.
int ShowPropertyDialog(int dialogId, const SettingsScope& scope);

// The scope the next dialog edits; ShowPropertyDialog sets it. Exposed so that a dialog can also
// be created modeless on it.
void SetPropertyDialogScope(const SettingsScope* scope);

INT_PTR CALLBACK PropertyDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The three steps of the dialog: fill the controls from `scope`; after a check box changed (or
// with 0 after loading), enable the value controls and swap own and inherited values; write the
// controls into `scope` and refresh the project root's settings.
void LoadPropertyControls(HWND dialog, const SettingsScope& scope);
void SyncPropertyControls(HWND dialog, int clickedBox);
void StorePropertyControls(HWND dialog, const SettingsScope& scope);

// The commands that open the dialogs: the application defaults, then the status bar refreshed;
// the project settings over the application defaults, then the project root refreshed whatever
// the result, and the status bar.
void EditApplicationDefaults();
void EditProjectSettings();

// The entry dialog as EditEntryProperties runs it (an EntryDialog).
int RunEntryDialog(int dialogId, const SettingsScope& own);

// Shared with the options dialog, which follows the same pattern.
// Runs dialog `dialogId` modally over the main window (or over none before it exists); the
// dialog's result, or a value other than 1 and 2 when it could not be shown.
int RunSettingsDialog(int dialogId, DLGPROC procedure, LPARAM parameter);
// A missing box reads as cleared.
bool BoxChecked(HWND dialog, int box);
// Enables or disables a control; a missing one is left alone.
void EnableDialogItem(HWND dialog, int id, bool on);
