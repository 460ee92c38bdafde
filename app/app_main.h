#pragma once
#include <windows.h>

// The program's entry: works out the executable's directory, reads the command line and runs
// batch or windowed mode. Returns the exit code. The arguments come from __argc/__argv.
int AppMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);

// Batch mode: settings, project, one compression job. 0 only when the archive was built. Quiet,
// it shows no window at all: messages and the job's log go to standard output.
int RunBatch(const char* projectPath, const char* outputPath, bool quiet);

// Windowed mode.
int RunGui(HINSTANCE instance, HINSTANCE previousInstance, int showCommand);
