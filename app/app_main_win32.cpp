#include "app/app_main.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/archive_builder.h"
#include "archive/archive_job.h"
#include "core/app_state.h"
#include "core/command_line.h"
#include "core/exe_path.h"
#include "core/format_text.h"
#include "core/report.h"
#include "core/settings_document.h"
#include "ui/compress_job.h"
#include "project/project_file.h"
#include "project/project_tree.h"

namespace {

// Standard output is a text stream, which turns "\n" into CR LF: texts that end their lines in
// CR LF already lose the CR here, or a pipe would see CR CR LF.
void PrintText(const char* text)
{
    for (const char* at = text; *at != '\0'; ++at) {
        if (!(at[0] == '\r' && at[1] == '\n'))
            fputc(*at, stdout);
    }
    fflush(stdout);
}

void PrintError(const char* text, const char* title)
{
    PrintText(text);
    PrintText("\n");
}

// An unattended run shows every line on standard output. A program of the windows subsystem has
// none unless the caller redirected it; started from a console, it writes to that console.
void AttachParentConsole()
{
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output != nullptr && output != INVALID_HANDLE_VALUE)
        return;
    if (AttachConsole(ATTACH_PARENT_PROCESS))
        freopen("CONOUT$", "w", stdout);
}

class PrintReporter : public BuildReporter {
public:
    void LogLine(const char* line) override { PrintText(line); }
    void Step() override {}
};

bool RunQuietJob(const char* outputPath)
{
    PrintReporter reporter;
    ResetArchiveAbort();
    return RunArchiveJob(outputPath, &reporter);
}

}  // namespace

int RunBatch(const char* projectPath, const char* outputPath, bool quiet)
{
    int exitCode = 1;
    ErrorReporter previous = quiet ? SetErrorReporter(PrintError) : nullptr;
    if (OpenAppSettings() && OpenProject(projectPath) == 0 &&
        (quiet ? RunQuietJob(outputPath) : StartCompressJob(nullptr, outputPath, true)))
        exitCode = 0;
    ClearProject();
    DestroyDocuments();
    if (quiet)
        SetErrorReporter(previous);
    return exitCode;
}

int AppMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR, int showCommand)
{
    ComputeExeDirectory();

    // The complaints wait until it is known whether -q sends them to a console.
    static std::vector<std::string> complaints;
    CommandLine commandLine;
    ParseCommandLine(__argc, __argv, &commandLine,
                     [](const char* line) { complaints.push_back(line); });
    if (commandLine.quiet)
        AttachParentConsole();
    for (const std::string& line : complaints)
        PrintText(line.c_str());
    FormatText(ProjectArgument, sizeof ProjectArgument, "%s", commandLine.projectArgument);

    if (commandLine.refused) {
        if (!commandLine.quiet)
            ReportError("パスが長すぎます。", "パックレン：コマンドライン");
        return 1;
    }
    if (commandLine.quiet && !IsBatchRequest(commandLine)) {
        PrintText("-q にはプロジェクトファイルと -o の出力ファイルが必要です。\n");
        return 1;
    }
    SetArchiveThreads(commandLine.threads);
    if (IsBatchRequest(commandLine))
        return RunBatch(commandLine.projectArgument, commandLine.outputArgument, commandLine.quiet);
    return RunGui(instance, previousInstance, showCommand);
}
