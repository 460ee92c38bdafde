#include "project/child_links.h"

#include <cstdint>
#include <unordered_map>

#include "project/project_node.h"

namespace {

unsigned char Fold(unsigned char byte)
{
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

// FNV-1a over the folded name, mixed with the folder's address: one table serves every folder.
uint64_t NameKey(const ProjectNode* folder, const char* name)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p != 0; ++p)
        hash = (hash ^ Fold(*p)) * 0x100000001b3ull;
    hash ^= static_cast<uint64_t>(reinterpret_cast<uintptr_t>(folder)) * 0x9e3779b97f4a7c15ull;
    return hash ^ (hash >> 29);
}

// Built on first use so that nothing depends on the order of static initialisation.
std::unordered_multimap<uint64_t, ProjectNode*>& NameIndex()
{
    static std::unordered_multimap<uint64_t, ProjectNode*> index;
    return index;
}

std::unordered_map<const ProjectNode*, ProjectNode*>& LastChildren()
{
    static std::unordered_map<const ProjectNode*, ProjectNode*> last;
    return last;
}

// The last child of a folder. A folder whose list was linked by other means (or changed behind
// the model's back) is walked once instead of trusting a stale record.
ProjectNode* LastChildOf(const ProjectNode* folder)
{
    if (folder->firstChild == nullptr)
        return nullptr;
    auto found = LastChildren().find(folder);
    if (found != LastChildren().end() && found->second->parent == folder &&
        found->second->nextSibling == nullptr)
        return found->second;
    ProjectNode* last = folder->firstChild;
    while (last->nextSibling != nullptr)
        last = last->nextSibling;
    return last;
}

}  // namespace

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
    auto range = NameIndex().equal_range(NameKey(folder, name));
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second->parent == folder && NamesEqual(it->second->name, name))
            return it->second;
    }
    return nullptr;
}

void IndexChild(ProjectNode* child)
{
    NameIndex().emplace(NameKey(child->parent, child->name), child);
}

void UnindexChild(ProjectNode* child)
{
    auto range = NameIndex().equal_range(NameKey(child->parent, child->name));
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second == child) {
            NameIndex().erase(it);
            return;
        }
    }
}

void LinkChild(ProjectNode* folder, ProjectNode* child)
{
    child->parent = folder;
    child->nextSibling = nullptr;
    child->prevSibling = LastChildOf(folder);
    if (child->prevSibling != nullptr)
        child->prevSibling->nextSibling = child;
    else
        folder->firstChild = child;
    LastChildren()[folder] = child;
    IndexChild(child);
}

void UnlinkChild(ProjectNode* child)
{
    ProjectNode* folder = child->parent;
    if (folder == nullptr)
        return;
    UnindexChild(child);
    if (folder->firstChild == child)
        folder->firstChild = child->nextSibling;
    if (child->prevSibling != nullptr)
        child->prevSibling->nextSibling = child->nextSibling;
    if (child->nextSibling != nullptr) {
        child->nextSibling->prevSibling = child->prevSibling;
    } else {
        // The last child leaves: its predecessor is last now, or the folder is empty.
        if (child->prevSibling != nullptr)
            LastChildren()[folder] = child->prevSibling;
        else
            LastChildren().erase(folder);
    }
    child->prevSibling = nullptr;
    child->nextSibling = nullptr;
}
