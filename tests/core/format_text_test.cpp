#include "core/format_text.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(FormatText, FitsCutsAndAlwaysTerminates)
{
    struct Row {
        const char* text;
        int expectedResult;
        const char* expectedBuffer;
    } rows[] = {
        {"0123456789", -1, "0123456"},
        {"0123456", 7, "0123456"},
        {"01234567", -1, "0123456"},
        {"", 0, ""},
    };
    for (const Row& row : rows) {
        char buffer[8];
        memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(FormatText(buffer, sizeof buffer, "%s", row.text), row.expectedResult) << row.text;
        EXPECT_STREQ(buffer, row.expectedBuffer) << row.text;
    }
}

TEST(FormatText, ConversionsAndFitTest)
{
    char buffer[260];
    EXPECT_EQ(FormatText(buffer, sizeof buffer, "%s\\%02d:%d", "dir", 7, -12), 10);
    EXPECT_STREQ(buffer, "dir\\07:-12");
    // The fit test callers use: the result taken as unsigned above 259 means "does not fit".
    char longText[300];
    memset(longText, 'a', sizeof longText - 1);
    longText[sizeof longText - 1] = '\0';
    EXPECT_GT(static_cast<unsigned>(FormatText(buffer, sizeof buffer, "%s", longText)), 259u);
    EXPECT_EQ(strlen(buffer), 259u);
}
