#include "project/list_columns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "project/project_node.h"

TEST(FormatSizeKB, RoundsUpAndGroupsDigits)
{
    struct {
        int64_t size;
        const char* text;
    } rows[] = {{0, "0 KB"},         {1, "1 KB"},           {1024, "1 KB"},
                {1025, "2 KB"},      {1048576, "1,024 KB"}, {1500000000, "1,464,844 KB"},
                {999 * 1024, "999 KB"}, {1000 * 1024, "1,000 KB"},
                // 2 GiB and beyond keep their real size.
                {INT64_C(2147483648), "2,097,152 KB"}, {INT64_C(5000000000000), "4,882,812,500 KB"}};
    for (const auto& row : rows) {
        char text[20];
        FormatSizeKB(row.size, text, sizeof text);
        EXPECT_STREQ(text, row.text) << row.size;
    }
}

namespace {

ProjectNode Entry(const char* name, bool folder, int64_t size = 0, const char* time = "",
                  const char* source = "")
{
    ProjectNode node;
    strcpy(node.name, name);
    node.flags = folder ? NODE_FOLDER : 0;
    node.fileSize = size;
    strcpy(node.timeText, time);
    strcpy(node.sourcePath, source);
    return node;
}

std::string Sorted(std::vector<ProjectNode>& nodes, int32_t key)
{
    std::vector<const ProjectNode*> order;
    for (const ProjectNode& node : nodes)
        order.push_back(&node);
    std::sort(order.begin(), order.end(),
              [key](const ProjectNode* a, const ProjectNode* b) { return CompareEntries(a, b, key) < 0; });
    std::string names;
    for (const ProjectNode* node : order)
        names += std::string(node->name) + " ";
    return names;
}

}  // namespace

TEST(CompareEntries, OrdersEachColumnBothWays)
{
    std::vector<ProjectNode> nodes = {
        Entry("a", false, 10, "2020/01/01 00:00:00", "C:\\z"),
        Entry("B", false, 10, "2019/05/05 00:00:00", "C:\\y"),
        Entry("dir", true),
        Entry("big", false, INT64_C(3000000000), "2021/01/01 00:00:00", "C:\\a"),
        Entry("one", false, 1, "2018/01/01 00:00:00", "C:\\b"),
    };
    // Folders first by name; bytes compare case-sensitively, so "B" comes before "a".
    EXPECT_EQ(Sorted(nodes, 0), "dir B a big one ");
    EXPECT_EQ(Sorted(nodes, kSortDescending), "one big a B dir ");
    // An empty folder before a 1-byte file; equal sizes by name; 3 GB after everything.
    EXPECT_EQ(Sorted(nodes, 1), "dir one B a big ");
    EXPECT_EQ(Sorted(nodes, 1 | kSortDescending), "big a B one dir ");
    EXPECT_EQ(Sorted(nodes, 2), "dir one B a big ");
    EXPECT_EQ(Sorted(nodes, 3), "dir big one B a ");
    EXPECT_EQ(Sorted(nodes, 7), "B a big dir one ");
}

TEST(NextSortKey, SameColumnFlipsAnotherStartsAscending)
{
    EXPECT_EQ(NextSortKey(0, 0), kSortDescending);  // saved as -2147483648
    EXPECT_EQ(NextSortKey(kSortDescending, 0), 0);
    EXPECT_EQ(NextSortKey(2 | kSortDescending, 1), 1);
    EXPECT_EQ(NextSortKey(2, 2), 2 | kSortDescending);  // -2147483646
}
