#pragma once

struct ProjectNode;

// The "(n)" rule of a folder. A newcomer whose name is taken tries "base(1)ext", "base(2)ext", ...
// and takes the first name no entry of the folder holds, unless it first meets a file entry of its
// own source path (then it is a duplicate). Walking the counters from 1 every time made a folder
// of many entries of one name quadratic, so each folder remembers, per base and extension, which
// entry holds which counter; an entry that goes or is renamed frees its counter again, so the
// name found is always the one the walk from 1 would find.

enum class NumberedName { kFree, kDuplicate, kNoFit };

// The first free "base(n)ext" (cut to 259 bytes) in `folder`, into `name`. `sourcePath` is a file
// newcomer's (a folder, which is never a duplicate, passes none). kNoFit when the counter itself no
// longer fits in 259 bytes. With `newcomer`, the counter found is held for it: the caller links it
// under `name` at once.
NumberedName FindNumberedName(const ProjectNode* folder, const char* base, const char* extension,
                              const char* sourcePath, ProjectNode* newcomer, char (&name)[260]);

// An entry leaves its folder or changes its name: the counters it held are free again.
void ForgetNumberedSlots(const ProjectNode* child);
// A folder is freed or emptied at once.
void ForgetNumberedNames(const ProjectNode* folder);
