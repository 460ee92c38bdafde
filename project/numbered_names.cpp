#include "project/numbered_names.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "project/child_links.h"
#include "project/flat_table.h"
#include "project/project_node.h"

namespace {

// The counters of one base and extension in one folder. Every counter below holders.size() + 1
// is either held by the entry recorded for it or listed as vacated; the search starts at the
// lowest vacated one, and only counters nobody has looked at yet are tried by name.
struct Run {
    std::string base;
    std::string extension;
    std::vector<ProjectNode*> holders;  // [n - 1]: the entry named with counter n; none once it went
    std::set<int> vacated;
    FlatTable<int> bySource;  // holders' counters by NameHash of their source paths
};

// A holder is found again from its name when it goes (see ForgetNumberedSlots); only holders
// whose names were cut at 259 bytes, which do not end in their extension, are listed by node.
struct FolderRuns {
    std::unordered_multimap<uint64_t, Run> runs;  // nodes stay put, so Run pointers stay valid
    std::unordered_multimap<const ProjectNode*, std::pair<Run*, int>> cutHolders;
};

std::unordered_map<const ProjectNode*, FolderRuns>& Folders()
{
    static std::unordered_map<const ProjectNode*, FolderRuns> folders;
    return folders;
}

// "base(n)ext" cut to 259 bytes, as FormatText would cut it; false when the counter itself does
// not fit, since then no counter could ever make the name unique. Put together by hand: a folder
// of many entries of one name makes one for each of them.
bool FormatNumberedName(char (&name)[260], const char* base, int counter, const char* extension)
{
    char digits[16] = "(";
    char* end = std::to_chars(digits + 1, digits + sizeof digits - 1, counter).ptr;
    *end++ = ')';
    size_t length = static_cast<size_t>(end - digits);
    size_t baseLength = strlen(base);
    if (baseLength + length > 259)
        return false;
    size_t extensionLength = std::min(strlen(extension), 259 - baseLength - length);
    memcpy(name, base, baseLength);
    memcpy(name + baseLength, digits, length);
    memcpy(name + baseLength + length, extension, extensionLength);
    name[baseLength + length + extensionLength] = '\0';
    return true;
}

uint64_t RunKey(const char* base, const char* extension)
{
    return NameHash(base) * 31 + NameHash(extension);
}

Run* FindRun(FolderRuns& folder, const char* base, const char* extension)
{
    auto range = folder.runs.equal_range(RunKey(base, extension));
    for (auto it = range.first; it != range.second; ++it) {
        if (NamesEqual(it->second.base.c_str(), base) &&
            NamesEqual(it->second.extension.c_str(), extension))
            return &it->second;
    }
    return nullptr;
}

Run& RunFor(FolderRuns& folder, const char* base, const char* extension)
{
    if (Run* run = FindRun(folder, base, extension))
        return *run;
    Run& run = folder.runs.emplace(RunKey(base, extension), Run())->second;
    run.base = base;
    run.extension = extension;
    return run;
}

void Hold(FolderRuns& folder, Run& run, int counter, ProjectNode* holder)
{
    if (static_cast<size_t>(counter) > run.holders.size())
        run.holders.resize(counter, nullptr);
    run.holders[counter - 1] = holder;
    run.vacated.erase(counter);
    run.bySource.Insert(NameHash(holder->sourcePath), counter);
    if (strlen(holder->name) == 259)
        folder.cutHolders.emplace(holder, std::make_pair(&run, counter));
}

void Vacate(Run& run, int counter, const ProjectNode* holder)
{
    if (static_cast<size_t>(counter) > run.holders.size() || run.holders[counter - 1] != holder)
        return;
    run.holders[counter - 1] = nullptr;
    run.vacated.insert(counter);
    run.bySource.Remove(NameHash(holder->sourcePath), counter);
}

}  // namespace

NumberedName FindNumberedName(const ProjectNode* folder, const char* base, const char* extension,
                              const char* sourcePath, ProjectNode* newcomer, char (&name)[260])
{
    FolderRuns& runs = Folders()[folder];
    Run& run = RunFor(runs, base, extension);
    int counter;
    for (;;) {
        counter = run.vacated.empty() ? static_cast<int>(run.holders.size()) + 1
                                      : *run.vacated.begin();
        if (!FormatNumberedName(name, base, counter, extension))
            return NumberedName::kNoFit;
        // A vacated counter may have been taken since by a rename or an entry of another base.
        ProjectNode* holder = FindChildNamed(folder, name);
        if (holder == nullptr)
            break;
        Hold(runs, run, counter, holder);
    }
    // The walk from 1 would have stopped at the first holder of the same source path.
    if (sourcePath != nullptr &&
        run.bySource.Find(NameHash(sourcePath), [&](int held) {
            return held < counter && NamesEqual(run.holders[held - 1]->sourcePath, sourcePath);
        }) != 0)
        return NumberedName::kDuplicate;
    if (newcomer != nullptr)
        Hold(runs, run, counter, newcomer);
    return NumberedName::kFree;
}

// The holder is looked for under every reading of its name as base "(" n ")" extension; "(",
// ")" and digits are never trail bytes, so a plain search finds them.
void ForgetNumberedSlots(const ProjectNode* child)
{
    auto found = Folders().find(child->parent);
    if (found == Folders().end())
        return;
    FolderRuns& folder = found->second;
    const char* name = child->name;
    for (const char* open = strchr(name, '('); open != nullptr; open = strchr(open + 1, '(')) {
        const char* close = open + 1;
        int counter = 0;
        while (*close >= '0' && *close <= '9' && close - open < 10)  // counters of 9 digits at most
            counter = counter * 10 + (*close++ - '0');
        if (*close != ')' || close == open + 1)
            continue;
        char base[sizeof child->name];
        memcpy(base, name, open - name);
        base[open - name] = '\0';
        if (Run* run = FindRun(folder, base, close + 1))
            Vacate(*run, counter, child);
    }
    auto range = folder.cutHolders.equal_range(child);
    for (auto it = range.first; it != range.second; ++it)
        Vacate(*it->second.first, it->second.second, child);
    folder.cutHolders.erase(range.first, range.second);
}

void ForgetNumberedNames(const ProjectNode* folder)
{
    Folders().erase(folder);
}
