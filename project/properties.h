#pragma once

struct ProjectNode;
class SettingsScope;

// Compression level and password are inherited: an entry without its own value takes that of the
// nearest folder above it, then the project's, then the application's default.

// The value key of one half, looked up from the project's PROPERTY scope towards the
// application's: a scope with a parent counts only when its switch key begins with "1"; the last
// scope gives its value whatever its switch says. None when the deciding scope lacks the key.
const char* LayeredLookup(const SettingsScope* scope, const char* switchKey, const char* valueKey);

// Refreshes the project root's level and password from the PROPERTY sections of AppSettings and
// ProjectDocument.
void ApplyProjectProperties();

// The first own level >= 0 on the path node, parent, ..., root; -1 when none.
int EffectiveLevel(const ProjectNode* node);
// The first own password on the same path (possibly empty); none when none.
const char* EffectivePassword(const ProjectNode* node);
