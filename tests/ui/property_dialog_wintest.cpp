// The property dialogs under the null graphics driver, driven with real messages: modeless on a
// scope for most cases, modal through the commands that open them for the rest.
#include "ui/property_dialog.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/app_state.h"
#include "core/settings_document.h"
#include "project/properties.h"
#include "resources/resource.h"
#include "tests/support/watchers_win32.h"
#include "tests/support/project_fixture.h"

namespace {

// The modeless dialog on scopes of the test's own documents, which stand in for the run's.
class PropertyDialog : public DocumentsTest {
protected:
    void SetUp() override
    {
        DocumentsTest::SetUp();
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        appScope.Open(&app, "PROPERTY", nullptr);
        projectScope.Open(&project, "PROPERTY", &appScope);
    }
    void TearDown() override
    {
        DestroyWindow(dialog);
        SetPropertyDialogScope(nullptr);
        DocumentsTest::TearDown();
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
    HWND Item(int id) { return GetDlgItem(dialog, id); }
    std::string Text(int id) { return TextOf(dialog, id); }
    static std::string TextOf(HWND window, int id)
    {
        char text[512] = "";
        GetDlgItemTextA(window, id, text, sizeof text);
        return text;
    }
    bool Checked(int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
    bool Enabled(int id) { return IsWindowEnabled(Item(id)) != FALSE; }
    void Click(int id) { SendMessageA(Item(id), BM_CLICK, 0, 0); }
    void Press(int id) { SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    bool Ended() { return !IsWindowVisible(dialog); }
    // As a drag does: the thumb moves, then the trackbar tells its dialog.
    static void Drag(HWND window, int position)
    {
        SendDlgItemMessageA(window, IDC_LEVEL_TRACKBAR, TBM_SETPOS, TRUE, position);
        SendMessageA(window, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_LEVEL_TRACKBAR)));
    }
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

    SettingsScope appScope, projectScope;
    HWND dialog = nullptr;
};

}  // namespace

TEST_F(PropertyDialog, LevelZeroIsWrittenEmptyAndOutOfRangeLevelsStayUnlessMoved)
{
    Open(IDD_APP_SETTINGS, appScope);
    EXPECT_EQ(SendMessageA(Item(IDC_LEVEL_TRACKBAR), TBM_GETRANGEMAX, 0, 0), 9);
    // Key steps of the trackbar itself, each reported to the dialog.
    for (int expected : {5, 4}) {
        SendMessageA(Item(IDC_LEVEL_TRACKBAR), WM_KEYDOWN, VK_LEFT, 0);
        EXPECT_EQ(Text(IDC_LEVEL_TEXT), std::to_string(expected));
    }
    Drag(dialog, 0);
    Press(IDOK);
    EXPECT_EQ(Keys(app), "1  0 ");
    Open(IDD_APP_SETTINGS, appScope);
    EXPECT_EQ(Text(IDC_LEVEL_TEXT), "0");

    project.SetValue("PROPERTY", "COMPLEVELENABLE", "1");
    project.SetValue("PROPERTY", "COMPRESSLEVEL", "12");
    Open(IDD_PROJECT_SETTINGS, projectScope);
    EXPECT_EQ(Text(IDC_LEVEL_TEXT), "12");
    EXPECT_EQ(SendMessageA(Item(IDC_LEVEL_TRACKBAR), TBM_GETPOS, 0, 0), 9);
    Press(IDOK);
    EXPECT_STREQ(project.GetValue("PROPERTY", "COMPRESSLEVEL"), "12");
}

TEST_F(PropertyDialog, ClearingTheLevelBoxShowsTheInheritedLevelAndKeepsTheOwn)
{
    for (const char* appLevel : {"", "8"}) {
        SCOPED_TRACE(appLevel);
        if (appLevel[0] != '\0')
            app.SetValue("PROPERTY", "COMPRESSLEVEL", appLevel);
        std::string inherited = appLevel[0] != '\0' ? appLevel : "6";  // 6 when nothing is set
        project.SetValue("PROPERTY", "COMPLEVELENABLE", "1");
        project.SetValue("PROPERTY", "COMPRESSLEVEL", "3");
        Open(IDD_PROJECT_SETTINGS, projectScope);
        EXPECT_EQ(Text(IDC_LEVEL_TEXT), "3");
        Click(IDC_LEVEL_ENABLE);
        EXPECT_EQ(Text(IDC_LEVEL_TEXT), inherited);
        EXPECT_EQ(SendMessageA(Item(IDC_LEVEL_TRACKBAR), TBM_GETPOS, 0, 0), std::stoi(inherited));
        EXPECT_FALSE(Enabled(IDC_LEVEL_TRACKBAR) || Enabled(IDC_LEVEL_TEXT));
        Press(IDOK);
        EXPECT_EQ(Keys(project), "0 3 0 ");
        EXPECT_EQ(Root()->level, appLevel[0] != '\0' ? 8 : -1);
        Open(IDD_PROJECT_SETTINGS, projectScope);
        EXPECT_FALSE(Checked(IDC_LEVEL_ENABLE));
        EXPECT_EQ(Text(IDC_LEVEL_TEXT), inherited);
        Click(IDC_LEVEL_ENABLE);
        EXPECT_EQ(Text(IDC_LEVEL_TEXT), "3");
        EXPECT_TRUE(Enabled(IDC_LEVEL_TRACKBAR));
    }
}

TEST_F(PropertyDialog, TypedPasswordSurvivesTheBoxAndIsWrittenWhenOff)
{
    app.SetValue("PROPERTY", "PASSWORD", "app-secret");
    Open(IDD_APP_SETTINGS, appScope);
    Press(IDOK);
    EXPECT_EQ(Keys(app), "1 6 0 app-secret");

    Open(IDD_PROJECT_SETTINGS, projectScope);
    EXPECT_EQ(Text(IDC_PASSWORD_TEXT), "app-secret");
    EXPECT_FALSE(Enabled(IDC_PASSWORD_TEXT));
    Click(IDC_PASSWORD_ENABLE);
    EXPECT_EQ(Text(IDC_PASSWORD_TEXT), "");
    for (char c : std::string("パス1"))
        SendMessageA(Item(IDC_PASSWORD_TEXT), WM_CHAR, static_cast<unsigned char>(c), 0);
    const char* shown[] = {"app-secret", "パス1", "app-secret"};
    for (const char* expected : shown) {
        Click(IDC_PASSWORD_ENABLE);
        EXPECT_EQ(Text(IDC_PASSWORD_TEXT), expected);
    }
    Press(IDOK);
    EXPECT_EQ(Keys(project), "0 6 0 パス1");
    EXPECT_STREQ(Root()->password, "app-secret");
}

TEST_F(PropertyDialog, PastedControlBytesAreDroppedAndUnstorablePasswordsRefused)
{
    Open(IDD_PROJECT_SETTINGS, projectScope);
    Click(IDC_PASSWORD_ENABLE);
    const char pasted[] = "a\tb\r\nパス";
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, sizeof pasted);
    memcpy(GlobalLock(data), pasted, sizeof pasted);
    GlobalUnlock(data);
    SetClipboardData(CF_TEXT, data);
    CloseClipboard();
    SendMessageA(Item(IDC_PASSWORD_TEXT), WM_PASTE, 0, 0);
    EXPECT_EQ(Text(IDC_PASSWORD_TEXT), "abパス");

    // Set from outside, past the filter: OK refuses it, the box checked or cleared.
    SetDlgItemTextA(dialog, IDC_PASSWORD_TEXT, "a\tb");
    for (int round = 0; round < 2; ++round) {
        Press(IDOK);
        EXPECT_FALSE(Ended()) << round;
        Click(IDC_PASSWORD_ENABLE);
    }
    EXPECT_EQ(Keys(project), "- - - -");
    ASSERT_EQ(errors.titles, (std::vector<std::string>(2, "パックレン：パスワード")));
    EXPECT_EQ(errors.texts[0], "このパスワードは保存できません。\r\n"
                               "(タブ・改行などの制御文字を含むか、259バイトを超えています)");
    // One the project already held is not the dialog's doing: it stays as it was.
    project.SetValue("PROPERTY", "PASSWORD", "x\x01y");
    Open(IDD_PROJECT_SETTINGS, projectScope);
    Press(IDOK);
    EXPECT_TRUE(Ended());
    EXPECT_EQ(Keys(project), "0 6 0 x\x01y");
}

TEST_F(PropertyDialog, CancelAfterDraggingChangesNothingAndTheProjectIsRefreshedAnyway)
{
    RecordingView view;
    SetProjectView(&view);
    SetStatusNode(Root());
    project.SetValue("PROPERTY", "COMPLEVELENABLE", "1");
    project.SetValue("PROPERTY", "COMPRESSLEVEL", "2");
    std::vector<std::string> shown;
    ModalWatcher watcher("プロジェクトの設定", IDCANCEL, 20000, [&](HWND window) {
        for (int position : {3, 9, 1}) {
            Drag(window, position);
            shown.push_back(TextOf(window, IDC_LEVEL_TEXT));
        }
    });
    EditProjectSettings();
    ASSERT_TRUE(watcher.Wait().found);
    EXPECT_EQ(shown, (std::vector<std::string>{"3", "9", "1"}));
    EXPECT_EQ(Keys(project), "1 2 - -");
    EXPECT_EQ(view.calls, (std::vector<std::string>{"Status 圧縮レベル:2 パスワード:"}));
}
