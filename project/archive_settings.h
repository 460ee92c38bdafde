#pragma once
#include <cstddef>

#include "project/archive_options.h"

class SettingsScope;

// The archive options are kept as keys of the PROPERTY sections of the application's and the
// project's documents. A key that is missing, or whose value is not one of the option's choices,
// is not set there: the project then takes the application's value, and the application the
// program's original behaviour, 0.

struct ArchiveOptionKey {
    const char* key;
    int ArchiveOptions::*member;
    int choiceCount;                // the values are 0 to choiceCount - 1
    const char* choices[3];         // what the options dialog offers, by value
    const char* statusTexts[3];     // what the status line says, by value; none for 0
};
constexpr int kArchiveOptionCount = 3;
extern const ArchiveOptionKey kArchiveOptionKeys[kArchiveOptionCount];

// The scope's own value of `option`; -1 when it has none.
int OwnArchiveOption(const SettingsScope& scope, const ArchiveOptionKey& option);
// The first own value from `scope` along its parents; 0 when none has one (or without a scope).
int LayeredArchiveOption(const SettingsScope* scope, const ArchiveOptionKey& option);

// The options a build uses: the project's where it has them, else the application's, else 0.
ArchiveOptions EffectiveArchiveOptions();

// The status line's note of the options that differ from 0, e.g. " 名前:UTF-8 検査:する"; empty
// when none does. The encryption is named only for an entry that is encrypted.
void ArchiveOptionsStatus(const ArchiveOptions& options, bool encrypted, char* buffer, size_t size);
