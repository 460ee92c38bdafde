// Drags over the real main window: shell files and the window's own entries go through OLE's drag
// loop to the registered drop target, moved along by a scripted drop source.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/wide_names_win32.h"
#include "dnd/data_object.h"
#include "dnd/drop_target.h"
#include "dnd/entry_payload.h"
#include "project/project_tree.h"
#include "tests/support/drag_script_win32.h"
#include "tests/support/temp_dir.h"
#include "tests/support/watchers_win32.h"
#include "tests/support/window_fixture_win32.h"
#include "ui/compress_job.h"
#include "ui/pane_drag.h"

namespace {

using Effects = std::vector<DWORD>;
using Texts = std::vector<std::string>;
const DWORD kNone = DROPEFFECT_NONE, kCopy = DROPEFFECT_COPY, kMove = DROPEFFECT_MOVE;
const DWORD kShellEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
const POINT kNoWindow = {800, 600};  // the main window covers 0,0 to 512,384

// What other programs put into a drag: global memory holding `bytes`, owned by the object.
IDataObject* Offer(CLIPFORMAT format, const std::string& bytes)
{
    STGMEDIUM medium = {TYMED_HGLOBAL, {}, nullptr};
    medium.hGlobal = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    memcpy(GlobalLock(medium.hGlobal), bytes.data(), bytes.size());
    GlobalUnlock(medium.hGlobal);
    CDataObject* data = new CDataObject;
    FORMATETC formatEtc = MakeFormatEtc(format);
    data->SetData(&formatEtc, &medium, TRUE);
    return data;
}

// The shell's file list: a DROPFILES header, each wide path ended by a NUL, then one more NUL.
IDataObject* ShellFiles(const std::vector<std::wstring>& paths)
{
    DROPFILES header = {sizeof header, {}, FALSE, TRUE};
    std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
    for (const std::wstring& path : paths)
        bytes.append(reinterpret_cast<const char*>(path.c_str()), (path.size() + 1) * 2);
    return Offer(CF_HDROP, bytes.append(2, '\0'));
}

class PaneDragTest : public WindowFixture {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        g_internalClipboardFormat = RegisterClipboardFormatA("PACKWREN_INTERNAL_CLIPBOARDTYPE");
        WindowFixture::SetUp();
        ASSERT_NO_FATAL_FAILURE(CreateMain());
        // docs (guide.txt, api (ref.txt)), src (main.c), notes.txt, readme.txt
        for (const char* dir : {"docs", "docs\\api", "src"})
            disk.MakeDir(dir);
        for (const char* file :
             {"docs\\guide.txt", "docs\\api\\ref.txt", "src\\main.c", "notes.txt", "readme.txt"})
            disk.WriteFile(file, "x");
        std::string paths[] = {disk.Join("docs"), disk.Join("src"), disk.Join("notes.txt"),
                               disk.Join("readme.txt")};
        const char* texts[] = {paths[0].c_str(), paths[1].c_str(), paths[2].c_str(),
                               paths[3].c_str()};
        AddDroppedPaths(texts, 4, ProjectRoot());  // as a drop: the root is expanded
        ExpandFolderTreeItem(Node("docs"));
        FillFileList();
    }
    void TearDown() override
    {
        if (window != nullptr)  // destroyed without the close that would revoke it
            RevokeDropTarget(window);
        WindowFixture::TearDown();
        OleUninitialize();
    }

    // The folders above an entry, below the root: "docs/api"; "missing" when it is not there.
    std::string PathOf(const std::string& name)
    {
        ProjectNode* node = Node(name.c_str());
        if (node == nullptr)
            return "missing";
        std::string path;
        for (ProjectNode* up = node->parent; up != ProjectRoot(); up = up->parent)
            path = up->name + (path.empty() ? "" : "/" + path);
        return path;
    }
    // The tree's selection, the folder the list shows and the selected rows.
    std::string PaneState()
    {
        return std::string(TreeItemNode(TreeItem(nullptr, TVGN_CARET))->name) + ">" +
               CurrentFolder()->name + ":" + Column(0, LVNI_SELECTED);
    }
    // Drags the data (and releases it) along the points, dropping at the last one; returns the
    // feedback per point, and the pane state per point in `states` when asked.
    Effects Drag(IDataObject* data, std::vector<POINT> points, DWORD* effect, DWORD keys = 0,
                 Texts* states = nullptr, DWORD allowed = kShellEffects)
    {
        ScriptedDropSource source(points);
        if (states != nullptr) {
            states->assign(points.size(), "");
            source.SetProbe([this, states](int point) { (*states)[point] = PaneState(); });
        }
        *effect = 0xFF;
        source.Run(data, allowed, effect, keys);
        data->Release();
        return source.Feedback();
    }
    IDataObject* Files(std::vector<std::string> names)
    {
        std::vector<std::wstring> paths;
        for (const std::string& name : names)
            paths.push_back(Widen(outside.WriteFile(name, "dropped").c_str()));
        return ShellFiles(paths);
    }
    // An entry drag started by `owner`; its payload in pointer-aligned memory.
    static IDataObject* Entries(HWND owner, std::vector<ProjectNode*> nodes)
    {
        int32_t count = static_cast<int32_t>(nodes.size());
        std::vector<void*> record(EntryPayloadSize(count) / sizeof(void*));
        EntryPayload* payload = reinterpret_cast<EntryPayload*>(record.data());
        payload->window = owner;
        payload->count = count;
        std::copy(nodes.begin(), nodes.end(), EntryPayloadNodes(payload));
        return MakeEntryDataObject(payload);
    }

    TempDir disk, outside;
};

}  // namespace

// Onto tree items, beside their labels, folder rows, file rows and the list's background; held
// keys change nothing. Below the tree's rows no folder takes them. Hovering marks the folder
// under the cursor without opening it; Wine leaves the target and enters it again whenever the
// window under the cursor changes, so the tree's mark goes as the cursor passes into the list.
TEST_F(PaneDragTest, ShellFilesGoToTheFolderUnderTheCursorAndHoveringMarksWithoutOpening)
{
    SelectFolder(Node("docs"));
    struct { const char* file; POINT at; DWORD keys; const char* folder; } cases[] = {
        {"表.txt", TreePoint("src"), 0, "src"},  // a trail byte 0x5C must not split the path
        {"row-end.txt", {TreePoint("src").x + 60, TreePoint("src").y}, 0, "src"},
        {"folder-row.txt", RowPoint("api"), MK_CONTROL, "docs/api"},
        {"file-row.txt", RowPoint("guide.txt"), MK_CONTROL | MK_SHIFT, "docs"},
        {"background.txt", BelowTheRows(list), 0, "docs"},
    };
    DWORD effect;
    for (const auto& c : cases) {
        std::string second = std::string("2-") + c.file;
        EXPECT_EQ(Drag(Files({c.file, second}), {c.at}, &effect, c.keys), Effects{kCopy}) << c.file;
        EXPECT_EQ(effect, kCopy) << c.file;
        EXPECT_EQ(PathOf(c.file) + " " + PathOf(second), std::string(c.folder) + " " + c.folder);
    }
    EXPECT_EQ(Drag(Files({"nowhere.txt"}), {TreePoint("src"), BelowTheRows(tree)}, &effect),
              (Effects{kCopy, kNone}));
    Texts states;
    Effects shown = Drag(Files({"hover.txt"}), {TreePoint("src"), RowPoint("api"),
                                                RowPoint("guide.txt"), TreePoint("src"), kNoWindow},
                         &effect, 0, &states);
    EXPECT_EQ(shown, (Effects{kCopy, kCopy, kCopy, kCopy, kNone}));
    EXPECT_EQ(states,
              (Texts{"src>docs:", "docs>docs:api", "docs>docs:", "src>docs:", "docs>docs:"}));
    EXPECT_EQ(effect, kNone);
    EXPECT_EQ(PathOf("nowhere.txt") + " " + PathOf("hover.txt"), "missing missing");
}

// The shell gives wide paths. A name that code page 932 cannot spell would point at another file
// ("café.txt" read as "cafe.txt", which exists) or at none ("??.txt"): such files and folders stay
// out, and one message per drop names them, the dropped ones and those found inside folders.
TEST_F(PaneDragTest, NamesOutsideTheCodePageAreLeftOutAndReported)
{
    std::wstring at = Widen(outside.Path().c_str()) + L"\\";
    auto file = [&](const std::wstring& name) {
        CloseHandle(CreateFileW((at + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                nullptr));
        return at + name;
    };
    for (const wchar_t* dir : {L"box", L"box\\\uD55C", L"many"})
        CreateDirectoryW((at + dir).c_str(), nullptr);
    file(L"cafe.txt");
    // "¥" would become a backslash and split the name.
    for (const wchar_t* name : {L"box\\\u65E5\u672C.txt", L"box\\\u00A5.txt",
                                L"box\\\uD55C\\inner.txt", L"many\\keep.txt"})
        file(name);
    for (int i = 1; i <= 12; ++i)
        file(L"many\\\u00E9" + std::to_wstring(i) + L".txt");

    // The message's lines: its heading, then the paths (sorted here) and what is left unlisted.
    auto dropReported = [&](std::vector<std::wstring> paths) {
        ModalWatcher box("パックレン：ファイルの追加", IDOK, 10000);
        DWORD effect;
        EXPECT_EQ(Drag(ShellFiles(paths), {TreePoint("src")}, &effect), Effects{kCopy});
        Texts lines;
        for (const std::string& text : box.Wait().texts) {
            bool multiline = text.find("\r\n") != std::string::npos;
            for (size_t start = 0, end; multiline && start < text.size(); start = end + 2) {
                end = std::min(text.find("\r\n", start), text.size());
                if (end > start)
                    lines.push_back(text.substr(start, end - start));
            }
        }
        if (!lines.empty())
            std::sort(lines.begin() + 1, lines.end() - (lines.back().rfind("ほか", 0) == 0));
        return lines;
    };
    std::string o = outside.Path() + "\\";
    EXPECT_EQ(dropReported({file(L"caf\u00e9.txt"), file(L"\U0001F600.txt"), file(L"plain.txt"),
                            at + L"box"}),
              (Texts{"名前にシフトJIS（コードページ932）で表せない文字があるため、"
                     "次の4件は追加しませんでした（表せない文字は「?」で示しています）。",
                     o + "??.txt", o + "box\\?", o + "box\\?.txt", o + "caf?.txt"}));
    EXPECT_EQ(PathOf("plain.txt") + " " + PathOf("日本.txt"), "src src/box");
    for (const char* name : {"cafe.txt", "??.txt", "inner.txt"})
        EXPECT_EQ(PathOf(name), "missing") << name;
    // Many are counted, not listed.
    Texts many = dropReported({at + L"many"});
    ASSERT_EQ(many.size(), 12u);
    EXPECT_NE(many[0].find("次の12件"), std::string::npos) << many[0];
    EXPECT_EQ(many[10].rfind(o + "many\\?", 0), 0u) << many[10];
    EXPECT_EQ(many[11], "ほか2件");
    EXPECT_EQ(PathOf("keep.txt"), "src/many");
}

// Entries move: a folder with its subtree but never onto itself, the folder holding it or its
// subfolder; list rows onto a folder row but not onto the background of the folder they are in.
// Drags start in either pane and drop where the cursor is: the program's own drop source drops
// at its first check, no button being down. Entries of another window and text are refused.
TEST_F(PaneDragTest, EntriesMoveWithTheirSubtreesButNeverIntoThemselves)
{
    Texts states;
    DWORD effect;
    Effects shown = Drag(Entries(window, {Node("notes.txt"), Node("readme.txt")}),
                         {RowPoint("docs"), BelowTheRows(list), RowPoint("src")}, &effect, 0,
                         &states, kMove);
    EXPECT_EQ(shown, (Effects{kMove, kNone, kMove}));
    const std::string root = "新規書庫>新規書庫:";
    EXPECT_EQ(states, (Texts{root + "docs", root, root + "src"}));
    EXPECT_EQ(PathOf("notes.txt") + " " + PathOf("readme.txt"), "src src");
    for (IDataObject* data : {Entries(list, {Node("src")}), Offer(CF_TEXT, "readme.txt")})
        EXPECT_EQ(Drag(data, {TreePoint("docs"), RowPoint("docs")}, &effect), Effects(2, kNone));
    EXPECT_EQ(PathOf("src"), "");

    // The folder dragged is the one the list shows, whose item the move deletes.
    SelectFolder(Node("docs"));
    shown = Drag(Entries(window, {Node("docs")}),
                 {TreePoint("docs"), TreePoint(nullptr), TreePoint("api"), TreePoint("src")},
                 &effect, MK_CONTROL, nullptr, kMove);
    EXPECT_EQ(shown, (Effects{kNone, kNone, kNone, kMove}));
    EXPECT_EQ(PathOf("guide.txt") + " " + PathOf("ref.txt"), "src/docs src/docs/api");
    // No row may be left for a freed entry: the rows are the entries of the folder now shown.
    EXPECT_EQ(Column(), "docs main.c notes.txt readme.txt");
    EXPECT_EQ(PaneState(), "src>src:");

    SelectRows({"notes.txt", "readme.txt"});
    POINT at = RowPoint("docs");
    SetCursorPos(at.x, at.y);
    NMLISTVIEW rows = {};
    rows.hdr = {list, static_cast<UINT_PTR>(kFileListId), static_cast<UINT>(LVN_BEGINDRAG)};
    rows.iItem = Row("notes.txt");
    SendMessageA(GetParent(list), WM_NOTIFY, kFileListId, reinterpret_cast<LPARAM>(&rows));
    EXPECT_EQ(PathOf("notes.txt") + " " + PathOf("readme.txt"), "src/docs src/docs");
    at = TreePoint(nullptr);
    SetCursorPos(at.x, at.y);
    NMTREEVIEWA folder = {};
    folder.hdr = {tree, static_cast<UINT_PTR>(kFolderTreeId), static_cast<UINT>(TVN_BEGINDRAGA)};
    folder.itemNew.hItem = static_cast<HTREEITEM>(Node("docs")->treeItem);
    SendMessageA(GetParent(tree), WM_NOTIFY, kFolderTreeId, reinterpret_cast<LPARAM>(&folder));
    EXPECT_EQ(PathOf("docs") + " " + PathOf("notes.txt"), " docs");
}

namespace {
// Runs a call sent to it on the thread that made the window, also inside that thread's modal loops.
LRESULT CALLBACK RunSentCall(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_APP)
        return DefWindowProcA(window, message, wParam, lParam);
    (*reinterpret_cast<std::function<void()>*>(lParam))();
    return 1;
}
}  // namespace

// The job's worker reads the tree while its dialog is open, and Wine hands drops to the disabled
// main window all the same.
TEST_F(PaneDragTest, DropsAreRefusedWhileABuildRuns)
{
    HWND caller = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                  nullptr);
    SetWindowLongPtrA(caller, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RunSentCall));
    POINT onSrc = TreePoint("src");
    bool running = false;
    Effects shown;
    DWORD dragged = 0xFF, entered = 0xFF, dropped = 0xFF;
    std::function<void()> duringTheJob = [&] {
        running = CompressJobRunning();
        shown = Drag(Files({"late.txt"}), {onSrc}, &dragged);
        // Should a drop arrive all the same, it changes nothing either.
        IDataObject* data = Files({"late.txt"});
        CDropTarget::Instance().DragEnter(data, 0, POINTL{onSrc.x, onSrc.y}, &entered);
        CDropTarget::Instance().Drop(data, 0, POINTL{onSrc.x, onSrc.y}, &dropped);
        data->Release();
    };
    ModalWatcher job(kJobTitle, IDOK, 20000, [&](HWND dialog) {
        // The dialog opens over the panes; out of the way.
        SetWindowPos(dialog, nullptr, 600, 450, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        DWORD_PTR done = 0;
        SendMessageTimeoutA(caller, WM_APP, 0, reinterpret_cast<LPARAM>(&duringTheJob), SMTO_NORMAL,
                            30000, &done);
        WaitForJobEnd(dialog);
    });
    StartCompressJob(window, outside.Join("out.zip").c_str(), false);
    ASSERT_TRUE(job.Wait().found);
    DestroyWindow(caller);
    EXPECT_TRUE(running);
    EXPECT_EQ(shown, Effects{kNone});
    EXPECT_EQ(std::to_string(dragged) + std::to_string(entered) + std::to_string(dropped), "000");
    EXPECT_EQ(PathOf("late.txt"), "missing");
    EXPECT_FALSE(CompressJobRunning());
    DWORD effect;
    EXPECT_EQ(Drag(Files({"late.txt"}), {onSrc}, &effect), Effects{kCopy});
    EXPECT_EQ(PathOf("late.txt"), "src");
}
