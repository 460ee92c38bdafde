// Scale benchmark of the project model, one measurement per process so that every size starts
// from the same state (a fresh heap): bench/project_scale.sh runs it for N = 5,000 and 50,000,
// five times each, and prints the median times and their ratio.
//
//   project_scale files <scratch> <N>   adds a directory of N files (made on the first run) to one
//                                       folder, saves and loads the project; prints
//                                       "N add-ms save-ms load-ms"
//   project_scale large <scratch>       saves, loads and frees a project of 200,000 entries
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/file_io.h"
#include "core/format_text.h"
#include "core/paths.h"
#include "core/app_state.h"
#include "core/settings_document.h"
#include "project/project_file.h"
#include "project/project_node.h"
#include "project/project_state.h"
#include "project/project_tree.h"

#ifdef _WIN32
#include <windows.h>
static bool MakeDirectory(const std::string& path)
{
    return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}
#else
#include <sys/stat.h>
static bool MakeDirectory(const std::string& path)
{
    return mkdir(path.c_str(), 0755) == 0;
}
#endif

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string Join(const std::string& directory, const std::string& name)
{
    return directory + kPathSeparator + name;
}

bool MakeFiles(const std::string& directory, int count)
{
    if (!MakeDirectory(directory))
        return false;
    char name[32];
    for (int i = 0; i < count; ++i) {
        FormatText(name, sizeof name, "file%06d.txt", i);
        FileHandle file = CreateForWrite(Join(directory, name).c_str());
        if (file == kInvalidFile)
            return false;
        CloseFile(file);
    }
    return true;
}

int CountEntries(const ProjectNode* folder)
{
    int count = 0;
    for (const ProjectNode* child = folder->firstChild; child; child = child->nextSibling)
        ++count;
    return count;
}

struct Figures {
    double add = 0, save = 0, load = 0;
};

// Adds the directory of `count` files to a new project, saves it and loads it again.
bool MeasureFiles(const std::string& scratch, int count, Figures* figures)
{
    std::string directory = Join(scratch, "files" + std::to_string(count));
    std::string project = Join(scratch, "scale" + std::to_string(count) + ".pwp");
    if (!PathExists(directory.c_str()) && !MakeFiles(directory, count)) {
        fprintf(stderr, "cannot make %d files in %s\n", count, directory.c_str());
        return false;
    }
    OpenProject("");
    Clock::time_point start = Clock::now();
    ProjectNode* folder = AddDiskPath(directory.c_str(), true, ProjectRoot());
    figures->add = Since(start);
    if (folder == nullptr || CountEntries(folder) != count) {
        fprintf(stderr, "the folder of %d files was not added whole\n", count);
        return false;
    }

    start = Clock::now();
    bool saved = StoreProject(ProjectDocument) && ProjectDocument->Save(project.c_str());
    figures->save = Since(start);

    start = Clock::now();
    bool loaded = OpenProject(project.c_str()) == 0;
    figures->load = Since(start);
    if (!saved || !loaded || ProjectRoot()->firstChild == nullptr ||
        CountEntries(ProjectRoot()->firstChild) != count) {
        fprintf(stderr, "the project of %d files did not save and load whole\n", count);
        return false;
    }
    ClearProject();
    return true;
}

// A project of 200,000 entries in 200 folders, built in memory, saved and loaded.
bool MeasureLargeProject(const std::string& scratch)
{
    std::string project = Join(scratch, "large.pwp");
    OpenProject("");
    char name[32];
    char path[64];
    for (int f = 0; f < 200; ++f) {
        FormatText(name, sizeof name, "folder%03d", f);
        ProjectNode* folder = InsertChild(ProjectRoot(), nullptr, true, nullptr, -1, name, nullptr);
        for (int i = 0; i < 1000; ++i) {
            FormatText(path, sizeof path, "C:\\data\\%03d\\file%04d.bin", f, i);
            InsertChild(folder, path, false, nullptr, -1, nullptr, nullptr);
        }
    }
    Clock::time_point start = Clock::now();
    bool saved = StoreProject(ProjectDocument) && ProjectDocument->Save(project.c_str());
    double save = Since(start);
    start = Clock::now();
    bool loaded = OpenProject(project.c_str()) == 0;
    double load = Since(start);
    int entries = CountEntries(ProjectRoot());
    for (const ProjectNode* folder = ProjectRoot()->firstChild; folder;
         folder = folder->nextSibling)
        entries += CountEntries(folder);
    start = Clock::now();
    ClearProject();
    double clear = Since(start);
    if (!saved || !loaded || entries != 200200) {
        fprintf(stderr, "the large project did not save and load whole\n");
        return false;
    }
    printf("200,000 entries in 200 folders: save %.0f ms, load %.0f ms, free %.0f ms\n", save, load,
           clear);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string mode = argc > 2 ? argv[1] : "";
    if (!((mode == "files" && argc == 4) || (mode == "large" && argc == 3))) {
        fprintf(stderr, "usage: project_scale files <scratch> <N> | large <scratch>\n");
        return 2;
    }
    AppSettings = new SettingsDocument;  // empty settings, as on a first run
    bool ok;
    if (mode == "files") {
        Figures figures;
        int count = atoi(argv[3]);
        ok = MeasureFiles(argv[2], count, &figures);
        if (ok)
            printf("%d %.2f %.2f %.2f\n", count, figures.add, figures.save, figures.load);
    } else {
        ok = MeasureLargeProject(argv[2]);
    }
    DestroyDocuments();
    return ok ? 0 : 1;
}
