#include "project/project_file.h"

#include <cstring>

#include "core/app_state.h"
#include "core/format_text.h"
#include "core/report.h"
#include "core/settings_document.h"
#include "core/strings.h"
#include "project/project_node.h"
#include "project/project_state.h"
#include "project/project_tree.h"
#include "project/project_view.h"
#include "project/properties.h"

const char kProjectIdentity[] = "packwrenプロジェクト";
char CurrentProjectPath[260];

namespace {

const char kTitle[] = "パックレン：プロジェクト";
const char kFileList[] = "FILELIST";
const char kFolderEndLine[] = "\t\t\t<";
constexpr int kLineSize = 1024;
constexpr int kLastPosition = 2147483647;

bool HasControlByte(const char* text)
{
    for (; *text != '\0'; ++text) {
        if (static_cast<unsigned char>(*text) < 0x20)
            return true;
    }
    return false;
}

// Forms an entry's line. False when the line would not read back as this entry: a TAB, CR, LF
// or other control byte in a field, a file name the reader takes for a folder marker, or a line
// longer than 1023 bytes. Entries made on Windows never fail; other sources may.
bool FormatEntryLine(const ProjectNode* node, char (&line)[kLineSize])
{
    const char* password = node->password != nullptr ? node->password : "";
    const char* flag = node->password != nullptr ? "1" : "0";
    if (HasControlByte(password) || HasControlByte(node->name))
        return false;
    if (node->IsFolder())
        return FormatText(line, sizeof line, "%s\t%s\t%d\t>\t%s", flag, password, node->level,
                          node->name) >= 0;
    if (node->name[0] == '<' || node->name[0] == '>' || HasControlByte(node->sourcePath))
        return false;
    return FormatText(line, sizeof line, "%s\t%s\t%d\t%s\t%s", flag, password, node->level,
                      node->name, node->sourcePath) >= 0;
}

// Calls `entry` for every entry of the list starting at `first` and below it, in pre-order, and
// `listEnd` after the last entry of every list (an empty folder's list included). Stops at the
// first false.
template <class EntryVisitor, class EndVisitor>
bool WalkListLines(const ProjectNode* first, EntryVisitor entry, EndVisitor listEnd)
{
    if (first == nullptr)
        return listEnd();
    const ProjectNode* top = first->parent;
    const ProjectNode* node = first;
    for (;;) {
        if (!entry(node))
            return false;
        if (node->firstChild != nullptr) {
            node = node->firstChild;
            continue;
        }
        if (node->IsFolder() && !listEnd())
            return false;
        while (node->nextSibling == nullptr) {
            if (!listEnd())
                return false;
            node = node->parent;
            if (node == top)
                return true;
        }
        node = node->nextSibling;
    }
}

// One line of FILELIST, split into its five fields (missing ones empty).
struct FileListLine {
    char fields[5][260];

    explicit FileListLine(const char* text)
    {
        const char* starts[5];
        int lengths[5];
        int count = SplitTabFields(text, starts, lengths, 5);
        for (int i = 0; i < 5; ++i)
            CopyField(i < count ? starts[i] : nullptr, fields[i], sizeof fields[i],
                      i < count ? lengths[i] : -1);
    }
};

}  // namespace

bool SaveFileList(SettingsDocument* document, const ProjectNode* firstOfList)
{
    char line[kLineSize];
    return WalkListLines(
        firstOfList,
        [&](const ProjectNode* node) {
            FormatEntryLine(node, line);
            return document->InsertLine(kFileList, kLastPosition, line);
        },
        [&] { return document->InsertLine(kFileList, kLastPosition, kFolderEndLine); });
}

bool StoreProject(SettingsDocument* document)
{
    ProjectNode* root = ProjectRoot();
    char line[kLineSize];
    const ProjectNode* refused = nullptr;
    WalkListLines(
        root->firstChild,
        [&](const ProjectNode* node) {
            if (FormatEntryLine(node, line))
                return true;
            refused = node;
            return false;
        },
        [] { return true; });
    if (refused != nullptr) {
        char text[512];
        FormatText(text, sizeof text, "プロジェクトファイルに書けない項目があります。\r\n(%s)",
                   refused->name);
        ReportError(text, kTitle);
        return false;
    }
    // A hand-edited file may carry the list twice; a stale one left behind would be read back.
    while (document->DeleteSection(kFileList)) {
    }
    if (!document->SetValue("PROJECT", "PROJECTNAME", root->name) ||
        !SaveFileList(document, root->firstChild)) {
        ReportError("メモリが不足しているため、プロジェクトを保存できません。", kTitle);
        return false;
    }
    return true;
}

void LoadProjectTree(SettingsDocument* document)
{
    ClearProject();
    ResetProjectRoot();
    ProjectNode* root = ProjectRoot();
    if (const char* name = document->GetValue("PROJECT", "PROJECTNAME"))
        FormatText(root->name, sizeof root->name, "%s", name);
    // Before the tree resets: selecting the root shows its settings, which are the new project's.
    ApplyProjectProperties();
    ProjectView& view = ActiveView();
    view.ResetTree();

    ProjectNode* open = root;
    int skippedLevels = 0;  // folders that could not be made: their lines are passed over
    for (SettingsEntry* entry = document->FirstEntry(kFileList); entry != nullptr;
         entry = entry->next) {
        FileListLine line(entry->value);
        const char* password = line.fields[0][0] == '1' ? line.fields[1] : nullptr;
        unsigned char levelByte = static_cast<unsigned char>(line.fields[2][0]);
        int level = levelByte > 0x20 && levelByte < 0x80 ? LeadingDecimal(line.fields[2]) : -1;
        const char* marker = line.fields[3];
        if (marker[0] == '<') {
            if (skippedLevels > 0) {
                --skippedLevels;
                continue;
            }
            if (open == root)
                break;  // the end of the top level ends the listing
            open = open->parent;
        } else if (skippedLevels > 0) {
            if (marker[0] == '>')
                ++skippedLevels;
        } else if (marker[0] == '>') {
            // A folder line meeting a file entry of its name keeps its entries under a free
            // "name(n)" instead of putting them below that file entry.
            bool created = false;
            ProjectNode* folder = InsertEntry(open, nullptr, true, password, level, line.fields[4],
                                              nullptr, true, &created);
            if (folder == nullptr) {
                ++skippedLevels;
                continue;
            }
            if (created) {
                view.AddFolderItem(folder);
                if (open == CurrentFolder())
                    view.AppendRow(folder);
            }
            open = folder;
        } else {
            ProjectNode* file =
                InsertChild(open, line.fields[4], false, password, level, line.fields[3], nullptr);
            if (file != nullptr && open == CurrentFolder())
                view.AppendRow(file);
        }
    }
    view.ExpandFolderItem(root);
}

int OpenProject(const char* path)
{
    if (ProjectDocument == nullptr)
        ProjectDocument = new SettingsDocument;
    FormatText(CurrentProjectPath, sizeof CurrentProjectPath, "%s", path);
    int result = 0;
    if (path[0] == '\0') {
        ProjectDocument->Clear();
    } else if (!ProjectDocument->Load(path, false)) {
        char text[128];
        FormatText(text, sizeof text, "プロジェクトの読込に失敗しました。\r\n(line:%d)",
                   ProjectDocument->LineCount());
        ReportError(text, kTitle);
        CurrentProjectPath[0] = '\0';
        result = 1;
    } else if (ProjectDocument->CheckIdentity(kProjectIdentity) == 0) {
        ReportError("プロジェクトの読込に失敗しました。", kTitle);
        CurrentProjectPath[0] = '\0';
        result = 1;
    }
    ProjectDocument->WriteIdentity(kProjectIdentity, kAppVersion);
    LoadProjectTree(ProjectDocument);
    return result;
}
