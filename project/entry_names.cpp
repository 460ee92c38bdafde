#include "project/entry_names.h"

#include <cstring>

#include "core/format_text.h"
#include "core/paths.h"
#include "core/report.h"
#include "core/strings.h"
#include "project/child_links.h"
#include "project/numbered_names.h"
#include "project/project_node.h"

namespace {

const char kRenameTitle[] = "パックレン：ファイル名の変更";

bool IsForbiddenByte(unsigned char byte)
{
    return byte < 0x20 || strchr("\\/:,;<>|", byte) != nullptr;
}

}  // namespace

int FindInvalidNameChar(const char* name)
{
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(name);
    if (bytes[0] == ' ')
        return 0;
    for (int i = 0; bytes[i] != 0; ++i) {
        if (IsLeadByte(bytes[i])) {
            if (bytes[i + 1] == 0)
                return -1;
            ++i;
        } else if (IsForbiddenByte(bytes[i])) {
            return i;
        }
    }
    return -1;
}

bool ValidateEntryName(const char* name, bool showMessage)
{
    if (name[0] == '\0')
        return false;
    int offset = FindInvalidNameChar(name);
    if (offset >= 0) {
        if (showMessage) {
            char text[64];
            FormatText(text, sizeof text, "使用できない文字が含まれています。\r\n(%d文字目)",
                       offset + 1);
            ReportError(text, kRenameTitle);
        }
        return false;
    }
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) {
        if (showMessage)
            ReportError("使用できないファイル名です", kRenameTitle);
        return false;
    }
    return true;
}

bool RenameEntry(ProjectNode* node, const char* newName)
{
    if (node == nullptr || newName == nullptr || !ValidateEntryName(newName, true))
        return false;
    // Compared and checked as it will be stored, so that a cut name cannot clash unnoticed.
    char stored[sizeof node->name];
    FormatText(stored, sizeof stored, "%s", newName);
    if (strcmp(stored, node->name) == 0)
        return false;
    if (node->parent != nullptr) {
        ProjectNode* other = FindChildNamed(node->parent, stored);
        if (other != nullptr && other != node) {
            ReportError("指定されたファイル名はすでに存在します。", kRenameTitle);
            return false;
        }
        UnindexChild(node);
        memcpy(node->name, stored, sizeof stored);
        IndexChild(node);
    } else {
        memcpy(node->name, stored, sizeof stored);
    }
    return true;
}

bool MakeNewFolderName(const ProjectNode* folder, char* buffer, size_t size)
{
    static const char kBase[] = "新規フォルダ";
    FormatText(buffer, size, "%s", kBase);
    if (FindChildNamed(folder, buffer) == nullptr)
        return true;
    char name[sizeof ProjectNode::name];
    if (FindNumberedName(folder, kBase, "", nullptr, nullptr, name) != NumberedName::kFree)
        return false;
    FormatText(buffer, size, "%s", name);
    return true;
}

void SplitEntryName(const char* path, char* base, char* extension)
{
    const char* component = path + PathComponentOffset(path);
    // A dot is never a trail byte, so the last one is found by a plain search.
    const char* dot = strrchr(component, '.');
    size_t baseLength = dot != nullptr ? static_cast<size_t>(dot - component) : strlen(component);
    CopyField(component, base, kNamePartSize, static_cast<int>(baseLength));
    CopyField(dot != nullptr ? dot : "", extension, kNamePartSize,
              dot != nullptr ? static_cast<int>(strlen(dot)) : 0);
}
