#include "core/app_state.h"

#include "core/exe_path.h"
#include "core/report.h"
#include "core/settings_document.h"

char ExeDirectory[260];
char ProjectArgument[260];
SettingsDocument* AppSettings;
SettingsDocument* ProjectDocument;

const char kSettingsIdentity[] = "packwren設定ファイル";

bool OpenAppSettings()
{
    const char* path = BuildExePath("packwren.ini");
    if (path == nullptr)
        return false;
    if (AppSettings == nullptr)
        AppSettings = new SettingsDocument;
    if (!AppSettings->Load(path, true)) {
        ReportError("設定ファイルの読込に失敗しました", "パックレン：設定ファイル");
        return false;
    }
    AppSettings->WriteIdentity(kSettingsIdentity, kAppVersion);
    return true;
}

void DestroyDocuments()
{
    delete ProjectDocument;
    ProjectDocument = nullptr;
    delete AppSettings;
    AppSettings = nullptr;
}
