// Scale benchmark of the two panes under Wine: the real main window with a directory of N files
// dropped into the folder on display, the list refilled, every entry moved into another folder
// and the folder deleted. bench/pane_scale.sh runs it for N = 1,000 and 10,000 and prints the
// times; a row costs the same whatever the count, so the ratio stays near 10.
//
//   pane_scale <scratch> <N>   prints "N drop-ms refill-ms move-ms delete-ms"
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/settings_document.h"
#include "project/project_file.h"
#include "project/project_node.h"
#include "project/project_state.h"
#include "project/project_tree.h"
#include "ui/file_list.h"
#include "ui/folder_tree.h"
#include "ui/main_window.h"

namespace {

double Milliseconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

// The directory of N empty files, made once and reused by the later runs.
std::string FileDirectory(const std::string& scratch, int count)
{
    std::string dir = scratch + "\\files" + std::to_string(count);
    if (CreateDirectoryA(dir.c_str(), nullptr)) {
        for (int i = 0; i < count; ++i) {
            std::string path = dir + "\\file" + std::to_string(i) + ".txt";
            CloseHandle(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        }
    }
    return dir;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return 64;
    int count = atoi(argv[2]);
    std::string dir = FileDirectory(argv[1], count);

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    AppSettings = new SettingsDocument;
    OpenProject("");
    RegisterMainWindowClass(GetModuleHandleA(nullptr));
    HWND window = CreateWindowExA(0, kMainWindowClass, kMainWindowTitle, WS_OVERLAPPEDWINDOW, 0, 0, 800, 600,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ShowWindow(window, SW_SHOWNORMAL);

    ProjectNode* target = InsertChild(ProjectRoot(), nullptr, true, nullptr, -1, "target", nullptr);
    AddFolderTreeItem(target);
    auto start = std::chrono::steady_clock::now();
    const char* paths[] = {dir.c_str()};
    AddDroppedPaths(paths, 1, nullptr);
    ProjectNode* dropped = ProjectRoot()->firstChild->nextSibling;
    SelectFolder(dropped);  // the folder shown: every file gets a row
    double drop = Milliseconds(start);

    start = std::chrono::steady_clock::now();
    FillFileList();
    double refill = Milliseconds(start);

    std::vector<ProjectNode*> entries;
    for (ProjectNode* child = dropped->firstChild; child != nullptr; child = child->nextSibling)
        entries.push_back(child);
    start = std::chrono::steady_clock::now();
    MoveEntries(entries.data(), static_cast<int>(entries.size()), target);
    double move = Milliseconds(start);

    SelectFolder(target);
    start = std::chrono::steady_clock::now();
    LVITEMA all = {};
    all.state = all.stateMask = LVIS_SELECTED;
    SendMessageA(FileListWindow(), LVM_SETITEMSTATE, -1, reinterpret_cast<LPARAM>(&all));
    DeleteSelectedRows();
    double remove = Milliseconds(start);

    printf("%d %.0f %.0f %.0f %.0f\n", count, drop, refill, move, remove);
    bool emptied = target->firstChild == nullptr;
    DestroyWindow(window);  // frees the project
    return emptied ? 0 : 1;
}
