#pragma once

// What the command line asks for: a project file and an output file, both code page 932 paths of
// at most 259 bytes, empty when not given.
struct CommandLine {
    char projectArgument[260] = {};
    char outputArgument[260] = {};
    bool quiet = false;    // -q: a batch run that shows no window at all
    int threads = 0;       // -t N: threads that read and compress (1 to 64); 0 for the default
    bool refused = false;  // an argument did not fit: nothing may run on a cut path
};

// Reads argv[1..argc-1] left to right. Complaints (a repeated project or output, an unknown
// option, -o without a value, a path longer than 259 bytes) go to `print`, one line each; none of
// them stops the parse. Nothing beyond argc is read.
void ParseCommandLine(int argc, const char* const* argv, CommandLine* result,
                      void (*print)(const char* line));

// Batch mode runs when both a project and an output are named.
bool IsBatchRequest(const CommandLine& commandLine);
