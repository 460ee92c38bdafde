#include "ui/password_edit.h"

#include <string>

namespace {

// A TAB would split the password's line in the project file, CR and LF would end it. Wine's
// single-line edit already drops them when typed; other systems need not.
bool IsRefusedCharacter(WPARAM character)
{
    return character == '\t' || character == '\r' || character == '\n';
}

// The edit itself pastes TABs and, on some systems, line breaks as they come.
void PasteWithoutControlBytes(HWND edit)
{
    if ((GetWindowLongA(edit, GWL_STYLE) & ES_READONLY) != 0 ||
        !IsClipboardFormatAvailable(CF_TEXT) || !OpenClipboard(edit))
        return;
    std::string text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
            // Trail bytes of code page 932 are 0x40 or more: no character loses half of itself.
            for (; *bytes != '\0'; ++bytes) {
                if (static_cast<unsigned char>(*bytes) >= 0x20)
                    text += *bytes;
            }
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
}

// In front of the edit class's procedure, which is kept in the edit's GWLP_USERDATA.
LRESULT CALLBACK PasswordEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CHAR:
        if (IsRefusedCharacter(wParam))
            return 0;
        break;
    case WM_PASTE:
        PasteWithoutControlBytes(edit);
        return 0;
    default:
        break;
    }
    WNDPROC original = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(edit, GWLP_USERDATA));
    return CallWindowProcA(original, edit, message, wParam, lParam);
}

}  // namespace

void FilterPasswordInput(HWND edit)
{
    SetWindowLongPtrA(edit, GWLP_USERDATA, GetWindowLongPtrA(edit, GWLP_WNDPROC));
    SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PasswordEditProc));
}
