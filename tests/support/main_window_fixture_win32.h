#pragma once
// The real main window created in the test's own process under the null graphics driver, with
// empty settings and an empty project; tests drive it with real messages.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include "core/app_state.h"
#include "core/settings_document.h"
#include "project/project_file.h"
#include "ui/list_layout.h"
#include "ui/main_window.h"
#include "ui/split_layout.h"

class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        AppSettings = new SettingsDocument;
        OpenProject("");
        Panes() = PaneWindows();
        SplitPosition() = 128;
        CurrentListLayout() = ListLayout();
        RegisterMainWindowClass(GetModuleHandleA(nullptr));
        if (CreatesWindowInSetUp())
            CreateMain();
    }
    virtual bool CreatesWindowInSetUp() { return true; }
    void CreateMain()
    {
        window = CreateWindowExA(0, kMainWindowClass, kMainWindowTitle, WS_OVERLAPPEDWINDOW, 0, 0, 512, 384,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOWNORMAL);
    }
    void TearDown() override
    {
        if (window != nullptr)
            DestroyWindow(window);
        ProjectArgument[0] = '\0';
        // Drain the quit message posted by the destruction.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        DestroyDocuments();
    }
    int Width(HWND child)
    {
        RECT box;
        GetWindowRect(child, &box);
        return box.right - box.left;
    }
    int ClientWidth()
    {
        RECT client;
        GetClientRect(window, &client);
        return client.right;
    }
    HWND window = nullptr;
};

