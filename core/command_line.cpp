#include "core/command_line.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/format_text.h"
#include "core/strings.h"

namespace {

// Takes a path argument without its quotes. One that does not fit is refused whole: cut, it would
// name another file.
void TakePath(const char* argument, char (&destination)[260], CommandLine* result,
              void (*print)(const char* line))
{
    std::string path(argument);
    StripQuotes(&path[0]);
    path.resize(strlen(path.c_str()));
    if (FormatText(destination, sizeof destination, "%s", path.c_str()) < 0) {
        char message[600];
        FormatText(message, sizeof message, "パスが長すぎます。(%s)\n", path.c_str());
        print(message);
        destination[0] = '\0';
        result->refused = true;
    }
}

}  // namespace

void ParseCommandLine(int argc, const char* const* argv, CommandLine* result,
                      void (*print)(const char* line))
{
    char message[600];
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (argument[0] != '-') {
            if (result->projectArgument[0] != '\0') {
                FormatText(message, sizeof message, "すでにファイルが指定されています。(%s)\n", argument);
                print(message);
            }
            TakePath(argument, result->projectArgument, result, print);
        } else if (argument[1] == 'o') {
            if (i + 1 >= argc) {
                // The last -o names nothing: the output counts as missing, and nothing past the
                // argument list is read.
                FormatText(message, sizeof message, "出力ファイルが指定されていません。(%s)\n", argument);
                print(message);
                result->outputArgument[0] = '\0';
                continue;
            }
            if (result->outputArgument[0] != '\0') {
                FormatText(message, sizeof message, "すでに出力ファイルが指定されています。(%s)\n",
                           result->outputArgument);
                print(message);
            }
            ++i;
            TakePath(argv[i], result->outputArgument, result, print);
        } else if (argument[1] == 'q' && argument[2] == '\0') {
            result->quiet = true;
        } else if (argument[1] == 't' && argument[2] == '\0') {
            // The value must be all digits: "-t 2x" or a missing value is said, not guessed.
            const char* value = i + 1 < argc ? argv[++i] : "";
            char* end = nullptr;
            long threads = strtol(value, &end, 10);
            if (value[0] < '0' || value[0] > '9' || *end != '\0' || threads < 1 || threads > 64) {
                FormatText(message, sizeof message, "スレッド数は1から64で指定してください。(%s)\n", value);
                print(message);
            } else {
                result->threads = static_cast<int>(threads);
            }
        } else {
            FormatText(message, sizeof message, "Unknown option(%s)\n", argument);
            print(message);
        }
    }
}

bool IsBatchRequest(const CommandLine& commandLine)
{
    return commandLine.projectArgument[0] != '\0' && commandLine.outputArgument[0] != '\0';
}
