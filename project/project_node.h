#pragma once
#include <cstdint>

// One folder or file entry of the project tree. Folders exist only in the project; a file entry
// refers to a file on disk and carries its name inside the archive.
constexpr uint32_t NODE_FOLDER = 1;

struct ProjectNode {
    ProjectNode* parent = nullptr;
    ProjectNode* firstChild = nullptr;  // always none for a file entry
    ProjectNode* prevSibling = nullptr;
    ProjectNode* nextSibling = nullptr;
    char name[260] = {};  // one path component inside the archive, code page 932
    uint32_t flags = 0;
    char sourcePath[260] = {};  // file entries: the file on disk; folders: empty
    char sizeText[20] = {};     // display texts of the file list
    char timeText[20] = {};
    int32_t level = -1;          // own compression level; negative: inherit
    char* password = nullptr;    // own password; none: inherit; empty: no password
    uint8_t ownsPassword = 0;    // 1 when `password` is this node's to free
    int64_t fileSize = 0;        // cached when the list row is built; 0 for folders
    void* treeItem = nullptr;    // the folder's item in the folder tree

    bool IsFolder() const { return (flags & NODE_FOLDER) != 0; }
};

// The entry after `node` in a pre-order walk of what lies below `top` (a folder before its
// entries), or none at the end. Iterative, so trees of any depth are safe.
inline const ProjectNode* NextInTree(const ProjectNode* node, const ProjectNode* top)
{
    if (node->firstChild != nullptr)
        return node->firstChild;
    while (node != top && node->nextSibling == nullptr)
        node = node->parent;
    return node == top ? nullptr : node->nextSibling;
}
