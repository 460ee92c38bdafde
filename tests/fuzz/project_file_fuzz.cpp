// Opens the input as a project file, saves it and opens the saved file again (the same tree), then
// builds the archive into memory and reads it back with the test support's ZIP reader. The sources
// are a few small files of the work directory; paths that could reach outside it are cut off.

#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "archive/archive_builder.h"
#include "core/app_state.h"
#include "core/settings_document.h"
#include "core/text_utf8.h"
#include "project/archive_settings.h"
#include "project/project_file.h"
#include "project/project_node.h"
#include "project/project_state.h"
#include "project/properties.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/error_recorder.h"
#include "tests/support/zip_check.h"

namespace {

constexpr size_t kMaxInput = 1 << 14;  // deep enough trees; keeps one run in milliseconds

// An entry's name below the root: its folders' names, outermost first, joined by `separator`.
std::string PathOf(const ProjectNode* node, const char* separator)
{
    std::string path = node->name;
    for (const ProjectNode* folder = node->parent; folder != ProjectRoot(); folder = folder->parent)
        path = folder->name + (separator + path);
    return path;
}

template <class Visit>
void ForEachEntry(Visit visit)
{
    for (ProjectNode* n = ProjectRoot()->firstChild; n; n = const_cast<ProjectNode*>(NextInTree(n, ProjectRoot())))
        visit(n);
}

// Everything a project file keeps of the tree, one line per entry (no name read holds a TAB).
std::string DescribeTree()
{
    std::string text = std::string("root ") + ProjectRoot()->name + "\n";
    ForEachEntry([&](const ProjectNode* n) {
        text += PathOf(n, "\t") + (n->IsFolder() ? "|folder|" : "|file|") + n->sourcePath + "|" +
                std::to_string(n->level) + "|" + (n->password ? "1" + std::string(n->password) : "0") + "\n";
    });
    return text;
}

// A source path that stays inside the work directory: relative and without a ".." step.
bool StaysInside(const std::string& path)
{
    return path[0] != '/' && ("/" + path + "/").find("/../") == std::string::npos;
}

// Whether an archive name stays in the folder Windows extracts it to: in code page 932 a trail
// byte 0x5C is no backslash; no step may be empty, "." or ".." once trailing dots and spaces go.
bool StaysInFolder(const std::string& name, bool cp932)
{
    std::string step;
    for (size_t i = 0; i <= name.size(); ++i) {
        unsigned char c = i < name.size() ? static_cast<unsigned char>(name[i]) : '/';
        if (cp932 && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC))) {
            unsigned char trail = i + 1 < name.size() ? static_cast<unsigned char>(name[++i]) : 0;
            if (!((trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC)))
                return false;
            step += "xx";
        } else if (c == '\\' || c == ':') {
            return false;
        } else if (c != '/') {
            step += static_cast<char>(c);
        } else if (step.find_last_not_of(". ") == std::string::npos) {
            return false;
        } else {
            step.clear();
        }
    }
    return true;
}

// Every entry is one file entry of the tree (by its code page 932 or UTF-8 name) with a safe name,
// its source's bytes and the method and encryption it inherits; a build without error has them all.
void CheckArchive(const std::string& bytes, int result, const CollectingReporter& report)
{
    std::multimap<std::string, const ProjectNode*> files;  // by full name in the archive
    PasswordMap passwords;
    ForEachEntry([&](const ProjectNode* n) {
        std::string name = PathOf(n, "/"), utf8;
        const char* password = EffectivePassword(n);
        for (const std::string& key : {name, Cp932ToUtf8(name.c_str(), &utf8) ? utf8 : name}) {
            if (!n->IsFolder() && password != nullptr && password[0] != '\0')
                passwords[key] = password;
            if (!n->IsFolder())
                files.emplace(key, n);
        }
    });
    if (bytes.empty()) {  // the output was refused before anything was written
        Check(result == 1 && !report.log.empty(), "no archive and no error");
        return;
    }
    ZipParsed parsed;
    testing::AssertionResult read = ParseZip(bytes, &parsed, passwords);
    if (!read)
        fprintf(stderr, "%s\n", read.message());
    Check(static_cast<bool>(read), "the archive does not read back");
    std::set<std::string> seen;
    for (const ZipEntry& e : parsed.entries) {
        Check(StaysInFolder(e.name, (e.flags & 0x800) == 0) &&
                  (e.unicodeName.empty() || StaysInFolder(e.unicodeName, false)),
              "an archive name escapes the extraction folder");
        Check(seen.insert(e.name).second, "two entries of one name");
        auto range = files.equal_range(e.name);
        bool matched = false;
        for (auto it = range.first; it != range.second && !matched; ++it) {
            const char* password = EffectivePassword(it->second);
            bool stored = (e.method == 99 ? e.aesMethod : e.method) == 0;
            matched = e.data == ReadWholeFile(it->second->sourcePath) &&
                      ((e.flags & 1) != 0) == (password != nullptr && password[0] != '\0') &&
                      (EffectiveLevel(it->second) != 0 || stored);
        }
        Check(matched, "an entry that is no file of the project, or not with its data or method");
    }
    int count = CountArchiveFiles();
    bool complete = static_cast<int>(parsed.entries.size()) == count && report.steps == count;
    Check(result != 0 || complete, "a build without error lost or did not step a file");
    Check(result == 0 || !report.log.empty(), "a failed build without a log line");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const TempDir& dir = WorkDirectory::Dir();
    dir.WriteFile("a.txt", CompressibleText(300));
    dir.WriteFile("b.bin", RandomBytes(200, 7));  // does not shrink: stored
    dir.WriteFile("empty", "");
    dir.MakeDir("sub");  // a source that cannot be read
    dir.WriteFile("sub/c.txt", "c\r\n");
    dir.WriteFile("\x83\x5C.txt", "so");  // ソ.txt: its trail byte is 0x5C
    AppSettings = new SettingsDocument;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kMaxInput)
        return 0;
    WorkDirectory inside;
    ErrorRecorder errors;
    inside.Dir().WriteFile("in.pwp", std::string(reinterpret_cast<const char*>(data), size));
    int opened = OpenProject("in.pwp");
    Check(opened == 0 || !errors.texts.empty(), "a failed open without a message");

    std::string tree = DescribeTree();
    Check(StoreProject(ProjectDocument), "a tree read from a file could not be stored");
    Check(ProjectDocument->Save("out.pwp"), "the project could not be saved");
    errors.texts.clear();
    Check(OpenProject("out.pwp") == 0 && errors.texts.empty(), "the saved project does not open");
    Check(DescribeTree() == tree, "the tree changed through a save and a reload");

    ForEachEntry([](ProjectNode* n) {
        if (!StaysInside(n->sourcePath))
            strcpy(n->sourcePath, "outside");
    });
    Sink sink;
    zlib_filefunc_def output{OpenSink, &sink};
    SetArchiveOutputForTesting(&output);
    CollectingReporter report;
    int result = BuildArchive("memory.zip", &report, EffectiveArchiveOptions());
    SetArchiveOutputForTesting(nullptr);
    CheckArchive(sink.Bytes(), result, report);
    return 0;
}
