#include "project/child_links.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "project/flat_table.h"
#include "project/numbered_names.h"
#include "project/project_node.h"

namespace {

unsigned char Fold(unsigned char byte)
{
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

// What the index keeps for one folder: its children by name, and its last child.
struct FolderIndex {
    FlatTable<ProjectNode*> names;
    ProjectNode* last = nullptr;
};

// Built on first use so that nothing depends on the order of static initialisation.
std::unordered_map<const ProjectNode*, FolderIndex>& Folders()
{
    static std::unordered_map<const ProjectNode*, FolderIndex> folders;
    return folders;
}

FolderIndex* FindIndex(const ProjectNode* folder)
{
    auto found = Folders().find(folder);
    return found != Folders().end() ? &found->second : nullptr;
}

// The last child of a folder. A folder whose list was linked by other means (or changed behind
// the model's back) is walked once instead of trusting a stale record.
ProjectNode* LastChildOf(const ProjectNode* folder, const FolderIndex& index)
{
    if (folder->firstChild == nullptr)
        return nullptr;
    if (index.last != nullptr && index.last->parent == folder && index.last->nextSibling == nullptr)
        return index.last;
    ProjectNode* last = folder->firstChild;
    while (last->nextSibling != nullptr)
        last = last->nextSibling;
    return last;
}

}  // namespace

// FNV-1a over the folded name, mixed so that the low bits serve as a table index.
uint64_t NameHash(const char* name)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p != 0; ++p)
        hash = (hash ^ Fold(*p)) * 0x100000001b3ull;
    hash = (hash ^ (hash >> 33)) * 0xff51afd7ed558ccdull;
    hash = (hash ^ (hash >> 33)) * 0xc4ceb9fe1a85ec53ull;
    return hash ^ (hash >> 33);
}

bool NamesEqual(const char* a, const char* b)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
    for (; *p != 0 && Fold(*p) == Fold(*q); ++p, ++q) {
    }
    return Fold(*p) == Fold(*q);
}

ProjectNode* FindChildNamed(const ProjectNode* folder, const char* name)
{
    const FolderIndex* index = FindIndex(folder);
    if (index == nullptr)
        return nullptr;
    return index->names.Find(
        NameHash(name), [&](const ProjectNode* child) { return NamesEqual(child->name, name); });
}

void IndexChild(ProjectNode* child)
{
    Folders()[child->parent].names.Insert(NameHash(child->name), child);
}

void UnindexChild(ProjectNode* child)
{
    ForgetNumberedSlots(child);
    if (FolderIndex* index = FindIndex(child->parent))
        index->names.Remove(NameHash(child->name), child);
}

void LinkChild(ProjectNode* folder, ProjectNode* child)
{
    FolderIndex& index = Folders()[folder];
    child->parent = folder;
    child->nextSibling = nullptr;
    child->prevSibling = LastChildOf(folder, index);
    if (child->prevSibling != nullptr)
        child->prevSibling->nextSibling = child;
    else
        folder->firstChild = child;
    index.last = child;
    index.names.Insert(NameHash(child->name), child);
}

void UnlinkChild(ProjectNode* child)
{
    ProjectNode* folder = child->parent;
    if (folder == nullptr)
        return;
    ForgetNumberedSlots(child);
    FolderIndex* index = FindIndex(folder);
    if (index != nullptr) {
        index->names.Remove(NameHash(child->name), child);
        if (index->last == child)
            index->last = child->prevSibling;
    }
    if (folder->firstChild == child)
        folder->firstChild = child->nextSibling;
    if (child->prevSibling != nullptr)
        child->prevSibling->nextSibling = child->nextSibling;
    if (child->nextSibling != nullptr)
        child->nextSibling->prevSibling = child->prevSibling;
    child->prevSibling = nullptr;
    child->nextSibling = nullptr;
}

void DetachFirstChild(ProjectNode* folder)
{
    ProjectNode* child = folder->firstChild;
    folder->firstChild = child->nextSibling;
    if (child->nextSibling != nullptr)
        child->nextSibling->prevSibling = nullptr;
    child->nextSibling = nullptr;
}

void ForgetFolder(const ProjectNode* folder)
{
    Folders().erase(folder);
    ForgetNumberedNames(folder);
}
