// The main window created in this process under the null graphics driver, driven with real
// messages.
#include "ui/main_window.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/settings_document.h"
#include "project/project_file.h"
#include "project/project_node.h"
#include "project/project_state.h"
#include "project/project_tree.h"
#include "resources/resource.h"
#include "tests/support/main_window_fixture_win32.h"
#include "tests/support/modal_watcher_win32.h"
#include "tests/support/temp_dir.h"
#include "ui/split_layout.h"

using MainWindowTest = MainWindowFixture;

TEST_F(MainWindowTest, ChildrenAndToolbar)
{
    const PaneWindows& panes = Panes();
    EXPECT_EQ(GetDlgCtrlID(panes.statusBar), kStatusBarId);
    EXPECT_EQ(SendMessageA(panes.statusBar, SB_GETPARTS, 0, 0), 1);
    char name[64];
    GetClassNameA(panes.bar, name, sizeof name);
    EXPECT_STREQ(name, "SPLITBAR");
    GetClassNameA(panes.leftPane, name, sizeof name);
    EXPECT_STREQ(name, "SPLITCHILD");
    EXPECT_EQ(GetParent(panes.leftPane), panes.bar);
    EXPECT_EQ(GetParent(panes.rightPane), window);

    std::vector<int> commands;
    int count = static_cast<int>(SendMessageA(panes.toolbar, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TBBUTTON button = {};
        SendMessageA(panes.toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
        commands.push_back(button.fsStyle & BTNS_SEP ? 0 : button.idCommand);
    }
    EXPECT_EQ(commands, (std::vector<int>{40002, 40003, 40004, 0, 40007}));
}

TEST_F(MainWindowTest, TooltipsComeFromTheTable)
{
    struct {
        UINT_PTR id;
        LRESULT result;
        const char* text;
    } rows[] = {{40002, 1, "新規プロジェクト"}, {40003, 1, "プロジェクトを開く"}, {40004, 1, "プロジェクト保存"},
                {40007, 1, "ZIPファイル出力"}, {40001, 0, nullptr}};
    for (const auto& row : rows) {
        NMTTDISPINFOA info = {};
        info.hdr.code = TTN_NEEDTEXTA;
        info.hdr.idFrom = row.id;
        EXPECT_EQ(SendMessageA(window, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info)), row.result);
        if (row.text != nullptr) {
            EXPECT_STREQ(info.lpszText, row.text);
        }
    }
}

TEST_F(MainWindowTest, SplitIsClampedWhileDraggingAndWhenNarrowing)
{
    const PaneWindows& panes = Panes();
    EXPECT_EQ(SplitPosition(), 128);
    EXPECT_EQ(Width(panes.bar), 128);
    EXPECT_EQ(Width(panes.leftPane), 124);

    // Dragging the bar is sizing the bar window.
    SetWindowPos(panes.bar, nullptr, 0, 0, 2, 100, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(SplitPosition(), 5);
    EXPECT_EQ(Width(panes.bar), 5);
    SetWindowPos(panes.bar, nullptr, 0, 0, 5000, 100, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(SplitPosition(), ClientWidth() - 1);
    EXPECT_EQ(Width(panes.rightPane), 1);

    SetWindowPos(panes.bar, nullptr, 0, 0, 300, 100, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(SplitPosition(), 300);
    SetWindowPos(window, nullptr, 0, 0, 200, 300, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(SplitPosition(), ClientWidth() - 1);

    // Minimising does not lay the panes out again.
    SetWindowPos(window, nullptr, 0, 0, 600, 300, SWP_NOMOVE | SWP_NOZORDER);
    SetWindowPos(panes.bar, nullptr, 0, 0, 250, 100, SWP_NOMOVE | SWP_NOZORDER);
    ShowWindow(window, SW_MINIMIZE);
    EXPECT_EQ(SplitPosition(), 250);
}

TEST_F(MainWindowTest, OnlyTheBarsRightEdgeStartsSizing)
{
    const PaneWindows& panes = Panes();
    RECT bar;
    GetWindowRect(panes.bar, &bar);
    int y = (bar.top + bar.bottom) / 2;
    EXPECT_EQ(SendMessageA(panes.bar, WM_NCHITTEST, 0, MAKELPARAM(bar.right - 1, y)), HTRIGHT);
    EXPECT_EQ(SendMessageA(panes.bar, WM_NCHITTEST, 0, MAKELPARAM(bar.right - 4, y)), HTRIGHT);
    EXPECT_NE(SendMessageA(panes.bar, WM_NCHITTEST, 0, MAKELPARAM(bar.right - 5, y)), HTRIGHT);
}

TEST_F(MainWindowTest, CloseWritesTheLayoutKeysInOrder)
{
    SetWindowPos(Panes().bar, nullptr, 0, 0, 150, 100, SWP_NOMOVE | SWP_NOZORDER);
    SendMessageA(window, WM_CLOSE, 0, 0);
    window = nullptr;
    std::vector<std::string> keys;
    for (SettingsEntry* e = AppSettings->FirstEntry("WINDOW"); e != nullptr; e = e->next)
        keys.push_back(e->key);
    EXPECT_EQ(keys, (std::vector<std::string>{"ListColumnWidth", "ListSortColumn", "MainWindowMode",
                                              "MainWindowPos", "MainWindowMinPos", "MainWindowMaxPos",
                                              "SplitPos"}));
    EXPECT_STREQ(AppSettings->GetValue("WINDOW", "SplitPos"), "150");
    EXPECT_STREQ(AppSettings->GetValue("WINDOW", "MainWindowPos"), "0,0,512,384");
}

TEST_F(MainWindowTest, MaximisedStateIsSavedWithTheRestoredRectangle)
{
    ShowWindow(window, SW_MAXIMIZE);
    SaveWindowLayout(window);
    EXPECT_STREQ(AppSettings->GetValue("WINDOW", "MainWindowMode"), "MAXIMIZED");
    EXPECT_STREQ(AppSettings->GetValue("WINDOW", "MainWindowPos"), "0,0,512,384");
    ShowWindow(window, SW_MINIMIZE);
    SaveWindowLayout(window);
    EXPECT_STREQ(AppSettings->GetValue("WINDOW", "MainWindowMode"), "NORMAL");
}

TEST_F(MainWindowTest, NewProjectKeepsTheProjectSettingsAndSaveProposesTheDefaultName)
{
    ProjectDocument->SetValue("PROPERTY", "COMPLEVELENABLE", "1");
    ProjectDocument->SetValue("PROPERTY", "COMPRESSLEVEL", "3");
    InsertChild(ProjectRoot(), nullptr, true, nullptr, -1, "docs", nullptr);
    strcpy(ProjectRoot()->name, "Release");
    SendMessageA(window, WM_COMMAND, IDC_NEW_PROJECT, 0);
    EXPECT_EQ(ProjectRoot()->firstChild, nullptr);
    EXPECT_STREQ(ProjectRoot()->name, "新規書庫");
    EXPECT_STREQ(ProjectDocument->GetValue("PROPERTY", "COMPRESSLEVEL"), "3");

    // Saving always asks, proposing the project name; cancelling writes nothing.
    for (int round = 0; round < 2; ++round) {
        ModalWatcher chooser("パックレン：プロジェクトを名前を付けて保存", IDCANCEL);
        SendMessageA(window, WM_COMMAND, IDC_SAVE_PROJECT, 0);
        DialogReport shown = chooser.Wait();
        ASSERT_TRUE(shown.found) << round;
        EXPECT_TRUE(shown.HasText("新規書庫.pwp")) << round;
    }
    EXPECT_STREQ(CurrentProjectPath, "");
}

TEST_F(MainWindowTest, SaveWritesTheChosenFile)
{
    TempDir dir;
    std::string target = dir.Join("保存先");
    ModalWatcher chooser("パックレン：プロジェクトを名前を付けて保存", IDOK, 20000, [&](HWND dialog) {
        SetDlgItemTextA(dialog, 0x047c, target.c_str());
        SetDlgItemTextA(dialog, 0x0480, target.c_str());
    });
    SendMessageA(window, WM_COMMAND, IDC_SAVE_PROJECT, 0);
    ASSERT_TRUE(chooser.Wait().found);
    EXPECT_EQ(std::string(CurrentProjectPath), target + ".pwp");
    std::string saved = ReadWholeFile(target + ".pwp");
    EXPECT_EQ(saved.find("[INFOMATION]\r\nAPPLICATIONNAME=packwrenプロジェクト\r\n"), 0u);
    EXPECT_NE(saved.find("[PROJECT]\r\nPROJECTNAME=新規書庫\r\n[FILELIST]\r\n\t\t\t<\r\n"), std::string::npos);
}

class MainWindowStartTest : public MainWindowTest {
protected:
    bool CreatesWindowInSetUp() override { return false; }
};

TEST_F(MainWindowStartTest, ABrokenProjectOnTheCommandLineIsReportedAndLeavesAnEmptyProject)
{
    TempDir dir;
    std::string path = dir.WriteFile("broken.pwp", "[INFOMATION]\r\nAPPLICATIONNAME=x\r\nbad\x01line\r\n");
    strcpy(ProjectArgument, path.c_str());
    ModalWatcher box("パックレン：プロジェクト");
    CreateMain();
    DialogReport shown = box.Wait();
    ASSERT_TRUE(shown.found);
    EXPECT_TRUE(shown.HasText("プロジェクトの読込に失敗しました。\r\n(line:3)"));
    EXPECT_NE(window, nullptr);
    EXPECT_EQ(ProjectRoot()->firstChild, nullptr);
    EXPECT_STREQ(CurrentProjectPath, "");
}

TEST_F(MainWindowTest, SettingsCommandsOpenTheirDialogsAndRefreshTheStatusLine)
{
    ModalWatcher defaults("パックレンの設定", IDOK);
    SendMessageA(window, WM_COMMAND, IDC_APP_SETTINGS, 0);
    ASSERT_TRUE(defaults.Wait().found);
    EXPECT_STREQ(AppSettings->GetValue("PROPERTY", "COMPRESSLEVEL"), "6");

    // The project's own level, switched on in its dialog, reaches the root and the status bar.
    ModalWatcher project("プロジェクトの設定", IDOK, 20000, [](HWND dialog) {
        SendDlgItemMessageA(dialog, IDC_LEVEL_ENABLE, BM_CLICK, 0, 0);
        SetDlgItemTextA(dialog, IDC_LEVEL_TEXT, "2");
    });
    SendMessageA(window, WM_COMMAND, IDC_PROJECT_SETTINGS, 0);
    ASSERT_TRUE(project.Wait().found);
    EXPECT_EQ(ProjectRoot()->level, 2);
    char status[128] = "";
    SendMessageA(Panes().statusBar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(status));
    EXPECT_STREQ(status, "圧縮レベル:2 パスワード:");
}

// Opening any project after one with its own password: the tree of the next one is built while
// the old document is gone, and the status line shows the settings of the project now open.
TEST_F(MainWindowTest, OpeningAfterAProjectWithItsOwnPasswordShowsTheNewSettings)
{
    const std::string header = "[INFOMATION]\r\nAPPLICATIONNAME=packwrenプロジェクト\r\nAPPLICATIONVERSION=1.0.0\r\n";
    const std::string failed = "プロジェクトの読込に失敗しました。\r\n(line:";
    TempDir dir;
    std::string secret = dir.WriteFile("secret.pwp", header + "[PROPERTY]\r\nPASSWORDENABLE=1\r\nPASSWORD=secret\r\n");
    // The open dialog only offers files that exist: one that cannot be read is held open
    // unshared by the test, which fails the load as a missing file does.
    struct Row {
        const char* name;
        std::string text;
        bool locked;
        std::string message;  // empty: opens without one
        const char* status;
    } rows[] = {
        {"locked.pwp", header, true, failed + "0)", "圧縮レベル:- パスワード:"},
        {"malformed.pwp", "\r\n" + header, false, failed + "1)", "圧縮レベル:- パスワード:"},
        {"good.pwp", header + "[PROPERTY]\r\nCOMPLEVELENABLE=1\r\nCOMPRESSLEVEL=4\r\nPASSWORDENABLE=1\r\nPASSWORD=other\r\n",
         false, "", "圧縮レベル:4 パスワード:other"},
    };
    auto open = [&](const std::string& path, const std::string& message) {
        std::unique_ptr<ModalWatcher> box;
        if (!message.empty())
            box = std::make_unique<ModalWatcher>("パックレン：プロジェクト");
        ModalWatcher chooser("パックレン：プロジェクトを開く", IDOK, 20000, [path](HWND dialog) {
            SetDlgItemTextA(dialog, 0x047c, path.c_str());
            SetDlgItemTextA(dialog, 0x0480, path.c_str());
        });
        SendMessageA(window, WM_COMMAND, IDC_OPEN_PROJECT, 0);
        EXPECT_TRUE(chooser.Wait().found);
        if (box != nullptr)
            EXPECT_TRUE(box->Wait().HasText(message));
        char status[128] = "";
        SendMessageA(Panes().statusBar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(status));
        return std::string(status);
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(open(secret, ""), "圧縮レベル:- パスワード:secret");
        std::string path = dir.WriteFile(row.name, row.text);
        HANDLE hold = row.locked ? CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                                 : INVALID_HANDLE_VALUE;
        EXPECT_EQ(open(path, row.message), row.status);
        if (hold != INVALID_HANDLE_VALUE)
            CloseHandle(hold);
    }
}

TEST_F(MainWindowTest, ArchiveOptionsDialogsShowInheritedChoicesAndStoreOwnOnesOnOk)
{
    using Keys = std::vector<std::pair<const char*, const char*>>;
    struct Step {
        int control;
        int choice;  // -1: click the box
    };
    struct Row {
        const char* name;
        int command;
        const char* title;
        Keys application, project;
        std::vector<Step> steps;
        int button;
        // Per option "+" for a checked box with its list enabled, "-" for a cleared box with its
        // list disabled, then the choice shown: on opening and just before the button is pressed.
        const char *opened, *pressed;
        // NAMECODE ENCRYPTION VERIFY of each document afterwards, "-" for a missing key.
        const char *applicationAfter, *projectAfter, *status;
    } rows[] = {
        {"project takes choices of its own", IDC_PROJECT_OPTIONS, "プロジェクトの書庫オプション",
         {{"NAMECODE", "2"}}, {},
         {{IDC_NAMECODE_ENABLE, -1}, {IDC_NAMECODE_CHOICE, 1}, {IDC_ENCRYPTION_ENABLE, -1},
          {IDC_ENCRYPTION_CHOICE, 1}},
         IDOK, "-2 -0 -0", "+1 +1 -0", "2 - -", "1 1 -", "圧縮レベル:- パスワード: 名前:SJIS+Unicode"},
        {"a cleared box removes the project's key", IDC_PROJECT_OPTIONS,
         "プロジェクトの書庫オプション", {{"VERIFY", "0"}}, {{"VERIFY", "1"}, {"ENCRYPTION", "1"}},
         {{IDC_VERIFY_ENABLE, -1}}, IDOK, "-0 +1 +1", "-0 +1 -0", "- - 0", "- 1 -",
         "圧縮レベル:- パスワード:"},
        {"cancel keeps the project's keys", IDC_PROJECT_OPTIONS, "プロジェクトの書庫オプション",
         {}, {{"NAMECODE", "2"}}, {{IDC_NAMECODE_ENABLE, -1}}, IDCANCEL, "+2 -0 -0", "-0 -0 -0",
         "- - -", "2 - -", "圧縮レベル:- パスワード: 名前:UTF-8"},
        {"the application's own choice comes back", IDC_APP_OPTIONS,
         "パックレンの書庫オプション", {{"NAMECODE", "1"}, {"ENCRYPTION", "7"}}, {},
         {{IDC_NAMECODE_ENABLE, -1}, {IDC_NAMECODE_ENABLE, -1}, {IDC_VERIFY_ENABLE, -1},
          {IDC_VERIFY_CHOICE, 1}},
         IDOK, "+1 -0 -0", "+1 -0 +1", "1 - 1", "- - -",
         "圧縮レベル:- パスワード: 名前:SJIS+Unicode 検査:する"},
    };
    const int boxes[] = {IDC_NAMECODE_ENABLE, IDC_ENCRYPTION_ENABLE, IDC_VERIFY_ENABLE};
    auto state = [&](HWND dialog) {
        std::string shown;
        for (int box : boxes) {
            bool checked = IsDlgButtonChecked(dialog, box) == BST_CHECKED;
            bool enabled = IsWindowEnabled(GetDlgItem(dialog, box + 1)) != FALSE;
            shown += std::string(shown.empty() ? "" : " ") + (checked != enabled ? "?" : checked ? "+" : "-") +
                     std::to_string(SendDlgItemMessageA(dialog, box + 1, CB_GETCURSEL, 0, 0));
        }
        return shown;
    };
    auto keys = [](SettingsDocument* document) {
        std::string text;
        for (const char* key : {"NAMECODE", "ENCRYPTION", "VERIFY"}) {
            const char* value = document->GetValue("PROPERTY", key);
            text += std::string(text.empty() ? "" : " ") + (value != nullptr ? value : "-");
        }
        return text;
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AppSettings->DeleteSection("PROPERTY");
        ProjectDocument->DeleteSection("PROPERTY");
        for (auto& [key, value] : row.application)
            AppSettings->SetValue("PROPERTY", key, value);
        for (auto& [key, value] : row.project)
            ProjectDocument->SetValue("PROPERTY", key, value);
        std::string opened, pressed;
        ModalWatcher watcher(row.title, row.button, 20000, [&](HWND dialog) {
            opened = state(dialog);
            for (const Step& step : row.steps) {
                if (step.choice < 0)
                    SendDlgItemMessageA(dialog, step.control, BM_CLICK, 0, 0);
                else
                    SendDlgItemMessageA(dialog, step.control, CB_SETCURSEL, step.choice, 0);
            }
            pressed = state(dialog);
        });
        SendMessageA(window, WM_COMMAND, row.command, 0);
        ASSERT_TRUE(watcher.Wait().found);
        EXPECT_EQ(opened, row.opened);
        EXPECT_EQ(pressed, row.pressed);
        EXPECT_EQ(keys(AppSettings), row.applicationAfter);
        EXPECT_EQ(keys(ProjectDocument), row.projectAfter);
        char status[128] = "";
        SendMessageA(Panes().statusBar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(status));
        EXPECT_STREQ(status, row.status);
    }
}
