#pragma once

class SettingsDocument;

// Process-wide state of the run, one instance each.
extern char ExeDirectory[260];     // ends in a backslash
extern char ProjectArgument[260];  // the project named on the command line, or empty
extern SettingsDocument* AppSettings;
extern SettingsDocument* ProjectDocument;

// The identity stamped into the settings file, and this program's version (1.0.0).
extern const char kSettingsIdentity[];
constexpr int kAppVersion = 0x01000000;

// Loads packwren.ini from beside the executable and stamps it; reports a broken file and returns
// false. Creates AppSettings on first use.
bool OpenAppSettings();
void DestroyDocuments();
