// Opens the input as a project file, stores and saves the project, opens the saved file again
// (the tree must be the same, entry for entry), then builds the archive into memory and reads it
// with the test support's own ZIP reader: every entry must be a file entry of the tree under its
// folders' names, hold its source's bytes, be encrypted exactly when a password applies, and have
// a name that stays inside the folder it is extracted to.
//
// The sources are a few small files made once in the work directory; source paths that could
// reach outside it are pointed at a missing file before the build.

#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

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
#include "tests/support/temp_dir.h"
#include "tests/support/zip_check.h"

namespace {

constexpr size_t kMaxInput = 1 << 14;  // deep enough trees; keeps one run in milliseconds

// Calls visit(node, folders) for every entry in pre-order, with the folders that hold it,
// outermost first.
template <class Visit>
void WalkTree(Visit visit)
{
    const ProjectNode* root = ProjectRoot();
    std::vector<const ProjectNode*> folders;
    for (const ProjectNode* node = NextInTree(root, root); node; node = NextInTree(node, root)) {
        while (!folders.empty() && folders.back() != node->parent)
            folders.pop_back();
        visit(node, folders);
        if (node->IsFolder())
            folders.push_back(node);
    }
}

// Everything a project file keeps of the tree, one line per entry.
std::string DescribeTree()
{
    std::string text = std::string("root ") + ProjectRoot()->name + "\n";
    WalkTree([&](const ProjectNode* node, const std::vector<const ProjectNode*>& folders) {
        text += std::to_string(folders.size()) + (node->IsFolder() ? " folder " : " file ") +
                node->name + "|" + node->sourcePath + "|" + std::to_string(node->level) + "|" +
                (node->password != nullptr ? std::string("1") + node->password : "0") + "\n";
    });
    return text;
}

// A path that stays inside the work directory: relative and without a ".." step.
bool StaysInside(const char* path)
{
    if (path[0] == '/')
        return false;
    std::string step;
    for (const char* p = path;; ++p) {
        if (*p == '/' || *p == '\0') {
            if (step == "..")
                return false;
            if (*p == '\0')
                return true;
            step.clear();
        } else {
            step += *p;
        }
    }
}

// Why an archive name could escape the folder it is extracted to on Windows, or none. Read as
// code page 932 characters, a lead byte (0x81-0x9F, 0xE0-0xFC) takes the next byte as its trail
// (0x40-0x7E, 0x80-0xFC), so a 0x5C there is no backslash; in UTF-8 no byte of a character
// beyond ASCII is an ASCII one. No step may be empty, "." or ".." once Windows has trimmed its
// trailing dots and spaces.
const char* EscapeReason(const std::string& name, bool cp932)
{
    std::vector<std::string> steps(1);
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (cp932 && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC))) {
            unsigned char trail = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
            if (!((trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC)))
                return "a lead byte without its trail byte";
            steps.back().append(name, i, 2);
            ++i;
        } else if (c == '\\' || c == ':') {
            return "a backslash or colon";
        } else if (c == '/') {
            steps.emplace_back();
        } else {
            steps.back() += static_cast<char>(c);
        }
    }
    for (const std::string& step : steps) {
        if (step.find_last_not_of(". ") == std::string::npos)
            return "an empty, \".\" or \"..\" step (after Windows trims trailing dots and spaces)";
    }
    return nullptr;
}

class CollectingReporter : public BuildReporter {
public:
    void LogLine(const char* line) override { log += line; }
    void Step() override { ++steps; }
    std::string log;
    int steps = 0;
};

struct FileEntry {
    const ProjectNode* node;
    std::string password;  // the effective one; empty: none
};

void CheckArchive(const std::string& bytes, int result, const CollectingReporter& report)
{
    std::multimap<std::string, FileEntry> files;  // by full name in the archive
    PasswordMap passwords;
    WalkTree([&](const ProjectNode* node, const std::vector<const ProjectNode*>& folders) {
        if (node->IsFolder())
            return;
        std::string name;
        for (const ProjectNode* folder : folders)
            name += std::string(folder->name) + "/";
        name += node->name;
        const char* password = EffectivePassword(node);
        FileEntry entry{node, password != nullptr ? password : ""};
        // Archives with UTF-8 names (bit 11) name their entries so.
        std::string utf8;
        for (const std::string& key : {name, Cp932ToUtf8(name.c_str(), &utf8) ? utf8 : name}) {
            if (!entry.password.empty())
                passwords[key] = entry.password;
            files.emplace(key, entry);
        }
    });

    if (bytes.empty()) {  // the output was refused before anything was written
        Check(result == 1 && !report.log.empty(), "no archive and no error");
        return;
    }
    ZipParsed parsed;
    testing::AssertionResult read = ParseZip(bytes, &parsed, passwords);
    if (!read) {
        fprintf(stderr, "the archive does not read back: %s\n", read.message());
        Check(false, "archive");
    }
    std::set<std::string> seen;
    for (const ZipEntry& e : parsed.entries) {
        const char* reason = EscapeReason(e.name, (e.flags & 0x800) == 0);
        if (reason == nullptr && !e.unicodeName.empty())
            reason = EscapeReason(e.unicodeName, false);
        if (reason != nullptr) {
            fprintf(stderr, "unsafe name \"%s\": %s\n", Escaped(e.name).c_str(), reason);
            Check(false, "an archive name escapes the extraction folder");
        }
        Check(seen.insert(e.name).second, "two entries of one name");
        auto range = files.equal_range(e.name);
        Check(range.first != range.second, "an entry that is no file entry of the project");
        bool matched = false;
        for (auto it = range.first; it != range.second && !matched; ++it) {
            const FileEntry& file = it->second;
            matched = e.data == ReadWholeFile(file.node->sourcePath) &&
                      ((e.flags & 1) != 0) == !file.password.empty() &&
                      (EffectiveLevel(file.node) != 0 ||
                       (e.method == 99 ? e.aesMethod : e.method) == 0);
        }
        if (!matched) {
            fprintf(stderr, "entry \"%s\"\n", Escaped(e.name).c_str());
            Check(false, "an entry whose data, encryption or method is not its file's");
        }
    }
    int count = CountArchiveFiles();
    if (result == 0) {
        Check(static_cast<int>(parsed.entries.size()) == count, "a build without error lost files");
        Check(report.steps == count, "a build without error did not step every file");
    } else {
        Check(!report.log.empty(), "a failed build without a log line");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    WorkDirectory inside;
    WriteWholeFile("a.txt", CompressibleText(300));
    WriteWholeFile("b.bin", RandomBytes(200, 7));  // does not shrink: stored
    WriteWholeFile("empty", "");
    Check(mkdir("sub", 0755) == 0, "cannot make a directory");  // a source that cannot be read
    WriteWholeFile("sub/c.txt", "c\r\n");
    WriteWholeFile("\x83\x5C.txt", "so");  // ソ.txt: its trail byte is 0x5C
    AppSettings = new SettingsDocument;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kMaxInput)
        return 0;
    WorkDirectory inside;
    ErrorRecorder errors;
    WriteWholeFile("in.pwp", std::string(reinterpret_cast<const char*>(data), size));
    int opened = OpenProject("in.pwp");
    Check(opened == 0 || !errors.texts.empty(), "a failed open without a message");

    std::string tree = DescribeTree();
    Check(StoreProject(ProjectDocument), "a tree read from a file could not be stored");
    Check(ProjectDocument->Save("out.pwp"), "the project could not be saved");
    errors.texts.clear();
    Check(OpenProject("out.pwp") == 0 && errors.texts.empty(), "the saved project does not open");
    CheckSame(DescribeTree(), tree, "the tree after a save and a reload");

    WalkTree([](const ProjectNode* node, const std::vector<const ProjectNode*>&) {
        if (!StaysInside(node->sourcePath))
            strcpy(const_cast<ProjectNode*>(node)->sourcePath, "outside");
    });
    Sink sink;
    zlib_filefunc_def output{OpenSink, &sink};
    SetArchiveOutputForTesting(&output);
    CollectingReporter report;
    int result = BuildArchive("memory.zip", &report, EffectiveArchiveOptions());
    SetArchiveOutputForTesting(nullptr);
    CheckArchive(sink.bytes, result, report);
    return 0;
}
