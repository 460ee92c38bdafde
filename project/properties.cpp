#include "project/properties.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/app_state.h"
#include "core/format_text.h"
#include "core/report.h"
#include "core/settings_document.h"
#include "project/archive_settings.h"
#include "project/project_node.h"
#include "project/project_state.h"
#include "project/project_view.h"

const char kPropertySection[] = "PROPERTY";

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

namespace {

// The root holds a copy of the project's password, never a pointer into a settings document:
// the project document is replaced by every open, and the status line reads the root while the
// tree of the next project is built.
std::string& RootPassword()
{
    static std::string password;
    return password;
}

}  // namespace

bool OpenPropertyScopes(SettingsScope* application, SettingsScope* project)
{
    if (AppSettings == nullptr || !application->Open(AppSettings, kPropertySection, nullptr))
        return false;
    return project == nullptr ||
           (ProjectDocument != nullptr &&
            project->Open(ProjectDocument, kPropertySection, application));
}

void ApplyProjectProperties()
{
    ProjectNode* root = ProjectRoot();
    root->level = -1;
    root->password = nullptr;
    root->ownsPassword = 0;
    SettingsScope application;
    SettingsScope project;
    if (!OpenPropertyScopes(&application, &project))
        return;
    if (const char* level = LayeredLookup(&project, "COMPLEVELENABLE", "COMPRESSLEVEL"))
        root->level = LeadingDecimal(level);
    const char* password = LayeredLookup(&project, "PASSWORDENABLE", "PASSWORD");
    // The project's password can only switch encryption on: an empty one means none.
    if (password != nullptr && password[0] != '\0') {
        RootPassword().assign(password);
        root->password = RootPassword().data();
    }
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

bool IsStorablePassword(const char* password)
{
    size_t length = 0;
    for (; password[length] != '\0'; ++length) {
        if (static_cast<unsigned char>(password[length]) < 0x20)
            return false;
    }
    return length <= 259;
}

void ReportUnstorablePassword()
{
    ReportError("このパスワードは保存できません。\r\n"
                "(タブ・改行などの制御文字を含むか、259バイトを超えています)",
                "パックレン：パスワード");
}

bool SetOwnPassword(ProjectNode* node, const char* password)
{
    if (node == nullptr || node->parent == nullptr)
        return false;
    char* copy = nullptr;
    if (password != nullptr) {
        if (!IsStorablePassword(password))
            return false;
        copy = strdup(password);
        if (copy == nullptr)
            return false;
    }
    if (node->ownsPassword)
        free(node->password);
    node->password = copy;
    node->ownsPassword = copy != nullptr ? 1 : 0;
    return true;
}

void EntryStatusText(const ProjectNode* node, char* buffer, size_t size)
{
    int level = EffectiveLevel(node);
    char levelText[16];
    if (level < 0 || level > 9)
        FormatText(levelText, sizeof levelText, "-");
    else
        FormatText(levelText, sizeof levelText, "%d", level);
    const char* password = EffectivePassword(node);
    // An empty password means none: the encryption method does not apply to the entry.
    bool encrypted = password != nullptr && password[0] != '\0';
    char options[64];
    ArchiveOptionsStatus(EffectiveArchiveOptions(), encrypted, options, sizeof options);
    FormatText(buffer, size, "圧縮レベル:%s パスワード:%s%s", levelText,
               password != nullptr ? password : "", options);
}

void ShowEntryStatus(ProjectNode* node)
{
    if (node != nullptr)
        SetStatusNode(node);
    else
        node = StatusNode();
    char text[256];
    EntryStatusText(node, text, sizeof text);
    ActiveView().SetStatusText(text);
}

bool FillEntryDocuments(const ProjectNode* node, SettingsDocument* own, SettingsDocument* inherited)
{
    char levelText[16];
    bool ok = own->SetValue(kPropertySection, "PASSWORDENABLE", "0") &&
              own->SetValue(kPropertySection, "COMPLEVELENABLE", "0") &&
              (inherited->FindSection(kPropertySection) != nullptr ||
               inherited->AddSection(kPropertySection));
    const ProjectNode* holder = node;
    while (holder != nullptr && holder->password == nullptr)
        holder = holder->parent;
    if (ok && holder != nullptr) {
        SettingsDocument* target = holder == node ? own : inherited;
        ok = target->SetValue(kPropertySection, "PASSWORDENABLE", "1") &&
             target->SetValue(kPropertySection, "PASSWORD", holder->password);
    }
    holder = node;
    while (holder != nullptr && holder->level < 0)
        holder = holder->parent;
    if (ok && holder != nullptr) {
        SettingsDocument* target = holder == node ? own : inherited;
        FormatText(levelText, sizeof levelText, "%d", holder->level);
        ok = target->SetValue(kPropertySection, "COMPLEVELENABLE", "1") &&
             target->SetValue(kPropertySection, "COMPRESSLEVEL", levelText);
    }
    return ok;
}

bool ReadEntryDocument(ProjectNode* node, SettingsDocument* own)
{
    const char* passwordSwitch = own->GetValue(kPropertySection, "PASSWORDENABLE");
    const char* password = nullptr;
    if (passwordSwitch != nullptr && passwordSwitch[0] == '1') {
        password = own->GetValue(kPropertySection, "PASSWORD");
        if (password == nullptr)
            password = "";  // switched on with nothing typed: an empty password
    }
    if (password != nullptr && !IsStorablePassword(password)) {
        ReportUnstorablePassword();
        return false;
    }
    bool unchanged =
        password != nullptr && node->password != nullptr && strcmp(password, node->password) == 0;
    if (!unchanged && !SetOwnPassword(node, password))
        return false;
    const char* levelSwitch = own->GetValue(kPropertySection, "COMPLEVELENABLE");
    node->level = -1;
    if (levelSwitch != nullptr && levelSwitch[0] == '1') {
        if (const char* level = own->GetValue(kPropertySection, "COMPRESSLEVEL"))
            node->level = LeadingDecimal(level);
    }
    return true;
}

bool EditEntryProperties(ProjectNode* node, int dialogId, const EntryDialog& runDialog)
{
    if (node == nullptr || node->parent == nullptr)
        return false;
    ApplyProjectProperties();
    SettingsDocument own;
    SettingsDocument inherited;
    if (!FillEntryDocuments(node, &own, &inherited))
        return false;
    SettingsScope inheritedScope;
    inheritedScope.Open(&inherited, kPropertySection, nullptr);
    SettingsScope ownScope;
    ownScope.Open(&own, kPropertySection, &inheritedScope);
    if (runDialog(dialogId, ownScope) != 1 || !ReadEntryDocument(node, &own))
        return false;
    ShowEntryStatus(nullptr);
    return true;
}

bool ApplyPropertiesToSelection(ProjectNode* node)
{
    bool ok = true;
    for (ProjectNode* entry : ActiveView().SelectedEntries()) {
        if (entry == node)
            continue;
        if (SetOwnPassword(entry, node->password))
            entry->level = node->level;
        else
            ok = false;
    }
    return ok;
}
