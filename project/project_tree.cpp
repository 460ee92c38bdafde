#include "project/project_tree.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/file_io.h"
#include "core/format_text.h"
#include "core/paths.h"
#include "project/child_links.h"
#include "project/entry_names.h"
#include "project/numbered_names.h"
#include "project/project_node.h"
#include "project/project_state.h"
#include "project/project_view.h"
#include "project/properties.h"

namespace {

// Frees a node that was never linked (a merged or duplicate newcomer) or has been unlinked.
void FreeNode(ProjectNode* node)
{
    if (node->ownsPassword)
        free(node->password);
    // Nothing may keep pointing at freed memory: the current folder falls back to the nearest
    // folder that stays (the tree view, when there is one, has usually moved it already).
    if (CurrentFolder() == node)
        SetCurrentFolder(node->parent);
    if (StatusNode() == node)
        SetStatusNode(nullptr);
    if (node->IsFolder())
        ForgetFolder(node);
    delete node;
}

// Frees everything below `top` and then `top` itself, innermost first, telling the view about
// each folder when `tellView` is set. `top` must already be out of its parent's list.
void FreeSubtree(ProjectNode* top, bool tellView)
{
    ProjectNode* node = top;
    for (;;) {
        while (node->firstChild != nullptr)
            node = node->firstChild;
        ProjectNode* parent = node->parent;
        if (node != top)
            DetachFirstChild(parent);  // the parent's index goes with the parent
        if (tellView && node->IsFolder())
            ActiveView().DeleteFolderItem(node);
        bool done = node == top;
        FreeNode(node);
        if (done)
            return;
        node = parent;
    }
}

// The name of a directory whose path ends in a separator, such as a drive root "C:\", where the
// last component is empty: the component before the separators, or else the drive letter. False
// when nothing is left to name it by.
bool NameOfSeparatorEndedPath(const char* path, char* name, size_t size)
{
    char trimmed[kPathSize];
    FormatText(trimmed, sizeof trimmed, "%s", path);
    for (size_t length = strlen(trimmed); length > 0 && EndsWithSeparator(trimmed);) {
        if (length == 2 && trimmed[1] == ':') {
            FormatText(name, size, "%c", trimmed[0]);
            return true;
        }
        trimmed[--length] = '\0';
    }
    if (trimmed[PathComponentOffset(trimmed)] == '\0')
        return false;
    char base[kNamePartSize];
    char extension[kNamePartSize];
    SplitEntryName(trimmed, base, extension);
    FormatText(name, size, "%s%s", base, extension);
    return true;
}

struct ListedEntry {
    std::string name;
    bool isDirectory;
};

// The entries of a directory that the program can name; the paths of the others, as they can be
// shown, go to `skipped` when it is given.
std::vector<ListedEntry> ListEntries(const std::string& directory, std::vector<std::string>* skipped)
{
    std::vector<ListedEntry> entries;
    ListDirectory(
        directory.c_str(),
        [&](const char* name, bool isDirectory) { entries.push_back({name, isDirectory}); },
        [&](const char* shownName) {
            if (skipped == nullptr)
                return;
            std::string shown(directory.size() + strlen(shownName) + 2, '\0');
            JoinPath(&shown[0], shown.size(), directory.c_str(), shownName);
            skipped->push_back(shown.c_str());
        });
    return entries;
}

// One directory of AddDiskPath: its folder, or none when it cannot hold entries.
ProjectNode* AddDiskFolder(const char* path, ProjectNode* target, const char* name)
{
    bool created = false;
    ProjectNode* folder =
        InsertEntry(target, path, true, nullptr, -1, name, nullptr, false, &created);
    if (folder == nullptr || !folder->IsFolder())
        return nullptr;
    if (created) {
        ActiveView().AddFolderItem(folder);
        if (target == CurrentFolder())
            ActiveView().AppendRow(folder);
    }
    return folder;
}

ProjectNode* AddDiskFile(const char* path, ProjectNode* target)
{
    ProjectNode* file = InsertChild(target, path, false, nullptr, -1, nullptr, nullptr);
    if (file != nullptr && file->parent == CurrentFolder())
        ActiveView().AppendRow(file);
    return file;
}

// One node of a move (see CopyEntryInto); the result is the folder the node's children go into
// when it is a folder.
ProjectNode* CopyOneEntry(ProjectNode* entry, ProjectNode* target)
{
    ProjectNode* copy = new (std::nothrow) ProjectNode(*entry);
    if (copy == nullptr)
        return nullptr;
    entry->ownsPassword = 0;  // the text now belongs to the copy
    bool isFolder = entry->IsFolder();
    ProjectNode* result =
        InsertEntry(target, nullptr, isFolder, nullptr, entry->level, nullptr, copy, true, nullptr);
    if (result == nullptr)
        return nullptr;
    if (isFolder) {
        if (entry == CurrentFolder())
            SetCurrentFolder(result);
        if (result == copy) {
            ActiveView().AddFolderItem(copy);
            if (target == CurrentFolder())
                ActiveView().AppendRow(copy);
        }
    } else if (result == copy && target == CurrentFolder()) {
        ActiveView().AppendRow(copy);
    }
    return result;
}

}  // namespace

ProjectNode* InsertEntry(ProjectNode* folder, const char* sourcePath, bool isFolder,
                         const char* password, int level, const char* name, ProjectNode* movedNode,
                         bool keepFolder, bool* created)
{
    if (created != nullptr)
        *created = false;
    if (folder == nullptr || !folder->IsFolder()) {
        if (movedNode != nullptr)
            FreeNode(movedNode);
        return nullptr;
    }
    char base[kNamePartSize];
    char extension[kNamePartSize];
    ProjectNode* node = movedNode;
    if (node != nullptr) {
        SplitEntryName(node->name, base, extension);
    } else {
        if (sourcePath == nullptr)
            sourcePath = "";
        if (password != nullptr && !IsStorablePassword(password))
            return nullptr;
        node = new (std::nothrow) ProjectNode;
        if (node == nullptr)
            return nullptr;
        if (!isFolder &&
            FormatText(node->sourcePath, sizeof node->sourcePath, "%s", sourcePath) < 0) {
            delete node;
            return nullptr;
        }
        if (name != nullptr) {
            FormatText(base, sizeof base, "%s", name);
            extension[0] = '\0';
            FormatText(node->name, sizeof node->name, "%s", name);
        } else {
            SplitEntryName(sourcePath, base, extension);
            FormatText(node->name, sizeof node->name, "%s%s", base, extension);
        }
        if (password != nullptr) {
            node->password = strdup(password);
            if (node->password == nullptr) {
                delete node;
                return nullptr;
            }
            node->ownsPassword = 1;
        }
        node->level = level;
    }
    node->parent = folder;
    node->firstChild = node->prevSibling = node->nextSibling = nullptr;
    node->treeItem = nullptr;
    node->flags = isFolder ? NODE_FOLDER : 0;

    // Names within a folder are unique, so the name meets at most one entry.
    if (ProjectNode* clash = FindChildNamed(folder, node->name)) {
        if (isFolder && (clash->IsFolder() || !keepFolder)) {
            FreeNode(node);
            return clash;
        }
        // A folder that keeps its own place takes a free name, whatever it meets on the way.
        const char* source = isFolder ? nullptr : node->sourcePath;
        if ((!isFolder && NamesEqual(source, clash->sourcePath)) ||
            FindNumberedName(folder, base, extension, source, node, node->name) !=
                NumberedName::kFree) {
            FreeNode(node);
            return nullptr;
        }
    }
    LinkChild(folder, node);
    if (created != nullptr)
        *created = true;
    return node;
}

ProjectNode* InsertChild(ProjectNode* folder, const char* sourcePath, bool isFolder,
                         const char* password, int level, const char* name, ProjectNode* movedNode)
{
    return InsertEntry(folder, sourcePath, isFolder, password, level, name, movedNode, false,
                       nullptr);
}

ProjectNode* AddDiskPath(const char* path, bool isDirectory, ProjectNode* targetFolder,
                         std::vector<std::string>* skipped)
{
    ProjectNode* target = targetFolder != nullptr ? targetFolder : CurrentFolder();
    if (!isDirectory)
        return AddDiskFile(path, target);
    // Only a path without a last component needs a name made for it; every other directory is
    // named by InsertChild from its path.
    char madeName[kPathSize];
    const char* name = nullptr;
    if (EndsWithSeparator(path)) {
        if (!NameOfSeparatorEndedPath(path, madeName, sizeof madeName))
            return nullptr;
        name = madeName;
    }
    ProjectNode* top = AddDiskFolder(path, target, name);
    if (top == nullptr)
        return nullptr;

    // Depth first in listing order, as a recursion would go, with the pending entries of every
    // open directory on a heap stack instead of the call stack.
    struct Frame {
        ProjectNode* folder;
        std::string directory;
        std::vector<ListedEntry> entries;
        size_t next;
    };
    std::vector<Frame> stack;
    stack.push_back({top, path, ListEntries(path, skipped), 0});
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.entries.size()) {
            stack.pop_back();
            continue;
        }
        const ListedEntry& entry = frame.entries[frame.next++];
        char child[kPathSize];
        if (!JoinPath(child, sizeof child, frame.directory.c_str(), entry.name.c_str()))
            continue;  // a path that does not fit names no file
        if (!entry.isDirectory) {
            AddDiskFile(child, frame.folder);
            continue;
        }
        ProjectNode* folder = AddDiskFolder(child, frame.folder, nullptr);
        if (folder != nullptr)
            stack.push_back({folder, child, ListEntries(child, skipped), 0});  // `frame` is stale from here
    }
    return top;
}

void AddDroppedPaths(const char* const* paths, int count, ProjectNode* targetFolder,
                     std::vector<std::string>* skipped)
{
    ProjectNode* target = targetFolder != nullptr ? targetFolder : CurrentFolder();
    ActiveView().LockUpdates(true);
    for (int i = 0; i < count; ++i)
        AddDiskPath(paths[i], IsDirectoryPath(paths[i]), target, skipped);
    ActiveView().ExpandFolderItem(target);
    ActiveView().LockUpdates(false);
}

ProjectNode* CreateNewFolder()
{
    ProjectNode* current = CurrentFolder();
    char name[64];
    if (current == nullptr || !MakeNewFolderName(current, name, sizeof name))
        return nullptr;
    ProjectNode* folder = InsertChild(current, nullptr, true, nullptr, -1, name, nullptr);
    if (folder == nullptr)
        return nullptr;
    ProjectView& view = ActiveView();
    view.AddFolderItem(folder);
    view.AppendRow(folder);
    view.SelectOnlyRow(folder);
    view.ExpandFolderItem(current);
    if (view.ListHasFocus())
        view.EditRowLabel(folder);
    return folder;
}

void DeleteEntry(ProjectNode* node)
{
    if (node == nullptr || node == ProjectRoot())
        return;
    // Out of the tree first, so that whatever the view shows while the items go is whole.
    UnlinkChild(node);
    FreeSubtree(node, true);
}

void ClearProject()
{
    ProjectNode* root = ProjectRoot();
    ForgetFolder(root);  // emptied at once, not entry by entry
    while (ProjectNode* child = root->firstChild) {
        DetachFirstChild(root);
        FreeSubtree(child, false);
    }
    SetCurrentFolder(root);
}

void ResetProjectRoot()
{
    ProjectNode* root = ProjectRoot();
    root->parent = root->firstChild = root->prevSibling = root->nextSibling = nullptr;
    root->flags = NODE_FOLDER;
    root->treeItem = nullptr;
    root->level = -1;
    FormatText(root->name, sizeof root->name, "%s", kDefaultProjectName);
    SetCurrentFolder(root);
}

void ResetProject()
{
    ClearProject();
    ResetProjectRoot();
    ActiveView().ResetTree();
}

bool IsInSubtree(const ProjectNode* firstOfList, const ProjectNode* node)
{
    if (firstOfList == nullptr)
        return false;
    // Climb from the node to the level of the list, then look for that ancestor in the list.
    for (const ProjectNode* above = node; above != nullptr; above = above->parent) {
        if (above->parent != firstOfList->parent)
            continue;
        for (const ProjectNode* sibling = above; sibling != nullptr;
             sibling = sibling->prevSibling) {
            if (sibling == firstOfList)
                return true;
        }
        return false;
    }
    return false;
}

bool CanMoveInto(const ProjectNode* const* entries, int count, const ProjectNode* target)
{
    if (target == nullptr || !target->IsFolder())
        return false;
    for (int i = 0; i < count; ++i) {
        const ProjectNode* entry = entries[i];
        if (target == entry || target == entry->parent || IsInSubtree(entry->firstChild, target))
            return false;
    }
    return true;
}

ProjectNode* CopyEntryInto(ProjectNode* entry, ProjectNode* target)
{
    // The target never lies below the entry (CanMoveInto), so the copies never join the walk.
    ProjectNode* result = CopyOneEntry(entry, target);
    if (!entry->IsFolder() || result == nullptr || !result->IsFolder())
        return result;
    // The source subtree in pre-order; `targets` holds the folder each open level copies into.
    std::vector<ProjectNode*> targets;
    ProjectNode* source = entry;
    ProjectNode* into = result;
    for (;;) {
        if (source->firstChild != nullptr && into != nullptr) {
            targets.push_back(into);
            source = source->firstChild;
        } else {
            while (source != entry && source->nextSibling == nullptr) {
                source = source->parent;
                targets.pop_back();
            }
            if (source == entry)
                return result;
            source = source->nextSibling;
        }
        ProjectNode* copied = CopyOneEntry(source, targets.back());
        into = copied != nullptr && copied->IsFolder() && source->IsFolder() ? copied : nullptr;
    }
}

bool MoveEntries(ProjectNode* const* entries, int count, ProjectNode* target)
{
    if (!CanMoveInto(entries, count, target))
        return false;
    // An entry named twice, or lying below another entry of the list, moves with that entry
    // only; deleting it on its own afterwards would free it twice.
    std::unordered_set<const ProjectNode*> listed(entries, entries + count);
    std::vector<ProjectNode*> moving;
    std::unordered_set<const ProjectNode*> taken;
    for (int i = 0; i < count; ++i) {
        ProjectNode* entry = entries[i];
        bool below = false;
        for (const ProjectNode* above = entry->parent; above != nullptr && !below;
             above = above->parent)
            below = listed.count(above) != 0;
        if (!below && taken.insert(entry).second)
            moving.push_back(entry);
    }

    ProjectView& view = ActiveView();
    view.LockUpdates(true);
    for (ProjectNode* entry : moving)
        CopyEntryInto(entry, target);
    for (ProjectNode* entry : moving) {
        if (entry->parent == CurrentFolder())
            view.DeleteRow(entry);
        DeleteEntry(entry);
    }
    view.ExpandFolderItem(target);
    view.LockUpdates(false);
    return true;
}
