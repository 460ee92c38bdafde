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

CommandLine Parse(std::vector<const char*> arguments)
{
    g_printed.clear();
    arguments.insert(arguments.begin(), "packwren.exe");
    CommandLine result;
    ParseCommandLine(static_cast<int>(arguments.size()), arguments.data(), &result, Record);
    return result;
}

}  // namespace

TEST(CommandLine, ProjectAndOutputMakeABatchRequest)
{
    CommandLine line = Parse({"a.pwp", "-o", "out.zip"});
    EXPECT_STREQ(line.projectArgument, "a.pwp");
    EXPECT_STREQ(line.outputArgument, "out.zip");
    EXPECT_TRUE(IsBatchRequest(line));
    EXPECT_TRUE(g_printed.empty());
}

TEST(CommandLine, RepeatedArgumentsAreReportedAndTheLastWins)
{
    CommandLine line = Parse({"a.pwp", "b.pwp"});
    EXPECT_STREQ(line.projectArgument, "b.pwp");
    ASSERT_EQ(g_printed.size(), 1u);
    EXPECT_EQ(g_printed[0], "すでにファイルが指定されています。(b.pwp)\n");
    EXPECT_FALSE(IsBatchRequest(line));

    line = Parse({"p.pwp", "-o", "x.zip", "-out", "y.zip"});
    EXPECT_STREQ(line.outputArgument, "y.zip");
    ASSERT_EQ(g_printed.size(), 1u);
    EXPECT_EQ(g_printed[0], "すでに出力ファイルが指定されています。(x.zip)\n");
}

TEST(CommandLine, OptionsAndValues)
{
    // The value after -o is never read as an option; -ofile counts as -o; -O does not.
    CommandLine line = Parse({"-x", "-O", "-", "p.pwp", "-ofile", "-x.zip"});
    EXPECT_STREQ(line.outputArgument, "-x.zip");
    EXPECT_STREQ(line.projectArgument, "p.pwp");
    ASSERT_EQ(g_printed.size(), 3u);
    EXPECT_EQ(g_printed[0], "Unknown option(-x)\n");
    EXPECT_EQ(g_printed[1], "Unknown option(-O)\n");
    EXPECT_EQ(g_printed[2], "Unknown option(-)\n");
    EXPECT_TRUE(IsBatchRequest(line));
}

TEST(CommandLine, QuotesLeftByTheRuntimeAreStripped)
{
    CommandLine line = Parse({"\"C:\\My Files\\a.pwp\"", "-o", "\"out dir\\x.zip\""});
    EXPECT_STREQ(line.projectArgument, "C:\\My Files\\a.pwp");
    EXPECT_STREQ(line.outputArgument, "out dir\\x.zip");
}

TEST(CommandLine, OutputWithoutValueIsMissingAndNothingPastTheListIsRead)
{
    CommandLine line = Parse({"p.pwp", "-o"});
    EXPECT_STREQ(line.outputArgument, "");
    EXPECT_FALSE(IsBatchRequest(line));
    ASSERT_EQ(g_printed.size(), 1u);
    EXPECT_EQ(g_printed[0], "出力ファイルが指定されていません。(-o)\n");

    line = Parse({"p.pwp", "-o", "x.zip", "-o"});
    EXPECT_STREQ(line.outputArgument, "");
    EXPECT_FALSE(IsBatchRequest(line));

    // An output alone does not ask for batch mode.
    EXPECT_FALSE(IsBatchRequest(Parse({"-o", "x.zip"})));
}

TEST(CommandLine, LongArgumentsAreCutToThePathLimit)
{
    std::string longName(400, 'a');
    CommandLine line = Parse({longName.c_str()});
    EXPECT_EQ(std::string(line.projectArgument), longName.substr(0, 259));
}
