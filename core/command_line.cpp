#include "core/command_line.h"

#include "core/format_text.h"
#include "core/strings.h"

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
            FormatText(result->projectArgument, sizeof result->projectArgument, "%s", argument);
            StripQuotes(result->projectArgument);
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
            FormatText(result->outputArgument, sizeof result->outputArgument, "%s", argv[i]);
            StripQuotes(result->outputArgument);
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
