#pragma once
#include <cstddef>

struct ProjectNode;

// Rules for the names the user types for entries (label edits), and the names the model makes.
// Names that come from disk or from a project file are not checked against these rules.

// The 0-based offset of the first byte a typed name may not hold (a leading space, a control
// byte, or one of \ / : , ; < > |), or -1. Trail bytes of double-byte characters are never
// examined.
int FindInvalidNameChar(const char* name);

// True when a typed name is acceptable. Otherwise false, after the fitting message when
// `showMessage` is set; an empty name is refused without one.
bool ValidateEntryName(const char* name, bool showMessage);

// Renames an entry after a label edit: validates the name, refuses a name another entry of the
// same folder has, and stores it (cut to 259 bytes). False when nothing changed, including the
// cancelled edit (no text) and the unchanged name. The root (the project name) has no siblings.
bool RenameEntry(ProjectNode* node, const char* newName);

// A name for a new folder in `folder` that none of its entries uses: "新規フォルダ", else
// "新規フォルダ(n)" with the smallest free n. False when no counter is left.
bool MakeNewFolderName(const ProjectNode* folder, char* buffer, size_t size);

// Splits the last component of a path (or a name) into its base part and its extension (the
// last dot and what follows), each cut to 255 bytes.
void SplitEntryName(const char* path, char* base, char* extension);
constexpr size_t kNamePartSize = 256;
