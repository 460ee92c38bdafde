#include "project/project_view.h"

namespace {

class NoView : public ProjectView {
public:
    void ResetTree() override {}
    void AddFolderItem(ProjectNode*) override {}
    void DeleteFolderItem(ProjectNode*) override {}
    void ExpandFolderItem(ProjectNode*) override {}
    void AppendRow(ProjectNode*) override {}
    void DeleteRow(ProjectNode*) override {}
    void SelectOnlyRow(ProjectNode*) override {}
    void EditRowLabel(ProjectNode*) override {}
    bool ListHasFocus() override { return false; }
    std::vector<ProjectNode*> SelectedEntries() override { return {}; }
    void LockUpdates(bool) override {}
    void SetStatusText(const char*) override {}
};

NoView g_noView;
ProjectView* g_view = nullptr;

}  // namespace

void SetProjectView(ProjectView* view)
{
    g_view = view;
}

ProjectView& ActiveView()
{
    return g_view != nullptr ? *g_view : g_noView;
}
