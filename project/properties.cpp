#include "project/properties.h"

#include <cstdlib>

#include "core/app_state.h"
#include "core/settings_document.h"
#include "project/project_node.h"
#include "project/project_state.h"

const char* LayeredLookup(const SettingsScope* scope, const char* switchKey, const char* valueKey)
{
    for (; scope != nullptr; scope = scope->Parent()) {
        if (scope->Parent() == nullptr)
            return scope->Get(valueKey);
        const char* enabled = scope->Get(switchKey);
        if (enabled != nullptr && enabled[0] == '1')
            return scope->Get(valueKey);
    }
    return nullptr;
}

void ApplyProjectProperties()
{
    ProjectNode* root = ProjectRoot();
    root->level = -1;
    root->password = nullptr;
    root->ownsPassword = 0;
    if (AppSettings == nullptr || ProjectDocument == nullptr)
        return;
    SettingsScope application;
    application.Open(AppSettings, "PROPERTY", nullptr);
    SettingsScope project;
    project.Open(ProjectDocument, "PROPERTY", &application);
    if (const char* level = LayeredLookup(&project, "COMPLEVELENABLE", "COMPRESSLEVEL"))
        root->level = atoi(level);
    const char* password = LayeredLookup(&project, "PASSWORDENABLE", "PASSWORD");
    // The project's password can only switch encryption on: an empty one means none.
    if (password != nullptr && password[0] != '\0')
        root->password = const_cast<char*>(password);
}

int EffectiveLevel(const ProjectNode* node)
{
    for (; node != nullptr; node = node->parent) {
        if (node->level >= 0)
            return node->level;
    }
    return -1;
}

const char* EffectivePassword(const ProjectNode* node)
{
    for (; node != nullptr; node = node->parent) {
        if (node->password != nullptr)
            return node->password;
    }
    return nullptr;
}
