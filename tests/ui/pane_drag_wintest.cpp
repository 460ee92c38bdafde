// Drags over the real main window through OLE's drag loop, moved along by a scripted drop source.
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
#include "tests/support/temp_dir.h"
#include "tests/support/watchers_win32.h"
#include "tests/support/window_fixture_win32.h"
#include "ui/compress_job.h"
#include "ui/pane_drag.h"

namespace {

using Effects = std::vector<DWORD>;
using Texts = std::vector<std::string>;
const DWORD kNone = DROPEFFECT_NONE, kCopy = DROPEFFECT_COPY, kMove = DROPEFFECT_MOVE;
const POINT kNoWindow = {800, 600};  // the main window covers 0,0 to 512,384

// The shell's file list in global memory: a DROPFILES header, each wide path ended by a NUL,
// then one more NUL.
IDataObject* ShellFiles(const std::vector<std::wstring>& paths)
{
    DROPFILES header = {sizeof header, {}, FALSE, TRUE};
    std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
    for (const std::wstring& path : paths)
        bytes.append(reinterpret_cast<const char*>(path.c_str()), (path.size() + 1) * 2);
    bytes.append(2, '\0');
    STGMEDIUM medium = {TYMED_HGLOBAL, {}, nullptr};
    medium.hGlobal = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    memcpy(GlobalLock(medium.hGlobal), bytes.data(), bytes.size());
    GlobalUnlock(medium.hGlobal);
    CDataObject* data = new CDataObject;
    FORMATETC formatEtc = MakeFormatEtc(CF_HDROP);
    data->SetData(&formatEtc, &medium, TRUE);
    return data;
}

// The user's hand, headless: moves the cursor along the points, two of OLE's calls per point (a
// move is seen from the next call on), then drops; records the feedback and the panes per point.
class ScriptedDropSource final : public IDropSource {
public:
    ScriptedDropSource(std::vector<POINT> points, std::function<std::string()> state)
        : feedback(points.size(), ~0u), states(points.size()), points_(std::move(points)),
          state_(std::move(state)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        *object = iid == IID_IDropSource || iid == IID_IUnknown ? this : nullptr;
        return *object != nullptr ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }  // lives on the caller's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    // Call c happens over point c / 2; the last call of the last point drops there.
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL, DWORD) override
    {
        int call = calls_++, last = static_cast<int>(points_.size()) - 1;
        observed_ = std::min(call / 2, last);
        if (call > last * 2)
            return DRAGDROP_S_DROP;
        if (call % 2 == 1)
            SetCursorPos(points_[observed_ + 1].x, points_[observed_ + 1].y);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override
    {
        feedback[observed_] = effect;
        states[observed_] = state_();
        return DRAGDROP_S_USEDEFAULTCURSORS;
    }

    Effects feedback;
    Texts states;

private:
    std::vector<POINT> points_;
    std::function<std::string()> state_;
    int calls_ = 0, observed_ = 0;
};

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
        for (const char* top : {"docs", "src", "notes.txt", "readme.txt"})
            AddDiskPath(disk.Join(top).c_str(), strchr(top, '.') == nullptr, ProjectRoot());
        ExpandFolderTreeItem(ProjectRoot());
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
        return std::string(TreeItemNode(TreeView_GetSelection(tree))->name) + ">" +
               CurrentFolder()->name + ":" + Column(0, LVNI_SELECTED);
    }
    // Drags (and releases) the data with `keys` (MK_*) held where OLE reads them, every effect
    // allowed; the feedback and the pane states per point, the final effect in `dropped`.
    Effects Drag(IDataObject* data, std::vector<POINT> points, DWORD keys = 0)
    {
        ScriptedDropSource source(points, [this] { return PaneState(); });
        BYTE before[256], held[256];
        GetKeyboardState(before);
        memcpy(held, before, sizeof held);
        held[VK_SHIFT] |= (keys & MK_SHIFT) ? 0x80 : 0;
        held[VK_CONTROL] |= (keys & MK_CONTROL) ? 0x80 : 0;
        SetKeyboardState(held);
        SetCursorPos(points[0].x, points[0].y);
        dropped = 0xFF;
        DoDragDrop(data, &source, kCopy | kMove | DROPEFFECT_LINK, &dropped);
        SetKeyboardState(before);
        data->Release();
        states = source.states;
        return source.feedback;
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
    Texts states;
    DWORD dropped = 0;
};

}  // namespace

// Held keys change nothing; hovering marks the folder under the cursor without opening it (Wine
// leaves and enters the target again as the window under the cursor changes). The job's worker
// reads the tree and Wine hands drops to the disabled main window all the same: refused then.
TEST_F(PaneDragTest, ShellFilesGoToTheFolderUnderTheCursorButNamesOutsideTheCodePageStayOut)
{
    POINTL onSrc = {TreePoint("src").x, TreePoint("src").y};
    DWORD effects[3] = {9, 9, 9};
    bool running = false;
    ModalWatcher job(kJobTitle, IDOK, 20000, [&](HWND dialog) {
        IDataObject* data = Files({"表.txt"});
        CDropTarget::Instance().DragEnter(data, 0, onSrc, &effects[0]);
        CDropTarget::Instance().DragOver(0, onSrc, &effects[1]);
        CDropTarget::Instance().Drop(data, 0, onSrc, &effects[2]);
        data->Release();
        running = CompressJobRunning();
        WaitForJobEnd(dialog);
    });
    StartCompressJob(window, outside.Join("out.zip").c_str(), false);
    ASSERT_TRUE(job.Wait().found);
    EXPECT_EQ(std::to_string(effects[0] * 100 + effects[1] * 10 + effects[2]) +
                  (running ? " running" : ""),
              "0 running");
    EXPECT_EQ(PathOf("表.txt"), "missing");
    SelectFolder(Node("docs"));
    struct { const char* file; POINT at; DWORD keys; const char* folder; } cases[] = {
        {"表.txt", TreePoint("src"), 0, "src"},  // a trail byte 0x5C must not split the path
        {"row-end.txt", {TreePoint("src").x + 60, TreePoint("src").y}, 0, "src"},
        {"folder-row.txt", RowPoint("api"), MK_CONTROL, "docs/api"},
        {"file-row.txt", RowPoint("guide.txt"), MK_CONTROL | MK_SHIFT, "docs"},
        {"background.txt", BelowTheRows(list), 0, "docs"},
    };
    for (const auto& c : cases) {
        std::string second = std::string("2-") + c.file;
        EXPECT_EQ(Drag(Files({c.file, second}), {c.at}, c.keys), Effects{kCopy}) << c.file;
        EXPECT_EQ(dropped, kCopy) << c.file;
        EXPECT_EQ(PathOf(c.file) + " " + PathOf(second), std::string(c.folder) + " " + c.folder);
    }
    EXPECT_EQ(Drag(Files({"nowhere.txt"}), {TreePoint("src"), BelowTheRows(tree)}),
              (Effects{kCopy, kNone}));
    EXPECT_EQ(Drag(Files({"hover.txt"}), {TreePoint("src"), RowPoint("api"), RowPoint("guide.txt"),
                                          TreePoint("src"), kNoWindow}),
              (Effects{kCopy, kCopy, kCopy, kCopy, kNone}));
    EXPECT_EQ(states,
              (Texts{"src>docs:", "docs>docs:api", "docs>docs:", "src>docs:", "docs>docs:"}));
    EXPECT_EQ(dropped, kNone);
    EXPECT_EQ(PathOf("nowhere.txt") + " " + PathOf("hover.txt"), "missing missing");

    // A name code page 932 cannot spell would point at another file ("café.txt" read as
    // "cafe.txt") or at none: it stays out, and one message per drop names them, ten listed.
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

    ModalWatcher box("パックレン：ファイルの追加", IDOK, 10000);
    EXPECT_EQ(Drag(ShellFiles({file(L"caf\u00e9.txt"), file(L"\U0001F600.txt"), file(L"plain.txt"),
                               at + L"box", at + L"many"}),
                   {TreePoint("src")}),
              Effects{kCopy});
    // The message's lines: ten of the names, sorted, then how many more.
    Texts lines;
    for (const std::string& text : box.Wait().texts) {
        bool multiline = text.find("\r\n") != std::string::npos;
        for (size_t start = 0, end; multiline && start < text.size(); start = end + 2) {
            end = std::min(text.find("\r\n", start), text.size());
            if (end > start)
                lines.push_back(text.substr(start, end - start));
        }
    }
    ASSERT_EQ(lines.size(), 12u);
    std::sort(lines.begin() + 1, lines.end() - 1);
    std::string o = outside.Path() + "\\";
    EXPECT_EQ(Texts(lines.begin(), lines.begin() + 5),
              (Texts{"名前にシフトJIS（コードページ932）で表せない文字があるため、"
                     "次の16件は追加しませんでした（表せない文字は「?」で示しています）。",
                     o + "??.txt", o + "box\\?", o + "box\\?.txt", o + "caf?.txt"}));
    for (size_t i = 5; i < 11; ++i)
        EXPECT_EQ(lines[i].rfind(o + "many\\?", 0), 0u) << lines[i];
    EXPECT_EQ(lines[11], "ほか6件");
    EXPECT_EQ(PathOf("plain.txt") + " " + PathOf("日本.txt") + " " + PathOf("keep.txt"),
              "src src/box src/many");
    for (const char* name : {"cafe.txt", "??.txt", "inner.txt"})
        EXPECT_EQ(PathOf(name), "missing") << name;
}

// Entries move with their subtrees, never into themselves or where they are; drags start in
// either pane (the program's own source drops at once, no button being down).
TEST_F(PaneDragTest, EntriesMoveWithTheirSubtreesButNeverIntoThemselves)
{
    EXPECT_EQ(Drag(Entries(window, {Node("notes.txt"), Node("readme.txt")}),
                   {RowPoint("docs"), BelowTheRows(list), RowPoint("src")}),
              (Effects{kMove, kNone, kMove}));
    const std::string root = "新規書庫>新規書庫:";
    EXPECT_EQ(states, (Texts{root + "docs", root, root + "src"}));
    EXPECT_EQ(PathOf("notes.txt") + " " + PathOf("readme.txt"), "src src");
    IDataObject* othersOrNoFormat[] = {Entries(list, {Node("src")}), new CDataObject};
    for (IDataObject* data : othersOrNoFormat)
        EXPECT_EQ(Drag(data, {TreePoint("docs"), RowPoint("docs")}), Effects(2, kNone));
    EXPECT_EQ(PathOf("src"), "");

    // The folder dragged is the one the list shows, whose item the move deletes.
    SelectFolder(Node("docs"));
    EXPECT_EQ(Drag(Entries(window, {Node("docs")}),
                   {TreePoint("docs"), TreePoint(nullptr), TreePoint("api"), TreePoint("src")},
                   MK_CONTROL),
              (Effects{kNone, kNone, kNone, kMove}));
    EXPECT_EQ(PathOf("guide.txt") + " " + PathOf("ref.txt"), "src/docs src/docs/api");
    // No row may be left for a freed entry.
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
