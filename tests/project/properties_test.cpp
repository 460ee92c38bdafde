#include "project/properties.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/settings_document.h"
#include "project/archive_settings.h"
#include "tests/support/project_fixture.h"

namespace {

using Keys = std::vector<std::pair<const char*, const char*>>;

class PropertiesTest : public ProjectTest {
protected:
    // Both PROPERTY sections hold exactly these keys.
    void SetDocuments(const Keys& application, const Keys& projectKeys)
    {
        app.Clear();
        project.Clear();
        for (auto& [key, value] : application)
            app.SetValue("PROPERTY", key, value);
        for (auto& [key, value] : projectKeys)
            project.SetValue("PROPERTY", key, value);
    }
    static std::string Status(const ProjectNode* node)
    {
        char text[256];
        EntryStatusText(node, text, sizeof text);
        return text;
    }
};

}  // namespace

TEST_F(PropertiesTest, TheProjectTakesTheApplicationDefaultWhereItsSwitchIsOff)
{
    const Keys app7{{"COMPRESSLEVEL", "7"}}, appPassword{{"PASSWORD", "app"}};
    struct { Keys application, project; int level; const char* password; } rows[] = {
        {{}, {}, -1, nullptr},
        {app7, {{"COMPLEVELENABLE", "0"}, {"COMPRESSLEVEL", "2"}}, 7, nullptr},
        {app7, {{"COMPLEVELENABLE", "10"}, {"COMPRESSLEVEL", "2"}}, 2, nullptr},
        {app7, {{"COMPLEVELENABLE", " 1"}, {"COMPRESSLEVEL", "2"}}, 7, nullptr},
        // The application's value counts whatever its own switch says.
        {{{"COMPLEVELENABLE", "0"}, {"COMPRESSLEVEL", "5"}}, {}, 5, nullptr},
        {{{"COMPRESSLEVEL", ""}}, {}, 0, nullptr},
        // The deciding scope lacks the key: nothing, not the next scope's value.
        {app7, {{"COMPLEVELENABLE", "1"}}, -1, nullptr},
        {appPassword, {{"PASSWORDENABLE", "1"}, {"PASSWORD", "proj"}}, -1, "proj"},
        {appPassword, {{"PASSWORDENABLE", "0"}, {"PASSWORD", "proj"}}, -1, "app"},
        // An empty project password switches nothing on.
        {appPassword, {{"PASSWORDENABLE", "1"}, {"PASSWORD", ""}}, -1, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("row " + std::to_string(&row - rows));
        SetDocuments(row.application, row.project);
        ApplyProjectProperties();
        EXPECT_EQ(Root()->level, row.level);
        EXPECT_EQ(Root()->ownsPassword, 0);
        EXPECT_STREQ(Root()->password, row.password);
    }
}

// The options as "name code, encryption, verify" digits; the status of an entry with a password.
TEST_F(PropertiesTest, ArchiveOptionsComeFromTheProjectThenTheApplicationAndShowInTheStatus)
{
    const std::string start = "圧縮レベル:- パスワード:";
    struct { Keys application, project; const char *options, *password, *status; } rows[] = {
        {{}, {}, "000", "pw", "pw"},
        {{{"NAMECODE", "2"}, {"ENCRYPTION", "1"}, {"VERIFY", "1"}}, {}, "211", "pw",
         "pw 名前:UTF-8 暗号:AES-256 検査:する"},
        {{{"NAMECODE", "2"}}, {{"NAMECODE", "1"}}, "100", "pw", "pw 名前:SJIS+Unicode"},
        // The project's own 0 is a value, not a gap.
        {{{"NAMECODE", "2"}, {"VERIFY", "1"}}, {{"NAMECODE", "0"}}, "001", "pw", "pw 検査:する"},
        // Values that are not a choice count as not set, in the project and in the application.
        {{{"ENCRYPTION", "1"}}, {{"NAMECODE", "3"}, {"ENCRYPTION", " 0"}, {"VERIFY", "1x"}}, "010",
         "pw", "pw 暗号:AES-256"},
        {{{"NAMECODE", ""}, {"ENCRYPTION", "2"}, {"VERIFY", "-1"}}, {}, "000", "pw", "pw"},
        // Without a password the encryption method applies to nothing.
        {{}, {{"ENCRYPTION", "1"}}, "010", "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("row " + std::to_string(&row - rows));
        SetDocuments(row.application, row.project);
        ArchiveOptions options = EffectiveArchiveOptions();
        EXPECT_EQ(std::to_string(options.nameCode) + std::to_string(options.encryption) +
                      std::to_string(options.verify),
                  row.options);
        std::string path = "C:\\row" + std::to_string(&row - rows);
        ProjectNode* entry = InsertChild(Root(), path.c_str(), false, row.password, -1, nullptr,
                                         nullptr);
        EXPECT_EQ(Status(entry), start + row.status);
    }
    // Inheritance is the archive tests' part; the status shows every level up to 9.
    EXPECT_EQ(Status(InsertChild(Root(), "C:\\nine", false, nullptr, 9, nullptr, nullptr)),
              "圧縮レベル:9 パスワード:");
}

// Confirmed settings go to every selected row, each with its own copy of the password.
TEST_F(PropertiesTest, PasswordsAreRefusedWhenAProjectFileCannotCarryThemAndGoToTheSelection)
{
    ProjectNode* file = File(Root(), "C:\\a");
    struct { std::string password; bool accepted; } rows[] = {
        {"", true}, {"パス ワード=1", true}, {std::string(259, 'p'), true},
        {std::string(260, 'p'), false}, {"tab\there", false}, {"lf\n", false}, {"cr\r", false},
        {"\x01", false}, {"\x1f", false},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(SetOwnPassword(file, "before"));
        EXPECT_EQ(SetOwnPassword(file, row.password.c_str()), row.accepted) << row.password;
        EXPECT_EQ(file->password, row.accepted ? row.password : std::string("before"));
    }
    EXPECT_FALSE(SetOwnPassword(Root(), "x"));  // the root's comes from the documents

    ProjectNode* b = InsertChild(Root(), "C:\\b", false, "pb", 2, nullptr, nullptr);
    ProjectNode* unselected = InsertChild(Root(), "C:\\d", false, "pd", 4, nullptr, nullptr);
    RecordingView view;
    view.selected = {file, b};
    SetProjectView(&view);
    EXPECT_TRUE(ApplyPropertiesToSelection(b));
    EXPECT_EQ(std::string(file->password ? file->password : "-") + std::to_string(file->level), "pb2");
    EXPECT_NE(file->password, b->password);
    EXPECT_STREQ(unselected->password, "pd");
    EXPECT_TRUE(SetOwnPassword(b, nullptr));
    b->level = -1;
    EXPECT_TRUE(ApplyPropertiesToSelection(b));
    EXPECT_EQ(file->password, nullptr);
    EXPECT_EQ(file->ownsPassword, 0);
    EXPECT_EQ(file->level, -1);
}
