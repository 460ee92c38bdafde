// Scale benchmark of the project model, one measurement per process so that every size starts
// from the same state (a fresh heap): bench/project_scale.sh runs each case at two sizes, five
// times each, and prints the median times and their ratio.
//
//   project_scale files <scratch> <N>   adds a directory of N files (made on the first run) to one
//                                       folder, saves and loads the project; prints
//                                       "N add-ms save-ms load-ms"
//   project_scale samename <scratch> <N>
//                                       adds N file entries of one name from N places to one
//                                       folder ("x.txt", "x(1).txt", ...) and saves them, then
//                                       loads a project listing N entries of that one name;
//                                       prints "N add-ms save-ms load-ms"
//   project_scale large <scratch>       saves, loads and frees a project of 200,000 entries
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// Saves the project and opens it again; false unless the folder at the top comes back with
// `count` entries.
bool SaveAndLoad(const std::string& project, int count, Figures* figures)
{
    Clock::time_point start = Clock::now();
    bool saved = StoreProject(ProjectDocument) && ProjectDocument->Save(project.c_str());
    figures->save = Since(start);

    start = Clock::now();
    bool loaded = OpenProject(project.c_str()) == 0;
    figures->load = Since(start);
    return saved && loaded && ProjectRoot()->firstChild != nullptr &&
           CountEntries(ProjectRoot()->firstChild) == count;
}

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

    if (!SaveAndLoad(project, count, figures)) {
        fprintf(stderr, "the project of %d files did not save and load whole\n", count);
        return false;
    }
    ClearProject();
    return true;
}

// Entries of one name from different places take the counters "(1)", "(2)", ... in one folder:
// added one by one, then saved, then loaded from a file that lists them all under that one name
// (as another program may write it; the names given as text take the counter at their end).
bool MeasureSameName(const std::string& scratch, int count, Figures* figures)
{
    std::string saved = Join(scratch, "same" + std::to_string(count) + ".pwp");
    std::string listed = Join(scratch, "listed" + std::to_string(count) + ".pwp");
    std::string text = "[INFOMATION]\r\nAPPLICATIONNAME=packwrenプロジェクト\r\n"
                       "APPLICATIONVERSION=1.0.0\r\n[FILELIST]\r\n0\t\t-1\t>\tsame\r\n";
    char path[64];
    for (int i = 0; i < count; ++i) {
        FormatText(path, sizeof path, "C:\\src\\%06d\\x.txt", i);
        text += std::string("0\t\t-1\tx.txt\t") + path + "\r\n";
    }
    text += "\t\t\t<\r\n\t\t\t<\r\n";
    FileHandle file = CreateForWrite(listed.c_str());
    bool written = file != kInvalidFile && WriteBytes(file, text.data(), text.size()) == text.size();
    if (file == kInvalidFile || !CloseFile(file) || !written) {
        fprintf(stderr, "cannot write %s\n", listed.c_str());
        return false;
    }

    OpenProject("");
    ProjectNode* folder = InsertChild(ProjectRoot(), nullptr, true, nullptr, -1, "same", nullptr);
    ProjectNode* node = nullptr;
    Clock::time_point start = Clock::now();
    for (int i = 0; i < count; ++i) {
        FormatText(path, sizeof path, "C:\\src\\%06d\\x.txt", i);
        node = InsertChild(folder, path, false, nullptr, -1, nullptr, nullptr);
    }
    figures->add = Since(start);
    char last[32];
    FormatText(last, sizeof last, "x(%d).txt", count - 1);
    bool added = node != nullptr && strcmp(node->name, last) == 0;

    start = Clock::now();
    bool stored = StoreProject(ProjectDocument) && ProjectDocument->Save(saved.c_str());
    figures->save = Since(start);

    start = Clock::now();
    bool loaded = OpenProject(listed.c_str()) == 0;
    figures->load = Since(start);
    folder = ProjectRoot()->firstChild;
    node = folder != nullptr ? folder->firstChild : nullptr;
    while (node != nullptr && node->nextSibling != nullptr)
        node = node->nextSibling;
    FormatText(last, sizeof last, "x.txt(%d)", count - 1);
    if (!added || !stored || !loaded || node == nullptr || strcmp(node->name, last) != 0 ||
        CountEntries(folder) != count) {
        fprintf(stderr, "the %d entries of one name did not take the counters in turn\n", count);
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
    bool counted = mode == "files" || mode == "samename";
    if (!((counted && argc == 4) || (mode == "large" && argc == 3))) {
        fprintf(stderr,
                "usage: project_scale files|samename <scratch> <N> | large <scratch>\n");
        return 2;
    }
    AppSettings = new SettingsDocument;  // empty settings, as on a first run
    bool ok;
    if (counted) {
        Figures figures;
        int count = atoi(argv[3]);
        ok = mode == "files" ? MeasureFiles(argv[2], count, &figures)
                             : MeasureSameName(argv[2], count, &figures);
        if (ok)
            printf("%d %.2f %.2f %.2f\n", count, figures.add, figures.save, figures.load);
    } else {
        ok = MeasureLargeProject(argv[2]);
    }
    DestroyDocuments();
    return ok ? 0 : 1;
}
