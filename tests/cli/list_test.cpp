// End-to-end tests of `todolist list` and `todolist filter` on a copy of a small project; settings,
// home and config folders lie in a temporary folder, so the user's own are never touched.
#include "cli_run.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path DataDir = fs::path(TODO_TEST_DATA_DIR) / "cli" / "list";

/// The settings file as the filters write it, values already escaped.
std::string Ini(const std::string& Cats, const std::string& Owners, const std::string& Items) {
    return "[ToDo List]\nHiddenCategories=" + Cats + "\nHiddenOwners=" + Owners +
           "\nHiddenItems=" + Items + "\n";
}

class ListTest : public ::testing::Test, public TCliRunner {
protected:
    using TCliRunner::Run;
    // These tests list the files they name: the project in the current folder stays closed.
    ListTest() : TCliRunner(DataDir / "project") { Options = {"--no-project"}; }

    static std::string Expected(const char* Name) { return ReadBytes(DataDir / Name); }
};

TEST_F(ListTest, PrintsTheCollatedList) {
    struct TCase {
        std::vector<std::string> Args;
        const char* Expected; // file under tests/data/cli/list
        int Exit = 0;
        const char* Err = ""; // all of standard error
    };
    const TCase Cases[] = {
        {{"list", "lib", "app.pas"}, "default.txt"},
        {{"list", "--sort", "module", "--descending", "."}, "module_descending.txt"},
        {{"list", "--sort", "priority", "--show-completed", "."}, "priority_completed.txt"},
        {{"list", "--sort", "owner", "."}, "owner.txt"},
        {{"list", "--format", "tsv", "--show-completed", "--sort", "priority", "."},
         "priority_completed.tsv"},
        {{"list", "--sort", "category", "--descending", "--show-completed", "."},
         "category_descending_completed.txt"},
        // Each bad path is reported once, the rest still listed, a file named twice listed once.
        {{"list", "missing.pas", "notes.txt", "app.pas", "./app.pas"},
         "app.txt",
         1,
         "todolist: warning: cannot read missing.pas: no such file or folder\n"
         "todolist: warning: notes.txt: not a recognised source file (by its extension)\n"},
    };
    const std::string Dir = fs::canonical(Tmp.File("project")).string(); // as modules are named
    for (const TCase& C : Cases) {
        SCOPED_TRACE(::testing::PrintToString(C.Args));
        TRun R = Run(C.Args);
        EXPECT_EQ(R.Exit, C.Exit) << R.Err;
        EXPECT_EQ(R.Out, Replace(Expected(C.Expected), "@DIR@", Dir));
        EXPECT_EQ(R.Err, C.Err);
    }
    EXPECT_FALSE(fs::exists(Settings())) << "listing changes no setting";
}

TEST_F(ListTest, BadOptionsAreRefusedWithExitTwo) {
    const std::pair<std::vector<std::string>, std::vector<std::string>> Cases[] = {
        // {arguments}, {parts of standard error}: a bad name is shown with the valid ones
        {{"list", "--sort", "bogus", "."},
         {"bogus", "action-item", "status", "type", "priority", "module", "owner", "category"}},
        {{"list", "--format", "xml", "."}, {"xml", "table", "tsv"}},
        {{"list", "--show-completed", "--hide-completed", "."}, {"excludes"}},
        {{"filter", "--hide-owner"}, {"hide-owner"}},
    };
    for (const auto& [Args, Parts] : Cases) {
        SCOPED_TRACE(::testing::PrintToString(Args));
        TRun R = Run(Args);
        EXPECT_EQ(R.Exit, 2);
        EXPECT_EQ(R.Out, "");
        for (const std::string& Part : Parts)
            EXPECT_NE(R.Err.find(Part), std::string::npos) << Part << " in " << R.Err;
    }
    for (const char* Cmd : {"list", "filter", "scan", "edit", "delete"})
        EXPECT_NE(Ok({Cmd, "--help"}).find("Usage"), std::string::npos) << Cmd;
    EXPECT_FALSE(fs::exists(Settings()));
}

TEST_F(ListTest, HiddenCategoryWithCommaAndNonAsciiOwnerGoAndComeBack) {
    EXPECT_EQ(Ok({"filter", "--hide-category", "Legacy, old", "--hide-owner", "李雷"}), "");
    const std::string Hidden = Ini("Legacy\\, old", "李雷", "");
    EXPECT_EQ(ReadBytes(Settings()), Hidden);
    // Fewer items listed, more counted as hidden; the pending count is of every item.
    EXPECT_EQ(Ok({"list", "."}), Expected("filtered.txt"));
    // Only values of listed items are offered, hidden ones marked; a mere --list writes nothing.
    EXPECT_EQ(Ok({"filter", "--list", "."}), Expected("filter_list.txt"));
    EXPECT_EQ(ReadBytes(Settings()), Hidden);
    Ok({"filter", "--show-category", "Legacy, old", "--show-owner", "李雷"});
    EXPECT_EQ(ReadBytes(Settings()), Ini("", "", ""));
    EXPECT_EQ(Ok({"list", "."}), Expected("default.txt"));
}

TEST_F(ListTest, ShowAllClearsEveryFilter) {
    Ok({"filter", "--hide-category", "", "--hide-owner", "Zoë", "--hide-origin",
        "Current project source files"});
    EXPECT_EQ(ReadBytes(Settings()), Ini("\\e", "Zoë", "Current project source files"));
    // Three more hidden by category and owner; no listed file counts as a project file.
    EXPECT_TRUE(Ok({"list", "."}).ends_with("\n12 items (6 hidden)\n9 items pending\n"));

    Ok({"filter", "--show-all"});
    EXPECT_EQ(ReadBytes(Settings()), Ini("", "", ""));
    EXPECT_EQ(Ok({"list", "."}), Expected("default.txt"));
}

TEST_F(ListTest, HidingOpenSourceFilesHidesEveryListedFile) {
    // The files `list` is given are open files, and no project is open.
    EXPECT_EQ(Ok({"filter", "--hide-origin", "Open source files", "--list"}),
              "Categories:\nOwners:\nOrigins:\n  Current project source files\n"
              "  Open source files  (hidden)\n  Project To-Do file\n");
    EXPECT_EQ(ReadBytes(Settings()), Ini("", "", "Open source files"));
    EXPECT_EQ(Ok({"list", "."}), "     Action Item  Priority  Module  Owner  Category\n\n"
                                 "12 items (12 hidden)\n9 items pending\n");
    EXPECT_EQ(Ok({"list", "--format", "tsv", "."}),
              "Action Item\tStatus\tPriority\tOwner\tCategory\tModule\t\r\n");
}

TEST_F(ListTest, DamagedSettingsAreReportedOnceAndKept) {
    const std::string Damaged = "[ToDo List]\nthis is not a setting\nHiddenOwners=Ann\n"
                                "[broken\n; a comment\n[Other]\nKey=1\n";
    Tmp.Write("todolist.ini", Damaged);
    TRun R = Run({"list", "app.pas"});
    EXPECT_EQ(R.Exit, 0) << R.Err;
    EXPECT_EQ(R.Out, Expected("app_without_ann.txt"));
    const std::string Warn = "todolist: warning: " + Settings();
    EXPECT_EQ(R.Err, Warn + ":2: neither a section, a key nor a comment; line ignored\n" + Warn +
                         ":4: section line does not end with ']'; line ignored\n");
    EXPECT_EQ(ReadBytes(Settings()), Damaged);

    R = Run({"filter", "--hide-category", "UI"});
    EXPECT_EQ(R.Exit, 0) << R.Err;
    EXPECT_EQ(ReadBytes(Settings()), "[ToDo List]\nthis is not a setting\nHiddenOwners=Ann\n"
                                     "HiddenCategories=UI\nHiddenItems=\n"
                                     "[broken\n; a comment\n[Other]\nKey=1\n");
}

TEST_F(ListTest, SettingsThatCannotBeSavedFailOnlyWhenSomethingMustBeWritten) {
    Tmp.Write("file", "");
    const std::string Config = Tmp.File("file/sub/todolist.ini");
    TRun R = Run({"--config", Config, "filter", "--hide-category", "UI"});
    EXPECT_EQ(R.Exit, 1) << R.Err;
    EXPECT_EQ(R.Out, "");
    EXPECT_EQ(R.Err,
              "todolist: cannot save " + Config + ": " + Tmp.File("file") + " is not a folder\n");
    EXPECT_EQ(Ok({"--config", Config, "list", "."}), Expected("default.txt"));
}

TEST_F(ListTest, SettingsFileIsFoundInItsOrder) {
    struct TCase {
        bool Option;                                  // pass --config opt.ini
        std::optional<std::string> ConfigVar, XdgVar; // TODOLIST_CONFIG, XDG_CONFIG_HOME
        const char* Written;                          // the one file the filter writes
    };
    const std::string T = Tmp.File("");
    const TCase Cases[] = {
        {true, T + "env.ini", T + "xdg", "opt.ini"},
        {false, T + "env.ini", T + "xdg", "env.ini"},
        {false, "", T + "xdg", "xdg/todolist/todolist.ini"}, // empty is unset
        {false, std::nullopt, "relative", "home/.config/todolist/todolist.ini"},
        {false, std::nullopt, std::nullopt, "home/.config/todolist/todolist.ini"},
    };
    auto Written = [&] { // every file in the temp folder but the project and the output
        std::set<std::string> Files;
        for (const auto& E : fs::recursive_directory_iterator(T))
            if (auto Rel = fs::relative(E, T); E.is_regular_file() && !fs::exists(DataDir / Rel))
                Files.insert(Rel);
        Files.erase("out"), Files.erase("err");
        return Files;
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Written);
        Env["TODOLIST_CONFIG"] = C.ConfigVar;
        Env["XDG_CONFIG_HOME"] = C.XdgVar;
        std::vector<std::string> Args = {"filter", "--hide-owner", "Ann"};
        if (C.Option)
            Args.insert(Args.begin(), {"--config", Tmp.File("opt.ini")});
        EXPECT_EQ(Ok(Args), "");
        EXPECT_EQ(Written(), std::set<std::string>{C.Written});
        fs::remove(Tmp.File(C.Written));
    }
}

} // namespace
