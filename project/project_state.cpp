#include "project/project_state.h"

#include "project/project_node.h"

namespace {

ProjectNode MakeRoot()
{
    ProjectNode root;
    root.flags = NODE_FOLDER;
    static const char kDefaultName[] = "新規書庫";
    for (unsigned i = 0; i < sizeof kDefaultName; ++i)
        root.name[i] = kDefaultName[i];
    return root;
}

ProjectNode g_root = MakeRoot();
ProjectNode* g_currentFolder = &g_root;

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
