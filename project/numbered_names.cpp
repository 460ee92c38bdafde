#include "project/numbered_names.h"

#include <cstdint>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/format_text.h"
#include "project/child_links.h"
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
    std::unordered_multimap<uint64_t, int> bySource;  // NameHash of a holder's source path: counter
};

struct FolderRuns {
    std::unordered_multimap<uint64_t, Run> runs;  // nodes stay put, so Run pointers stay valid
    std::unordered_multimap<const ProjectNode*, std::pair<Run*, int>> held;
};

std::unordered_map<const ProjectNode*, FolderRuns>& Folders()
{
    static std::unordered_map<const ProjectNode*, FolderRuns> folders;
    return folders;
}

// "base(n)ext" cut to 259 bytes; false when the counter itself does not fit, since then no
// counter could ever make the name unique.
bool FormatNumberedName(char (&name)[260], const char* base, int counter, const char* extension)
{
    char numbered[300];
    int length = FormatText(numbered, sizeof numbered, "%s(%d)", base, counter);
    if (length < 0 || length > 259)
        return false;
    FormatText(name, sizeof name, "%s%s", numbered, extension);
    return true;
}

Run& RunFor(FolderRuns& folder, const char* base, const char* extension)
{
    uint64_t key = NameHash(base) * 31 + NameHash(extension);
    auto range = folder.runs.equal_range(key);
    for (auto it = range.first; it != range.second; ++it) {
        if (NamesEqual(it->second.base.c_str(), base) &&
            NamesEqual(it->second.extension.c_str(), extension))
            return it->second;
    }
    Run& run = folder.runs.emplace(key, Run())->second;
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
    run.bySource.emplace(NameHash(holder->sourcePath), counter);
    folder.held.emplace(holder, std::make_pair(&run, counter));
}

void Vacate(Run& run, int counter, const ProjectNode* holder)
{
    run.holders[counter - 1] = nullptr;
    run.vacated.insert(counter);
    auto range = run.bySource.equal_range(NameHash(holder->sourcePath));
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second == counter) {
            run.bySource.erase(it);
            return;
        }
    }
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
    if (sourcePath != nullptr) {
        auto range = run.bySource.equal_range(NameHash(sourcePath));
        for (auto it = range.first; it != range.second; ++it) {
            if (it->second < counter && NamesEqual(run.holders[it->second - 1]->sourcePath, sourcePath))
                return NumberedName::kDuplicate;
        }
    }
    if (newcomer != nullptr)
        Hold(runs, run, counter, newcomer);
    return NumberedName::kFree;
}

void ForgetNumberedSlots(const ProjectNode* child)
{
    auto folder = Folders().find(child->parent);
    if (folder == Folders().end())
        return;
    auto range = folder->second.held.equal_range(child);
    for (auto it = range.first; it != range.second; ++it)
        Vacate(*it->second.first, it->second.second, child);
    folder->second.held.erase(range.first, range.second);
}

void ForgetNumberedNames(const ProjectNode* folder)
{
    Folders().erase(folder);
}
