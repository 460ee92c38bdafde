#include "project/archive_settings.h"

#include <cstring>

#include "core/format_text.h"
#include "core/settings_document.h"
#include "project/properties.h"

const ArchiveOptionKey kArchiveOptionKeys[kArchiveOptionCount] = {
    {"NAMECODE", &ArchiveOptions::nameCode, 3,
     {"シフトJIS（従来）", "シフトJIS＋Unicode拡張フィールド", "UTF-8"},
     {nullptr, "名前:SJIS+Unicode", "名前:UTF-8"}},
    {"ENCRYPTION", &ArchiveOptions::encryption, 2,
     {"ZIP従来暗号（ZipCrypto）", "AES-256"},
     {nullptr, "暗号:AES-256"}},
    {"VERIFY", &ArchiveOptions::verify, 2,
     {"しない", "する"},
     {nullptr, "検査:する"}},
};

int OwnArchiveOption(const SettingsScope& scope, const ArchiveOptionKey& option)
{
    const char* value = scope.Get(option.key);
    // Only the bare digit counts: " 1", "01" or "1x" in a hand-edited file are not a choice.
    if (value == nullptr || value[0] < '0' || value[0] >= '0' + option.choiceCount ||
        value[1] != '\0')
        return -1;
    return value[0] - '0';
}

int LayeredArchiveOption(const SettingsScope* scope, const ArchiveOptionKey& option)
{
    for (; scope != nullptr; scope = scope->Parent()) {
        int value = OwnArchiveOption(*scope, option);
        if (value >= 0)
            return value;
    }
    return 0;
}

ArchiveOptions EffectiveArchiveOptions()
{
    ArchiveOptions options;
    SettingsScope application;
    SettingsScope project;
    if (!OpenPropertyScopes(&application, &project))
        return options;
    for (const ArchiveOptionKey& option : kArchiveOptionKeys)
        options.*option.member = LayeredArchiveOption(&project, option);
    return options;
}

void ArchiveOptionsStatus(const ArchiveOptions& options, bool encrypted, char* buffer, size_t size)
{
    if (size == 0)
        return;
    buffer[0] = '\0';
    size_t length = 0;
    for (const ArchiveOptionKey& option : kArchiveOptionKeys) {
        int value = options.*option.member;
        if (value <= 0 || value >= option.choiceCount ||
            (option.member == &ArchiveOptions::encryption && !encrypted))
            continue;
        FormatText(buffer + length, size - length, " %s", option.statusTexts[value]);
        length = strlen(buffer);
    }
}
