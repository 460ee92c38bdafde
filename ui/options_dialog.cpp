#include "ui/options_dialog.h"

#include "core/report.h"
#include "core/settings_document.h"
#include "project/archive_settings.h"
#include "project/properties.h"
#include "resources/resource.h"
#include "ui/property_dialog.h"
#include "ui/shell_dialogs.h"

namespace {

// The controls of each option, in the order of kArchiveOptionKeys.
struct OptionRow {
    int box;
    int list;
};
const OptionRow kRows[kArchiveOptionCount] = {
    {IDC_NAMECODE_ENABLE, IDC_NAMECODE_CHOICE},
    {IDC_ENCRYPTION_ENABLE, IDC_ENCRYPTION_CHOICE},
    {IDC_VERIFY_ENABLE, IDC_VERIFY_CHOICE},
};

OptionsDialogRecord* RecordOf(HWND dialog)
{
    return reinterpret_cast<OptionsDialogRecord*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

int Inherited(const OptionsDialogRecord& record, int row)
{
    return LayeredArchiveOption(record.scope->Parent(), kArchiveOptionKeys[row]);
}

int Choice(HWND dialog, int row)
{
    return static_cast<int>(SendDlgItemMessageA(dialog, kRows[row].list, CB_GETCURSEL, 0, 0));
}

void ShowChoice(HWND dialog, int row, int value, bool own)
{
    SendDlgItemMessageA(dialog, kRows[row].list, CB_SETCURSEL, value, 0);
    EnableDialogItem(dialog, kRows[row].list, own);
}

void LoadRow(HWND dialog, OptionsDialogRecord& record, int row)
{
    const ArchiveOptionKey& option = kArchiveOptionKeys[row];
    for (int value = 0; value < option.choiceCount; ++value)
        SendDlgItemMessageA(dialog, kRows[row].list, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(option.choices[value]));
    int own = OwnArchiveOption(*record.scope, option);
    int inherited = Inherited(record, row);
    // Without an own value, checking the box starts from what applies now.
    record.own[row] = own >= 0 ? own : inherited;
    CheckDlgButton(dialog, kRows[row].box, own >= 0 ? BST_CHECKED : BST_UNCHECKED);
    ShowChoice(dialog, row, own >= 0 ? own : inherited, own >= 0);
}

INT_PTR OnInitDialog(HWND dialog, OptionsDialogRecord* record)
{
    if (record == nullptr || record->scope == nullptr) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(record));
    SetWindowTextA(dialog, record->title);
    for (int row = 0; row < kArchiveOptionCount; ++row)
        LoadRow(dialog, *record, row);
    CenterOverOwner(dialog, GetWindow(dialog, GW_OWNER));
    return TRUE;
}

// Clearing a box keeps the choice made so far for when it is checked again.
INT_PTR OnBoxClicked(HWND dialog, int row)
{
    OptionsDialogRecord& record = *RecordOf(dialog);
    if (BoxChecked(dialog, kRows[row].box)) {
        ShowChoice(dialog, row, record.own[row], true);
    } else {
        record.own[row] = Choice(dialog, row);
        ShowChoice(dialog, row, Inherited(record, row), false);
    }
    return TRUE;
}

INT_PTR OnOk(HWND dialog)
{
    const OptionsDialogRecord& record = *RecordOf(dialog);
    for (int row = 0; row < kArchiveOptionCount; ++row) {
        const char* key = kArchiveOptionKeys[row].key;
        int choice = Choice(dialog, row);
        if (!BoxChecked(dialog, kRows[row].box) || choice < 0) {
            record.scope->Remove(key);
            continue;
        }
        char value[2] = {static_cast<char>('0' + choice), '\0'};
        if (!record.scope->Set(key, value)) {
            ReportError("設定を記録できませんでした。", "パックレン：書庫オプション");
            return TRUE;
        }
    }
    EndDialog(dialog, IDOK);
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
    default:
        for (int row = 0; row < kArchiveOptionCount; ++row) {
            if (id == kRows[row].box)
                return code == BN_CLICKED ? OnBoxClicked(dialog, row) : TRUE;
        }
        return FALSE;
    }
}

void EditOptions(const SettingsScope& scope, const char* title)
{
    OptionsDialogRecord record = {&scope, title, {}};
    RunSettingsDialog(IDD_ARCHIVE_OPTIONS, OptionsDialogProc, reinterpret_cast<LPARAM>(&record));
    ShowEntryStatus(nullptr);
}

}  // namespace

INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog, reinterpret_cast<OptionsDialogRecord*>(lParam));
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
    default:
        return FALSE;
    }
}

void EditApplicationOptions()
{
    SettingsScope application;
    if (OpenPropertyScopes(&application, nullptr))
        EditOptions(application, "パックレンの書庫オプション");
}

void EditProjectOptions()
{
    SettingsScope application;
    SettingsScope project;
    if (OpenPropertyScopes(&application, &project))
        EditOptions(project, "プロジェクトの書庫オプション");
}
