#include "core/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_printed;

void Record(const char* line)
{
    g_printed.push_back(line);
}

}  // namespace

TEST(CommandLine, ArgumentsOptionsAndComplaints)
{
    const std::string longName(400, 'a');
    const std::string refused = "パスが長すぎます。(" + longName + ")\n";
    struct Row {
        std::vector<const char*> arguments;
        const char* project;
        const char* output;
        bool batch;
        std::vector<std::string> printed;
        bool quiet = false, refused = false;
        int threads = 0;
    } rows[] = {
        {{"a.pwp", "-o", "out.zip"}, "a.pwp", "out.zip", true, {}},
        // Repeated arguments are reported and the last wins.
        {{"a.pwp", "b.pwp"}, "b.pwp", "", false, {"すでにファイルが指定されています。(b.pwp)\n"}},
        {{"p.pwp", "-o", "x.zip", "-out", "y.zip"}, "p.pwp", "y.zip", true,
         {"すでに出力ファイルが指定されています。(x.zip)\n"}},
        // The value after -o is never read as an option; -ofile counts as -o; -O does not.
        {{"-x", "-O", "-", "p.pwp", "-ofile", "-x.zip"}, "p.pwp", "-x.zip", true,
         {"Unknown option(-x)\n", "Unknown option(-O)\n", "Unknown option(-)\n"}},
        // Quotes left by the runtime are stripped.
        {{"\"C:\\My Files\\a.pwp\"", "-o", "\"out dir\\x.zip\""}, "C:\\My Files\\a.pwp",
         "out dir\\x.zip", true, {}},
        // A last -o names nothing: the output is missing, and nothing past the list is read.
        {{"p.pwp", "-o"}, "p.pwp", "", false, {"出力ファイルが指定されていません。(-o)\n"}},
        {{"p.pwp", "-o", "x.zip", "-o"}, "p.pwp", "", false, {"出力ファイルが指定されていません。(-o)\n"}},
        {{"-o", "x.zip"}, "", "x.zip", false, {}},  // an output alone asks for no batch
        // A path over 259 bytes is refused whole, never cut to name another file.
        {{longName.c_str(), "-o", "x.zip"}, "", "x.zip", false, {refused}, false, true},
        {{"p.pwp", "-o", longName.c_str(), "-q"}, "p.pwp", "", false, {refused}, true, true},
        {{"-q", "p.pwp", "-o", "x.zip"}, "p.pwp", "x.zip", true, {}, true},
        {{"-qq"}, "", "", false, {"Unknown option(-qq)\n"}},
        {{"p.pwp", "-t", "1", "-o", "x.zip"}, "p.pwp", "x.zip", true, {}, false, false, 1},
        {{"-t", "64"}, "", "", false, {}, false, false, 64},
        // Out of range, not a number, or missing: said, and the default stays.
        {{"-t", "0", "-t", "65", "-t", "2x", "-t"}, "", "", false,
         {"スレッド数は1から64で指定してください。(0)\n", "スレッド数は1から64で指定してください。(65)\n",
          "スレッド数は1から64で指定してください。(2x)\n", "スレッド数は1から64で指定してください。()\n"}},
    };
    for (const Row& row : rows) {
        std::vector<const char*> argv{"packwren.exe"};
        argv.insert(argv.end(), row.arguments.begin(), row.arguments.end());
        SCOPED_TRACE("row " + std::to_string(&row - rows));
        g_printed.clear();
        CommandLine line;
        ParseCommandLine(static_cast<int>(argv.size()), argv.data(), &line, Record);
        EXPECT_STREQ(line.projectArgument, row.project);
        EXPECT_STREQ(line.outputArgument, row.output);
        EXPECT_EQ(IsBatchRequest(line), row.batch);
        EXPECT_EQ(g_printed, row.printed);
        EXPECT_EQ(line.quiet, row.quiet);
        EXPECT_EQ(line.refused, row.refused);
        EXPECT_EQ(line.threads, row.threads);
    }
}
