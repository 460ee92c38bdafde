#include "project/properties.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/settings_document.h"
#include "project/archive_settings.h"
#include "project/project_file.h"
#include "project/project_node.h"
#include "tests/support/project_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

class PropertiesTest : public DocumentsTest {
protected:
    static void SetProperty(SettingsDocument& document, const char* key, const char* value)
    {
        document.SetValue("PROPERTY", key, value);
    }
    // The project's own level and password, switched on, in force.
    void SetProjectProperties(const char* level, const char* password)
    {
        SetProperty(project, "COMPLEVELENABLE", "1");
        SetProperty(project, "COMPRESSLEVEL", level);
        SetProperty(project, "PASSWORDENABLE", "1");
        SetProperty(project, "PASSWORD", password);
        ApplyProjectProperties();
    }
    using Keys = std::vector<std::pair<const char*, const char*>>;
    // Both PROPERTY sections hold exactly these keys.
    void SetDocuments(const Keys& application, const Keys& projectKeys)
    {
        app.Clear();
        project.Clear();
        for (auto& [key, value] : application)
            SetProperty(app, key, value);
        for (auto& [key, value] : projectKeys)
            SetProperty(project, key, value);
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
    struct Row {
        Keys application, project;
        int level;
        const char* password;  // none: absent
    } rows[] = {
        {{}, {}, -1, nullptr},
        {{{"COMPRESSLEVEL", "7"}}, {{"COMPLEVELENABLE", "0"}, {"COMPRESSLEVEL", "2"}}, 7, nullptr},
        {{{"COMPRESSLEVEL", "7"}}, {{"COMPLEVELENABLE", "1"}, {"COMPRESSLEVEL", "2"}}, 2, nullptr},
        {{{"COMPRESSLEVEL", "7"}}, {{"COMPLEVELENABLE", "10"}, {"COMPRESSLEVEL", "2"}}, 2, nullptr},
        {{{"COMPRESSLEVEL", "7"}}, {{"COMPLEVELENABLE", " 1"}, {"COMPRESSLEVEL", "2"}}, 7, nullptr},
        // The application's value counts whatever its own switch says.
        {{{"COMPLEVELENABLE", "0"}, {"COMPRESSLEVEL", "5"}}, {}, 5, nullptr},
        {{{"COMPRESSLEVEL", ""}}, {}, 0, nullptr},
        // The deciding scope lacks the key: nothing, not the next scope's value.
        {{{"COMPRESSLEVEL", "7"}}, {{"COMPLEVELENABLE", "1"}}, -1, nullptr},
        {{{"PASSWORD", "app"}}, {{"PASSWORDENABLE", "1"}, {"PASSWORD", "proj"}}, -1, "proj"},
        {{{"PASSWORD", "app"}}, {{"PASSWORDENABLE", "0"}, {"PASSWORD", "proj"}}, -1, "app"},
        // An empty project password switches nothing on.
        {{{"PASSWORD", "app"}}, {{"PASSWORDENABLE", "1"}, {"PASSWORD", ""}}, -1, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("row " + std::to_string(&row - rows));
        SetDocuments(row.application, row.project);
        ApplyProjectProperties();
        EXPECT_EQ(Root()->level, row.level);
        EXPECT_EQ(Root()->ownsPassword, 0);
        if (row.password == nullptr) {
            EXPECT_EQ(Root()->password, nullptr);
        } else {
            EXPECT_STREQ(Root()->password, row.password);
        }
    }
}

TEST_F(PropertiesTest, ArchiveOptionsComeFromTheProjectThenTheApplicationAndShowInTheStatus)
{
    struct Row {
        Keys application, project;
        ArchiveOptions expected;
        const char* password;  // the entry's own
        const char* status;
    } rows[] = {
        {{}, {}, {0, 0, 0}, "pw", "圧縮レベル:- パスワード:pw"},
        {{{"NAMECODE", "2"}, {"ENCRYPTION", "1"}, {"VERIFY", "1"}}, {}, {2, 1, 1}, "pw",
         "圧縮レベル:- パスワード:pw 名前:UTF-8 暗号:AES-256 検査:する"},
        {{{"NAMECODE", "2"}}, {{"NAMECODE", "1"}}, {1, 0, 0}, "pw",
         "圧縮レベル:- パスワード:pw 名前:SJIS+Unicode"},
        // The project's own 0 is a value, not a gap.
        {{{"NAMECODE", "2"}, {"VERIFY", "1"}}, {{"NAMECODE", "0"}}, {0, 0, 1}, "pw",
         "圧縮レベル:- パスワード:pw 検査:する"},
        // Values that are not a choice count as not set, in the project and in the application.
        {{{"ENCRYPTION", "1"}}, {{"NAMECODE", "3"}, {"ENCRYPTION", " 0"}, {"VERIFY", "1x"}},
         {0, 1, 0}, "pw", "圧縮レベル:- パスワード:pw 暗号:AES-256"},
        {{{"NAMECODE", ""}, {"ENCRYPTION", "2"}, {"VERIFY", "-1"}}, {}, {0, 0, 0}, "pw",
         "圧縮レベル:- パスワード:pw"},
        // Without a password the encryption method applies to nothing.
        {{}, {{"ENCRYPTION", "1"}}, {0, 1, 0}, "", "圧縮レベル:- パスワード:"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("row " + std::to_string(&row - rows));
        SetDocuments(row.application, row.project);
        ArchiveOptions options = EffectiveArchiveOptions();
        EXPECT_EQ(options.nameCode, row.expected.nameCode);
        EXPECT_EQ(options.encryption, row.expected.encryption);
        EXPECT_EQ(options.verify, row.expected.verify);
        std::string path = "C:\\row" + std::to_string(&row - rows);
        EXPECT_EQ(Status(InsertChild(Root(), path.c_str(), false, row.password, -1, nullptr, nullptr)),
                  row.status);
    }
}

TEST_F(PropertiesTest, EntriesInheritEachHalfFromTheNearestHolder)
{
    SetProjectProperties("9", "project");
    ProjectNode* folder = InsertChild(Root(), nullptr, true, "folder", 3, "f", nullptr);
    ProjectNode* file = File(folder, "C:\\a");
    ProjectNode* open = InsertChild(Root(), nullptr, true, "", -1, "open", nullptr);
    ProjectNode* inOpen = File(open, "C:\\b");
    ProjectNode* odd = InsertChild(Root(), "C:\\c", false, nullptr, 12, nullptr, nullptr);

    EXPECT_EQ(Status(file), "圧縮レベル:3 パスワード:folder");
    // An empty password stops the project's from reaching the entries below.
    EXPECT_STREQ(EffectivePassword(inOpen), "");
    EXPECT_EQ(Status(inOpen), "圧縮レベル:9 パスワード:");
    EXPECT_EQ(Status(odd), "圧縮レベル:- パスワード:project");
    EXPECT_EQ(Status(Root()), "圧縮レベル:9 パスワード:project");

    project.Clear();
    ApplyProjectProperties();
    ProjectNode* bare = File(Root(), "C:\\d");
    EXPECT_EQ(EffectivePassword(bare), nullptr);
    EXPECT_EQ(Status(bare), "圧縮レベル:- パスワード:");
}

TEST_F(PropertiesTest, TheStatusLineRepeatsTheEntryShownLast)
{
    RecordingView view;
    SetProjectView(&view);
    ProjectNode* a = InsertChild(Root(), "C:\\a", false, "pa", 1, nullptr, nullptr);
    ShowEntryStatus(a);
    a->level = 2;
    ShowEntryStatus(nullptr);
    DeleteEntry(a);
    ShowEntryStatus(nullptr);  // the entry is gone: nothing to show for
    EXPECT_EQ(view.calls, (std::vector<std::string>{"Status 圧縮レベル:1 パスワード:pa",
                                                    "Status 圧縮レベル:2 パスワード:pa",
                                                    "Status 圧縮レベル:- パスワード:"}));
}

TEST_F(PropertiesTest, PasswordsAreRefusedWhenAProjectFileCannotCarryThem)
{
    ProjectNode* file = File(Root(), "C:\\a");
    struct Row {
        std::string password;
        bool accepted;
    } rows[] = {
        {"", true},
        {"plain", true},
        {"パス ワード=1", true},
        {std::string(259, 'p'), true},
        {std::string(260, 'p'), false},
        {"tab\there", false},
        {"line\r\nend", false},
        {"lf\n", false},
        {"cr\r", false},
        {"\x01", false},
        {"\x1f", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("row " + std::to_string(&row - rows));
        ASSERT_TRUE(SetOwnPassword(file, "before"));
        EXPECT_EQ(SetOwnPassword(file, row.password.c_str()), row.accepted) << row.password;
        EXPECT_EQ(file->password, row.accepted ? row.password : std::string("before"));
        EXPECT_EQ(file->ownsPassword, 1);
    }
    EXPECT_TRUE(SetOwnPassword(file, nullptr));
    EXPECT_EQ(file->password, nullptr);
    EXPECT_EQ(file->ownsPassword, 0);
    EXPECT_FALSE(SetOwnPassword(Root(), "x"));  // the root's comes from the documents
}

TEST_F(PropertiesTest, EveryAcceptedPasswordSurvivesASaveAndALoad)
{
    std::vector<std::string> passwords{"", "=", "a=b", "<", ">", "[x]", " lead", "trail ",
                                       "表ソ能", std::string(259, 'z'), "\x7f\x80\xff"};
    for (int byte = 0x20; byte < 0x100; ++byte)
        passwords.push_back(std::string(1, static_cast<char>(byte)) + "|");
    ASSERT_EQ(OpenProject(""), 0);  // a new project with its identity
    // One folder and one file for each password.
    for (size_t i = 0; i < passwords.size(); ++i) {
        ProjectNode* folder = Folder(Root(), ("f" + std::to_string(i)).c_str());
        ASSERT_TRUE(SetOwnPassword(folder, passwords[i].c_str())) << i;
        ProjectNode* file = File(folder, ("C:\\p" + std::to_string(i)).c_str());
        ASSERT_TRUE(SetOwnPassword(file, passwords[i].c_str())) << i;
    }
    TempDir dir;
    std::string path = dir.Join("passwords.pwp");
    ASSERT_TRUE(StoreProject(&project));
    ASSERT_TRUE(project.Save(path.c_str()));
    ASSERT_EQ(OpenProject(path.c_str()), 0);
    size_t i = 0;
    for (const ProjectNode* folder = Root()->firstChild; folder; folder = folder->nextSibling, ++i) {
        ASSERT_LT(i, passwords.size());
        ASSERT_NE(folder->password, nullptr) << i;
        EXPECT_EQ(folder->password, passwords[i]) << i;
        ASSERT_NE(folder->firstChild, nullptr);
        ASSERT_NE(folder->firstChild->password, nullptr);
        EXPECT_EQ(folder->firstChild->password, passwords[i]) << i;
    }
    EXPECT_EQ(i, passwords.size());
}

namespace {
// Reads a document's PROPERTY section as "key=value" lines.
std::string Section(SettingsDocument& document)
{
    std::string text;
    for (SettingsEntry* entry = document.FirstEntry("PROPERTY"); entry; entry = entry->next)
        text += std::string(entry->key ? entry->key : "") + "=" + entry->value + ";";
    return text;
}
}  // namespace

TEST_F(PropertiesTest, TheEntryDialogSeesOwnAndInheritedValuesApart)
{
    SetProjectProperties("6", "proj");
    ProjectNode* folder = InsertChild(Root(), nullptr, true, nullptr, 4, "f", nullptr);
    ProjectNode* own = InsertChild(folder, "C:\\a", false, "mine", -1, nullptr, nullptr);
    ProjectNode* bare = File(folder, "C:\\b");
    struct Row {
        ProjectNode* node;
        const char* own;
        const char* inherited;
    } rows[] = {
        {own, "PASSWORDENABLE=1;COMPLEVELENABLE=0;PASSWORD=mine;",
         "COMPLEVELENABLE=1;COMPRESSLEVEL=4;"},
        {bare, "PASSWORDENABLE=0;COMPLEVELENABLE=0;",
         "PASSWORDENABLE=1;PASSWORD=proj;COMPLEVELENABLE=1;COMPRESSLEVEL=4;"},
        {folder, "PASSWORDENABLE=0;COMPLEVELENABLE=1;COMPRESSLEVEL=4;",
         "PASSWORDENABLE=1;PASSWORD=proj;"},
    };
    for (const Row& row : rows) {
        SettingsDocument ownDocument;
        SettingsDocument inheritedDocument;
        ASSERT_TRUE(FillEntryDocuments(row.node, &ownDocument, &inheritedDocument));
        EXPECT_EQ(Section(ownDocument), row.own) << row.node->name;
        EXPECT_EQ(Section(inheritedDocument), row.inherited) << row.node->name;
        EXPECT_NE(inheritedDocument.FindSection("PROPERTY"), nullptr);
    }
}

TEST_F(PropertiesTest, TheEntryDialogsResultIsReadBackOnOkOnly)
{
    ProjectNode* file = InsertChild(Root(), "C:\\a", false, "old", 5, nullptr, nullptr);
    RecordingView view;
    SetProjectView(&view);
    struct Row {
        int result;
        std::vector<std::pair<const char*, const char*>> keys;  // set by the "user"
        bool stored;
        const char* password;  // expected afterwards; none: absent
        int level;
        bool refusedMessage;
    } rows[] = {
        {2, {{"PASSWORDENABLE", "1"}, {"PASSWORD", "new"}}, false, "old", 5, false},  // cancelled
        // The dialog starts from the entry's own values: the level stays 5 untouched.
        {1, {{"PASSWORDENABLE", "1"}, {"PASSWORD", "new"}}, true, "new", 5, false},
        {1, {{"PASSWORDENABLE", "1"}}, true, "new", 5, false},  // the text as it was
        {1, {{"PASSWORDENABLE", "0"}, {"COMPLEVELENABLE", "1"}, {"COMPRESSLEVEL", "8"}}, true, nullptr, 8, false},
        {1, {{"COMPLEVELENABLE", "1"}, {"COMPRESSLEVEL", "x"}}, true, nullptr, 0, false},
        {1, {{"PASSWORDENABLE", "1"}, {"PASSWORD", ""}, {"COMPLEVELENABLE", "0"}}, true, "", -1, false},
        {1, {{"PASSWORDENABLE", "1"}, {"PASSWORD", "bad\ttab"}, {"COMPLEVELENABLE", "1"}, {"COMPRESSLEVEL", "3"}},
         false, "", -1, true},
        {1, {{"COMPLEVELENABLE", "1"}}, true, "", -1, false},  // a level switched on but not given
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("row " + std::to_string(&row - rows));
        errors.texts.clear();
        view.calls.clear();
        int shownDialog = 0;
        bool stored = EditEntryProperties(file, 111, [&](int dialogId, const SettingsScope& scope) {
            shownDialog = dialogId;
            for (auto& [key, value] : row.keys)
                scope.Set(key, value);
            return row.result;
        });
        EXPECT_EQ(shownDialog, 111);
        EXPECT_EQ(stored, row.stored);
        if (row.password == nullptr) {
            EXPECT_EQ(file->password, nullptr);
            EXPECT_EQ(file->ownsPassword, 0);
        } else {
            ASSERT_NE(file->password, nullptr);
            EXPECT_STREQ(file->password, row.password);
            EXPECT_EQ(file->ownsPassword, 1);
        }
        EXPECT_EQ(file->level, row.level);
        EXPECT_EQ(errors.texts.size(), row.refusedMessage ? 1u : 0u);
        // A stored result refreshes the status line for the entry shown last.
        EXPECT_EQ(view.calls.size(), row.stored ? 1u : 0u);
    }
    EXPECT_FALSE(EditEntryProperties(Root(), 111, [](int, const SettingsScope&) { return 1; }));
}

TEST_F(PropertiesTest, ConfirmedSettingsGoToEverySelectedRow)
{
    ProjectNode* a = InsertChild(Root(), "C:\\a", false, "pa", 1, nullptr, nullptr);
    ProjectNode* b = InsertChild(Root(), "C:\\b", false, "pb", 2, nullptr, nullptr);
    ProjectNode* c = File(Root(), "C:\\c");
    ProjectNode* unselected = InsertChild(Root(), "C:\\d", false, "pd", 4, nullptr, nullptr);
    RecordingView view;
    view.selected = {a, b, c};
    SetProjectView(&view);
    EXPECT_TRUE(ApplyPropertiesToSelection(b));
    for (ProjectNode* node : {a, b, c}) {
        ASSERT_NE(node->password, nullptr) << node->name;
        EXPECT_STREQ(node->password, "pb");
        EXPECT_EQ(node->ownsPassword, 1);
        EXPECT_EQ(node->level, 2);
    }
    EXPECT_NE(a->password, b->password);  // each its own copy
    EXPECT_STREQ(unselected->password, "pd");

    // Own values only: an entry without its own takes none, even under a folder with some.
    SetOwnPassword(c, nullptr);
    c->level = -1;
    EXPECT_TRUE(ApplyPropertiesToSelection(c));
    EXPECT_EQ(a->password, nullptr);
    EXPECT_EQ(a->ownsPassword, 0);
    EXPECT_EQ(b->level, -1);
}
