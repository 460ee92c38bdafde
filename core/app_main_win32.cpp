#include "core/app_main.h"

#include <cstdio>
#include <cstdlib>

#include "core/app_state.h"
#include "core/command_line.h"
#include "core/exe_path.h"
#include "core/format_text.h"
#include "core/settings_document.h"
#include "ui/compress_job.h"
#include "project/project_file.h"
#include "project/project_tree.h"

namespace {

// The program has no console: these lines are seen only when standard output is redirected.
void PrintLine(const char* line)
{
    fputs(line, stdout);
    fflush(stdout);
}

}  // namespace

int RunBatch(const char* projectPath, const char* outputPath)
{
    int exitCode = 1;
    if (OpenAppSettings() && OpenProject(projectPath) == 0 && StartCompressJob(nullptr, outputPath, true))
        exitCode = 0;
    ClearProject();
    DestroyDocuments();
    return exitCode;
}

int AppMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR, int showCommand)
{
    ComputeExeDirectory();

    CommandLine commandLine;
    ParseCommandLine(__argc, __argv, &commandLine, PrintLine);
    FormatText(ProjectArgument, sizeof ProjectArgument, "%s", commandLine.projectArgument);

    if (IsBatchRequest(commandLine))
        return RunBatch(commandLine.projectArgument, commandLine.outputArgument);
    return RunGui(instance, previousInstance, showCommand);
}
