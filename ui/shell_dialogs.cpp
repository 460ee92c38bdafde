#include "ui/shell_dialogs.h"

#include <cderr.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "core/app_state.h"
#include "core/format_text.h"
#include "resources/resource.h"

const char kProjectFileFilter[] =
    "パックレンプロジェクトファイル (*.pwp)\0*.pwp\0すべてのファイル (*.*)\0*.*\0";
const char kZipFileFilter[] = "ZIPファイル (*.zip)\0*.zip\0すべてのファイル (*.*)\0*.*\0";

void DefaultExtensionOf(const char* name, char* extension)
{
    const char* dot = strrchr(name, '.');
    FormatText(extension, 16, "%s", dot != nullptr ? dot + 1 : "");
}

OPENFILENAMEA ChooserRecord(HWND owner, const char* title, char* path, const char* filter, bool save,
                            char* extension)
{
    DefaultExtensionOf(path, extension);
    OPENFILENAMEA record = {};
    // The version-4 record: the full one also asks for the places bar, which the chooser of
    // this program does not have.
    record.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    record.hwndOwner = owner;
    record.hInstance = owner != nullptr
                           ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE))
                           : GetModuleHandleA(nullptr);
    record.lpstrFilter = filter;
    record.nFilterIndex = 1;
    record.lpstrFile = path;
    record.nMaxFile = 260;
    record.lpstrTitle = title;
    record.lpstrDefExt = extension[0] != '\0' ? extension : nullptr;
    record.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | (save ? 0 : OFN_FILEMUSTEXIST);
    return record;
}

bool ChooseFile(HWND owner, const char* title, char* path, const char* filter, bool save)
{
    char extension[16];
    OPENFILENAMEA record = ChooserRecord(owner, title, path, filter, save, extension);
    auto ask = save ? GetSaveFileNameA : GetOpenFileNameA;
    if (ask(&record))
        return true;
    // The dialog refused the initial name itself: offer it once more, empty.
    if (CommDlgExtendedError() == FNERR_INVALIDFILENAME) {
        path[0] = '\0';
        return ask(&record) != FALSE;
    }
    return false;
}

void FormatBuildDate(const char* compileDate, char* out, size_t size)
{
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char month[16] = {};
    char day[16] = {};
    char year[16] = {};
    sscanf(compileDate, "%15s %15s %15s", month, day, year);
    for (int i = 0; i < 12; ++i) {
        if (strcmp(month, kMonths[i]) == 0) {
            FormatText(month, sizeof month, "%d", i + 1);
            break;
        }
    }
    FormatText(out, size, "%s/%s/%s", year, month, day);
}

void FormatAboutText(char* out, size_t size, const char* title, const char* version,
                     const char* date, const char* author, const char* webPage, const char* mail)
{
    FormatText(out, size,
               "タイトル    ： %s\r\nバージョン  ： %s\r\nコンパイル日： %s\r\n\r\n"
               "作った人    ： %s\r\nWebPage     ： %s\r\nEMAIL       ： %s",
               title, version, date, author, webPage, mail);
}

namespace {

struct AboutInfo {
    HWND owner;
    const char* title;
    const char* version;
    const char* date;
    const char* author;
    const char* webPage;
    const char* mail;
};

INT_PTR OnAboutInit(HWND dialog, const AboutInfo* info)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(info));
    CenterOverOwner(dialog, info->owner);
    char text[512];
    FormatAboutText(text, sizeof text, info->title, info->version, info->date, info->author,
                    info->webPage, info->mail);
    SetDlgItemTextA(dialog, IDC_ABOUT_TEXT, text);
    SetActiveWindow(dialog);
    SetFocus(dialog);
    return TRUE;
}

INT_PTR OnAboutCommand(HWND dialog, int id)
{
    const AboutInfo* info = reinterpret_cast<const AboutInfo*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (id) {
    case IDOK:
    case IDCANCEL:
        EndDialog(dialog, 1);
        return TRUE;
    case IDC_ABOUT_WEBPAGE:
        ShellExecuteA(dialog, nullptr, info->webPage, nullptr, nullptr, SW_SHOWNORMAL);
        return TRUE;
    case IDC_ABOUT_MAIL: {
        char address[256];
        FormatText(address, sizeof address, "mailto:%s", info->mail);
        ShellExecuteA(dialog, nullptr, address, nullptr, nullptr, SW_SHOWNORMAL);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnAboutInit(dialog, reinterpret_cast<const AboutInfo*>(lParam));
    case WM_COMMAND:
        return OnAboutCommand(dialog, LOWORD(wParam));
    case WM_DESTROY:
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR ShowAboutBox(HWND owner, const char* title, const char* version, const char* author,
                     const char* webPage, const char* mail)
{
    char date[64];
    FormatBuildDate(__DATE__, date, sizeof date);
    AboutInfo info = {owner, title, version, date, author, webPage, mail};
    HINSTANCE instance = owner != nullptr
                             ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE))
                             : GetModuleHandleA(nullptr);
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutDialogProc,
                           reinterpret_cast<LPARAM>(&info));
}

bool CenterOverOwner(HWND window, HWND owner)
{
    RECT box;
    RECT ownerBox;
    RECT work;
    GetWindowRect(window, &box);
    if (owner == nullptr || !GetWindowRect(owner, &ownerBox))
        GetWindowRect(GetDesktopWindow(), &ownerBox);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    int width = box.right - box.left;
    int height = box.bottom - box.top;
    int x = ownerBox.left + ((ownerBox.right - ownerBox.left) - width) / 2;
    int y = ownerBox.top + ((ownerBox.bottom - ownerBox.top) - height) / 2;
    if (x + width > work.right)
        x = work.right - width;
    if (y + height > work.bottom)
        y = work.bottom - height;
    if (x < work.left)
        x = work.left;
    if (y < work.top)
        y = work.top;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
    return true;
}

void OpenHelpFile(HWND owner)
{
    char path[520];
    FormatText(path, sizeof path, "%s%s", ExeDirectory, "packwren.txt");
    ShellExecuteA(owner, "open", path, nullptr, nullptr, SW_SHOWNORMAL);
}
