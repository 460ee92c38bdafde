#include "ui/property_dialog.h"

#include <commctrl.h>

#include <cstring>

#include "core/app_state.h"
#include "core/app_state_win32.h"
#include "core/format_text.h"
#include "core/settings_document.h"
#include "project/properties.h"
#include "resources/resource.h"
#include "ui/password_edit.h"
#include "ui/shell_dialogs.h"
#include "ui/trackbar.h"

namespace {

// One row of a dialog: the check box of a switch and the control that shows its value.
struct PropertyBinding {
    int box;
    const char* switchKey;
    int valueControl;
    const char* valueKey;
};
const PropertyBinding kLevelRow = {IDC_LEVEL_ENABLE, "COMPLEVELENABLE", IDC_LEVEL_TEXT,
                                   "COMPRESSLEVEL"};
const PropertyBinding kPasswordRow = {IDC_PASSWORD_ENABLE, "PASSWORDENABLE", IDC_PASSWORD_TEXT,
                                      "PASSWORD"};

// The level shown when nothing up the chain sets one: zlib's default.
constexpr int kDefaultLevel = 6;
constexpr int kLevelTextSize = 16;
constexpr int kPasswordSize = 256;

// The open dialog's state; the dialogs are modal, so there is one.
struct PropertyDialogState {
    const SettingsScope* scope = nullptr;
    bool rootScope = false;  // the application defaults: their boxes stay checked
    int inheritedLevel = kDefaultLevel;
    int ownLevel = kDefaultLevel;
    // The scope's own password, and what was typed before its box was cleared.
    char password[kPasswordSize] = {};
};
PropertyDialogState g_state;

bool SwitchOn(const SettingsScope& scope, const char* key)
{
    const char* value = scope.Get(key);
    return value != nullptr && value[0] == '1';
}

void EnableValueControl(HWND dialog, const PropertyBinding& row, bool on)
{
    EnableDialogItem(dialog, row.valueControl, on);
}

void SetLevelText(HWND dialog, int level)
{
    char text[kLevelTextSize];
    FormatText(text, sizeof text, "%d", level);
    SetDlgItemTextA(dialog, IDC_LEVEL_TEXT, text);
}

// The level text, not the trackbar: a stored level outside 0 to 9 stands there unchanged.
int LevelInDialog(HWND dialog)
{
    char text[kLevelTextSize] = "";
    GetDlgItemTextA(dialog, IDC_LEVEL_TEXT, text, sizeof text);
    return LeadingDecimal(text);
}

void ShowLevel(HWND dialog, int level, bool movable)
{
    SetLevelText(dialog, level);
    HWND trackbar = GetDlgItem(dialog, IDC_LEVEL_TRACKBAR);
    EnableWindow(trackbar, movable);
    SetTrackbarPosition(trackbar, level);
}

// The password that applies while the scope's own switch is off; empty when none.
const char* InheritedPassword(const SettingsScope& scope)
{
    const char* password =
        LayeredLookup(scope.Parent(), kPasswordRow.switchKey, kPasswordRow.valueKey);
    return password != nullptr ? password : "";
}

void LoadLevelRow(HWND dialog, const SettingsScope& scope)
{
    bool on = g_state.rootScope || SwitchOn(scope, kLevelRow.switchKey);
    CheckDlgButton(dialog, kLevelRow.box, on ? BST_CHECKED : BST_UNCHECKED);
    EnableValueControl(dialog, kLevelRow, on);
    const char* inherited = LayeredLookup(scope.Parent(), kLevelRow.switchKey, kLevelRow.valueKey);
    g_state.inheritedLevel = inherited != nullptr ? LeadingDecimal(inherited) : kDefaultLevel;
    // A level kept while the switch was off counts as the own one; without it the nearest
    // level up the chain is where the trackbar starts once the box is checked.
    g_state.ownLevel = g_state.inheritedLevel;
    for (const SettingsScope* s = &scope; s != nullptr; s = s->Parent()) {
        if (const char* level = s->Get(kLevelRow.valueKey)) {
            g_state.ownLevel = LeadingDecimal(level);
            break;
        }
    }
    ShowLevel(dialog, on ? g_state.ownLevel : g_state.inheritedLevel, on);
}

void LoadPasswordRow(HWND dialog, const SettingsScope& scope)
{
    bool on = g_state.rootScope || SwitchOn(scope, kPasswordRow.switchKey);
    CheckDlgButton(dialog, kPasswordRow.box, on ? BST_CHECKED : BST_UNCHECKED);
    EnableValueControl(dialog, kPasswordRow, on);
    const char* own = scope.Get(kPasswordRow.valueKey);
    FormatText(g_state.password, sizeof g_state.password, "%s", own != nullptr ? own : "");
    SetDlgItemTextA(dialog, kPasswordRow.valueControl,
                    on ? g_state.password : InheritedPassword(scope));
}

void SyncLevelRow(HWND dialog, bool clicked)
{
    bool on = BoxChecked(dialog, kLevelRow.box);
    EnableValueControl(dialog, kLevelRow, on);
    if (!clicked)
        return;
    if (on) {
        ShowLevel(dialog, g_state.ownLevel, true);
        return;
    }
    int level = LevelInDialog(dialog);
    if (level >= 0)
        g_state.ownLevel = level;
    ShowLevel(dialog, g_state.inheritedLevel, false);
}

void SyncPasswordRow(HWND dialog, bool clicked)
{
    bool on = BoxChecked(dialog, kPasswordRow.box);
    EnableValueControl(dialog, kPasswordRow, on);
    if (!clicked)
        return;
    if (on) {
        SetDlgItemTextA(dialog, kPasswordRow.valueControl, g_state.password);
        return;
    }
    GetDlgItemTextA(dialog, kPasswordRow.valueControl, g_state.password, sizeof g_state.password);
    SetDlgItemTextA(dialog, kPasswordRow.valueControl, InheritedPassword(*g_state.scope));
}

// The project file cannot carry a password with a TAB (it splits the line), CR or LF (they end
// it) or other control bytes. The dialog takes no such password; one the scope already held is
// left as it was.
bool PasswordTakeable(HWND dialog)
{
    if (GetDlgItem(dialog, kPasswordRow.valueControl) == nullptr)
        return true;
    char password[kPasswordSize];
    if (BoxChecked(dialog, kPasswordRow.box))
        GetDlgItemTextA(dialog, kPasswordRow.valueControl, password, sizeof password);
    else
        FormatText(password, sizeof password, "%s", g_state.password);
    if (IsStorablePassword(password))
        return true;
    const char* held = g_state.scope->Get(kPasswordRow.valueKey);
    return held != nullptr && strcmp(held, password) == 0;
}

INT_PTR OnInitDialog(HWND dialog)
{
    if (g_state.scope == nullptr) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    HWND trackbar = GetDlgItem(dialog, IDC_LEVEL_TRACKBAR);
    SetTrackbarRange(trackbar, 0, 9, false);
    SetTrackbarSteps(trackbar, 1, 1);
    SetTrackbarTick(trackbar, 1);
    if (HWND password = GetDlgItem(dialog, kPasswordRow.valueControl))
        FilterPasswordInput(password);
    LoadPropertyControls(dialog, *g_state.scope);
    CenterOverOwner(dialog, GetWindow(dialog, GW_OWNER));  // not at the frame's corner
    return TRUE;
}

INT_PTR OnTrackbarMoved(HWND dialog)
{
    SetLevelText(dialog, TrackbarPosition(GetDlgItem(dialog, IDC_LEVEL_TRACKBAR)));
    return TRUE;
}

INT_PTR OnOk(HWND dialog)
{
    if (!PasswordTakeable(dialog)) {
        ReportUnstorablePassword();
        HWND edit = GetDlgItem(dialog, kPasswordRow.valueControl);
        if (IsWindowEnabled(edit))
            SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
        return TRUE;
    }
    StorePropertyControls(dialog, *g_state.scope);
    EndDialog(dialog, IDOK);
    return TRUE;
}

// The application defaults are the end of every chain: their switches cannot be cleared.
INT_PTR OnBoxClicked(HWND dialog, int box)
{
    if (g_state.rootScope)
        CheckDlgButton(dialog, box, BST_CHECKED);
    else
        SyncPropertyControls(dialog, box);
    return TRUE;
}

INT_PTR OnCommand(HWND dialog, int id, int code)
{
    switch (id) {
    case IDOK:
        return OnOk(dialog);
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    case IDC_LEVEL_ENABLE:
    case IDC_PASSWORD_ENABLE:
        return code == BN_CLICKED ? OnBoxClicked(dialog, id) : TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

// A missing box (the defaults dialog has no password row) reads as cleared.
bool BoxChecked(HWND dialog, int box)
{
    return IsDlgButtonChecked(dialog, box) == BST_CHECKED;
}

void EnableDialogItem(HWND dialog, int id, bool on)
{
    if (HWND control = GetDlgItem(dialog, id))
        EnableWindow(control, on);
}

int RunSettingsDialog(int dialogId, DLGPROC procedure, LPARAM parameter)
{
    // Without the main window nothing has registered the trackbar's class yet.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    HINSTANCE instance =
        g_mainWindow != nullptr
            ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(g_mainWindow, GWLP_HINSTANCE))
            : GetModuleHandleA(nullptr);
    return static_cast<int>(DialogBoxParamA(instance, MAKEINTRESOURCEA(dialogId), g_mainWindow,
                                            procedure, parameter));
}

void SetPropertyDialogScope(const SettingsScope* scope)
{
    g_state.scope = scope;
}

int ShowPropertyDialog(int dialogId, const SettingsScope& scope)
{
    SetPropertyDialogScope(&scope);
    int result = RunSettingsDialog(dialogId, PropertyDialogProc, 0);
    // The scope is the caller's and goes with it.
    SetPropertyDialogScope(nullptr);
    return result;
}

INT_PTR CALLBACK PropertyDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_HSCROLL:
        return OnTrackbarMoved(dialog);
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
    case WM_DESTROY:
        return TRUE;
    default:
        return FALSE;
    }
}

void LoadPropertyControls(HWND dialog, const SettingsScope& scope)
{
    g_state.rootScope = scope.Parent() == nullptr;
    LoadLevelRow(dialog, scope);
    LoadPasswordRow(dialog, scope);
    SyncPropertyControls(dialog, 0);
}

void SyncPropertyControls(HWND dialog, int clickedBox)
{
    SyncLevelRow(dialog, clickedBox == kLevelRow.box);
    SyncPasswordRow(dialog, clickedBox == kPasswordRow.box);
}

void StorePropertyControls(HWND dialog, const SettingsScope& scope)
{
    bool levelOn = BoxChecked(dialog, kLevelRow.box);
    scope.Set(kLevelRow.switchKey, levelOn ? "1" : "0");
    int level = levelOn ? LevelInDialog(dialog) : g_state.ownLevel;
    // Level 0 is written as an empty value, which reads back as 0.
    char levelText[kLevelTextSize] = "";
    if (level > 0)
        FormatText(levelText, sizeof levelText, "%d", level);
    scope.Set(kLevelRow.valueKey, levelText);

    bool passwordOn = BoxChecked(dialog, kPasswordRow.box);
    scope.Set(kPasswordRow.switchKey, passwordOn ? "1" : "0");
    if (passwordOn)
        GetDlgItemTextA(dialog, kPasswordRow.valueControl, g_state.password,
                        sizeof g_state.password);
    scope.Set(kPasswordRow.valueKey, g_state.password);
    ApplyProjectProperties();
}

void EditApplicationDefaults()
{
    SettingsScope application;
    if (!OpenPropertyScopes(&application, nullptr))
        return;
    ShowPropertyDialog(IDD_APP_SETTINGS, application);
    ShowEntryStatus(nullptr);
}

void EditProjectSettings()
{
    SettingsScope application;
    SettingsScope project;
    if (!OpenPropertyScopes(&application, &project))
        return;
    ShowPropertyDialog(IDD_PROJECT_SETTINGS, project);
    // Whatever the result: the dialog may not have opened, and the root must still be current.
    ApplyProjectProperties();
    ShowEntryStatus(nullptr);
}

int RunEntryDialog(int dialogId, const SettingsScope& own)
{
    return ShowPropertyDialog(dialogId, own);
}
