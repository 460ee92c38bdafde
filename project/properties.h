#pragma once
#include <cstddef>
#include <functional>

struct ProjectNode;
class SettingsDocument;
class SettingsScope;

// Compression level and password are inherited: an entry without its own value takes that of the
// nearest folder above it, then the project's, then the application's default.

// The section of the application's and the project's documents that holds their settings.
extern const char kPropertySection[];

// The value key of one half, looked up from the project's PROPERTY scope towards the
// application's: a scope with a parent counts only when its switch key begins with "1"; the last
// scope gives its value whatever its switch says. None when the deciding scope lacks the key.
const char* LayeredLookup(const SettingsScope* scope, const char* switchKey, const char* valueKey);

// Opens `application` on the PROPERTY section of AppSettings and, when given, `project` on that of
// ProjectDocument with the application's as its parent. False when a document is missing or its
// section cannot be made.
bool OpenPropertyScopes(SettingsScope* application, SettingsScope* project);

// Refreshes the project root's level and password from the PROPERTY sections of AppSettings and
// ProjectDocument. The root's password is a copy kept beside the root (not owned by the node), so
// it stays valid when either document changes or is reloaded.
void ApplyProjectProperties();

// The first own level >= 0 on the path node, parent, ..., root; -1 when none.
int EffectiveLevel(const ProjectNode* node);
// The first own password on the same path (possibly empty); none when none.
const char* EffectivePassword(const ProjectNode* node);

// A password that a project file carries unchanged: no control byte (a TAB would split its line,
// CR and LF end it, the others break the load) and at most 259 bytes (longer fields are cut when
// read).
bool IsStorablePassword(const char* password);
// Tells the user that a password IsStorablePassword refuses is not taken.
void ReportUnstorablePassword();

// Gives a non-root entry its own copy of `password`, or, with none, makes it inherit. False, with
// the entry unchanged, for a password IsStorablePassword refuses, for the root and when the copy
// cannot be allocated.
bool SetOwnPassword(ProjectNode* node, const char* password);

// The status-bar line of an entry's effective settings: "圧縮レベル:%s パスワード:%s" with the
// level ("-" when none or outside 0 to 9) and the password in clear (empty when none), followed
// by the archive options that differ from the original behaviour.
void EntryStatusText(const ProjectNode* node, char* buffer, size_t size);
// Shows that line in the status bar; with none, for the entry shown last.
void ShowEntryStatus(ProjectNode* node);

// The entry dialog works on two documents with a PROPERTY section each: `own` with the entry's
// own switches and values, `inherited` with the values it takes from above while a switch is off.
bool FillEntryDocuments(const ProjectNode* node, SettingsDocument* own,
                        SettingsDocument* inherited);
// Takes the dialog's result from `own` into the entry. A password the project file could not
// carry is refused with a message, and then nothing changes.
bool ReadEntryDocument(ProjectNode* node, SettingsDocument* own);

// Runs an entry dialog on the own scope (whose parent is the inherited scope); its result is 1
// for OK. The panes supply the window.
using EntryDialog = std::function<int(int dialogId, const SettingsScope& own)>;

// The entry settings dialog for one non-root entry: fills the two documents, runs the dialog and,
// on OK, stores the result in the entry and refreshes the status bar. True when stored.
bool EditEntryProperties(ProjectNode* node, int dialogId, const EntryDialog& runDialog);

// After the entry dialog confirmed `node` from the file list: every other selected row's entry
// takes `node`'s own level and password (not its inherited ones). False when a password could not
// be copied.
bool ApplyPropertiesToSelection(ProjectNode* node);
