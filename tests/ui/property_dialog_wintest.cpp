// The property dialogs under the null graphics driver, driven with real messages: modeless on a
// scope of the test's own documents, which stand in for the run's.
#include "ui/property_dialog.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/support/project_fixture.h"

namespace {

class PropertyDialog : public ProjectTest {
protected:
    void TearDown() override
    {
        DestroyWindow(dialog);
        SetPropertyDialogScope(nullptr);
        ProjectTest::TearDown();
    }
    void Open(int id, const SettingsScope& scope)
    {
        DestroyWindow(dialog);
        SetPropertyDialogScope(&scope);
        dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), nullptr,
                                    PropertyDialogProc, 0);
        ASSERT_NE(dialog, nullptr);
        ShowWindow(dialog, SW_SHOW);
    }
    std::string Text(int id)
    {
        char text[512] = "";
        GetDlgItemTextA(dialog, id, text, sizeof text);
        return text;
    }
    LRESULT Send(int id, UINT message, WPARAM wParam = 0)
    {
        return SendDlgItemMessageA(dialog, id, message, wParam, 0);
    }
    void Press(int id) { SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    // The four keys of a PROPERTY section, "-" for a missing one.
    static std::string Keys(SettingsDocument& document)
    {
        std::string keys;
        for (const char* key : {"COMPLEVELENABLE", "COMPRESSLEVEL", "PASSWORDENABLE", "PASSWORD"}) {
            const char* value = document.GetValue("PROPERTY", key);
            keys += std::string(keys.empty() ? "" : " ") + (value != nullptr ? value : "-");
        }
        return keys;
    }

    HWND dialog = nullptr;
};

}  // namespace

// Key steps of the trackbar reach the text; level 0 is written as an empty value; a level out of
// range stays unless the thumb is moved. Pasted control bytes are dropped; a password set past
// that filter is refused, its box checked or cleared, but one the project already held is not
// the dialog's doing and stays as it was.
TEST_F(PropertyDialog, LevelsAndPasswordsAreWrittenAsTheyCanBeStored)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    SettingsScope appScope, projectScope;
    appScope.Open(&app, "PROPERTY", nullptr);
    projectScope.Open(&project, "PROPERTY", &appScope);
    Open(IDD_APP_SETTINGS, appScope);
    for (const char* expected : {"5", "4"}) {
        Send(IDC_LEVEL_TRACKBAR, WM_KEYDOWN, VK_LEFT);
        EXPECT_EQ(Text(IDC_LEVEL_TEXT), expected);
    }
    // As a drag does: the thumb moves, then the trackbar tells its dialog.
    SendDlgItemMessageA(dialog, IDC_LEVEL_TRACKBAR, TBM_SETPOS, TRUE, 0);
    SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, 0),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_LEVEL_TRACKBAR)));
    Press(IDOK);
    EXPECT_EQ(Keys(app), "1  0 ");
    project.SetValue("PROPERTY", "COMPLEVELENABLE", "1");
    project.SetValue("PROPERTY", "COMPRESSLEVEL", "12");
    Open(IDD_PROJECT_SETTINGS, projectScope);
    EXPECT_EQ(Send(IDC_LEVEL_TRACKBAR, TBM_GETPOS), 9);
    Press(IDOK);
    EXPECT_EQ(Keys(project), "1 12 0 ");

    Open(IDD_PROJECT_SETTINGS, projectScope);
    Send(IDC_PASSWORD_ENABLE, BM_CLICK);
    const char pasted[] = "a\tb\r\nパス";
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, sizeof pasted);
    memcpy(GlobalLock(data), pasted, sizeof pasted);
    GlobalUnlock(data);
    SetClipboardData(CF_TEXT, data);
    CloseClipboard();
    Send(IDC_PASSWORD_TEXT, WM_PASTE);
    EXPECT_EQ(Text(IDC_PASSWORD_TEXT), "abパス");
    SetDlgItemTextA(dialog, IDC_PASSWORD_TEXT, "a\tb");
    for (int round = 0; round < 2; ++round) {
        Press(IDOK);
        EXPECT_TRUE(IsWindowVisible(dialog)) << round;
        Send(IDC_PASSWORD_ENABLE, BM_CLICK);
    }
    EXPECT_EQ(Keys(project), "1 12 0 ");
    ASSERT_EQ(errors.titles, (std::vector<std::string>(2, "パックレン：パスワード")));
    EXPECT_EQ(errors.texts[0], "このパスワードは保存できません。\r\n"
                               "(タブ・改行などの制御文字を含むか、259バイトを超えています)");
    project.SetValue("PROPERTY", "PASSWORD", "x\x01y");
    Open(IDD_PROJECT_SETTINGS, projectScope);
    Press(IDOK);
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_EQ(Keys(project), "1 12 0 x\x01y");
}
