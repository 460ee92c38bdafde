#include "core/exe_path.h"

#include <gtest/gtest.h>

#include <string>

TEST(JoinExePath, RefusesPathsBeyondTheLimit)
{
    char buffer[260];
    std::string directory = "C:\\Program Files\\packwren\\";
    const char* path = JoinExePath(directory.c_str(), "packwren.ini", buffer);
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(std::string(path), directory + "packwren.ini");

    // 247 + 12 = 259 bytes still fit; one more byte does not.
    std::string fits = "C:\\" + std::string(243, 'd') + "\\";
    ASSERT_EQ(fits.size() + 12, 259u);
    EXPECT_NE(JoinExePath(fits.c_str(), "packwren.ini", buffer), nullptr);
    std::string tooLong = "C:\\" + std::string(244, 'd') + "\\";
    EXPECT_EQ(JoinExePath(tooLong.c_str(), "packwren.ini", buffer), nullptr);
    EXPECT_EQ(JoinExePath("", "", buffer), nullptr);
}
