#include "project/project_state.h"

#include "core/format_text.h"
#include "project/project_node.h"

const char kDefaultProjectName[] = "新規書庫";

namespace {

ProjectNode MakeRoot()
{
    ProjectNode root;
    root.flags = NODE_FOLDER;
    FormatText(root.name, sizeof root.name, "%s", kDefaultProjectName);
    return root;
}

ProjectNode g_root = MakeRoot();
ProjectNode* g_currentFolder = &g_root;
ProjectNode* g_statusNode = nullptr;

}  // namespace

ProjectNode* ProjectRoot()
{
    return &g_root;
}

ProjectNode* CurrentFolder()
{
    return g_currentFolder;
}

void SetCurrentFolder(ProjectNode* folder)
{
    g_currentFolder = folder;
}

ProjectNode* StatusNode()
{
    return g_statusNode;
}

void SetStatusNode(ProjectNode* node)
{
    g_statusNode = node;
}
