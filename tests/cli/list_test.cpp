// End-to-end tests of `todolist list` and `todolist filter`: the real program runs on a copy of a
// small project, and its settings file, home folder and config folder all lie in a temporary
// folder, so the user's own settings are never read or written.
#include "../host/temp_dir.h"

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

/// The settings the tests expect when every filter shows everything.
const char* const NothingHidden = "[ToDo List]\n"
                                  "HiddenCategories=\n"
                                  "HiddenOwners=\n"
                                  "HiddenItems=\n";

std::string Quote(const std::string& S) {
    std::string Q = "'";
    for (char C : S)
        Q += C == '\'' ? std::string("'\\''") : std::string(1, C);
    return Q + "'";
}

/// Text with every Placeholder replaced by Value.
std::string Replace(std::string Text, const std::string& Placeholder, const std::string& Value) {
    for (size_t At = Text.find(Placeholder); At != std::string::npos;
         At = Text.find(Placeholder, At + Value.size()))
        Text.replace(At, Placeholder.size(), Value);
    return Text;
}

size_t Count(const std::string& Text, const std::string& Part) {
    size_t N = 0;
    for (size_t At = Text.find(Part); At != std::string::npos; At = Text.find(Part, At + 1))
        ++N;
    return N;
}

struct TRun {
    int Exit = -1; ///< -1 when the program did not exit normally (a crash)
    std::string Out;
    std::string Err;
};

class ListTest : public ::testing::Test {
protected:
    ListTest() {
        fs::copy(DataDir / "project", Project(), fs::copy_options::recursive);
        fs::create_directories(Tmp.File("home"));
        fs::create_directories(Tmp.File("run"));
        // Sorting and column widths follow the locale: pin a UTF-8 one that sorts by code point.
        Env["LC_ALL"] = "C.UTF-8";
        Env["HOME"] = Tmp.File("home");
        Env["XDG_CONFIG_HOME"] = Tmp.File("home/.config");
        Env["TODOLIST_CONFIG"] = Settings();
    }

    /// The project copy; the program runs in it.
    std::string Project() const { return Tmp.File("project"); }
    /// The project copy as the program names it: absolute, symbolic links resolved.
    std::string AbsoluteProject() const { return fs::canonical(Project()).string(); }
    /// The settings file every run uses unless a test changes Env.
    std::string Settings() const { return Tmp.File("settings/todolist.ini"); }

    /// Runs todolist with Args in the project folder, with the variables of Env set (an empty
    /// optional unsets one).
    TRun Run(const std::vector<std::string>& Args) {
        std::string Cmd = "cd " + Quote(Project()) + " && env";
        // env takes its -u options before the assignments.
        for (const auto& [Name, Value] : Env)
            if (!Value)
                Cmd += " -u " + Quote(Name);
        for (const auto& [Name, Value] : Env)
            if (Value)
                Cmd += ' ' + Quote(Name + '=' + *Value);
        Cmd += ' ' + Quote(TODOLIST_EXE);
        for (const auto& A : Args)
            Cmd += ' ' + Quote(A);
        Cmd += " >" + Quote(Tmp.File("run/out")) + " 2>" + Quote(Tmp.File("run/err"));
        int Status = std::system(Cmd.c_str());
        TRun R;
        R.Exit = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
        R.Out = ReadBytes(Tmp.File("run/out"));
        R.Err = ReadBytes(Tmp.File("run/err"));
        return R;
    }

    /// The output of `list` with Args, which must succeed with nothing on standard error.
    std::string List(std::vector<std::string> Args) {
        Args.insert(Args.begin(), "list");
        TRun R = Run(Args);
        EXPECT_EQ(R.Exit, 0) << R.Err;
        EXPECT_EQ(R.Err, "");
        return R.Out;
    }

    static std::string Expected(const std::string& Name) {
        return ReadBytes((DataDir / Name).string());
    }

    TTempDir Tmp;
    std::map<std::string, std::optional<std::string>> Env;
};

struct TListCase {
    const char* Name;
    std::vector<std::string> Args; ///< after "list"
    const char* Expected;          ///< file under tests/data/cli/list
    int Exit;
    const char* Err; ///< part of standard error; "" when it must be empty
};

void PrintTo(const TListCase& C, std::ostream* Os) {
    *Os << C.Name;
}

class ListTableTest : public ListTest, public ::testing::WithParamInterface<TListCase> {};

TEST_P(ListTableTest, PrintsTheCollatedList) {
    const TListCase& C = GetParam();
    std::vector<std::string> Args = C.Args;
    Args.insert(Args.begin(), "list");
    TRun R = Run(Args);
    EXPECT_EQ(R.Exit, C.Exit) << R.Err;
    EXPECT_EQ(R.Out, Expected(C.Expected));
    if (*C.Err)
        EXPECT_EQ(Count(R.Err, C.Err), 1u) << R.Err;
    else
        EXPECT_EQ(R.Err, "");
    // Listing changes no setting, so it must not create a settings file either.
    EXPECT_FALSE(fs::exists(Settings()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListTableTest,
    ::testing::Values(
        TListCase{"ModuleOrderByDefault", {"."}, "default.txt", 0, ""},
        TListCase{"PathOrderAndDuplicatesDoNotMatter",
                  {"lib/util.h", "app.pas", "lib", "./app.pas", "../project/lib/util.c"},
                  "default.txt",
                  0,
                  ""},
        TListCase{"ModuleDescendingKeepsCommentOrder",
                  {"--sort", "module", "--descending", "."},
                  "module_descending.txt",
                  0,
                  ""},
        TListCase{"DescendingAloneReversesTheModuleOrder",
                  {"--descending", "."},
                  "module_descending.txt",
                  0,
                  ""},
        TListCase{"PriorityNoneRanksLast",
                  {"--sort", "priority", "--show-completed", "app.pas", "lib"},
                  "priority_completed.txt",
                  0,
                  ""},
        TListCase{"OwnerEmptyFirstNonAsciiLast", {"--sort", "owner", "."}, "owner.txt", 0, ""},
        TListCase{"CategoryDescendingTiesByText",
                  {"--sort", "category", "--descending", "--show-completed", "."},
                  "category_descending_completed.txt",
                  0,
                  ""},
        TListCase{"StatusDescendingPutsDoneFirst",
                  {"--sort", "status", "--descending", "--show-completed", "."},
                  "status_descending_completed.txt",
                  0,
                  ""},
        TListCase{"ActionItemNameIgnoresCase",
                  {"--sort", "Action-Item", "--hide-completed", "."},
                  "action_item.txt",
                  0,
                  ""},
        TListCase{"MissingPathWarnsAndListsTheRest",
                  {"missing.pas", "app.pas"},
                  "app.txt",
                  1,
                  "todolist: warning: cannot read missing.pas"},
        TListCase{"UnknownExtensionWarnsAndListsTheRest",
                  {"notes.txt", "app.pas"},
                  "app.txt",
                  1,
                  "todolist: warning: notes.txt: not a recognised source file"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(ListTest, TsvIsWhatCopyAsTextGives) {
    TRun R = Run({"list", "--format", "tsv", "--show-completed", "--sort", "priority", "."});
    EXPECT_EQ(R.Exit, 0) << R.Err;
    EXPECT_EQ(R.Err, "");
    EXPECT_EQ(R.Out, Replace(Expected("priority_completed.tsv"), "@DIR@", AbsoluteProject()));
}

struct TUsageCase {
    const char* Name;
    std::vector<std::string> Args;
    const char* Err; ///< part of standard error
};

void PrintTo(const TUsageCase& C, std::ostream* Os) {
    *Os << C.Name;
}

class ListUsageTest : public ListTest, public ::testing::WithParamInterface<TUsageCase> {};

TEST_P(ListUsageTest, RefusesWithExitTwoAndPrintsNothing) {
    const TUsageCase& C = GetParam();
    TRun R = Run(C.Args);
    EXPECT_EQ(R.Exit, 2);
    EXPECT_EQ(R.Out, "");
    EXPECT_NE(R.Err.find(C.Err), std::string::npos) << R.Err;
    EXPECT_FALSE(fs::exists(Settings()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListUsageTest,
    ::testing::Values(TUsageCase{"UnknownSortName", {"list", "--sort", "bogus", "."}, "bogus"},
                      TUsageCase{"UnknownFormat", {"list", "--format", "xml", "."}, "xml"},
                      TUsageCase{"ShowAndHideCompleted",
                                 {"list", "--show-completed", "--hide-completed", "."},
                                 "excludes"},
                      TUsageCase{"FilterWithoutValue", {"filter", "--hide-owner"}, "hide-owner"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// The message for a bad sort name should list the names that work. It is cut short at the
// first name today; enable this once the message is whole.
TEST_F(ListTest, UnknownSortNameListsTheValidNames) {
    TRun R = Run({"list", "--sort", "bogus", "."});
    EXPECT_EQ(R.Exit, 2);
    for (const char* Name :
         {"action-item", "status", "type", "priority", "module", "owner", "category"})
        EXPECT_NE(R.Err.find(Name), std::string::npos) << Name << " in " << R.Err;
}

TEST_F(ListTest, HiddenCategoryWithCommaAndNonAsciiOwnerGoAndComeBack) {
    TRun R = Run({"filter", "--hide-category", "Legacy, old", "--hide-owner", "李雷"});
    EXPECT_EQ(R.Exit, 0) << R.Err;
    EXPECT_EQ(R.Out, "");
    EXPECT_EQ(R.Err, "");
    EXPECT_EQ(ReadBytes(Settings()), "[ToDo List]\n"
                                     "HiddenCategories=Legacy\\, old\n"
                                     "HiddenOwners=李雷\n"
                                     "HiddenItems=\n");

    // Fewer items listed, more counted as hidden; the pending count is of every item.
    EXPECT_EQ(List({"."}), Expected("filtered.txt"));

    // Only values of listed items are offered, and the hidden ones marked; the listed files do
    // not change the settings.
    const std::string Before = ReadBytes(Settings());
    R = Run({"filter", "--list", "."});
    EXPECT_EQ(R.Exit, 0) << R.Err;
    EXPECT_EQ(R.Out, Expected("filter_list.txt"));
    EXPECT_EQ(ReadBytes(Settings()), Before);

    R = Run({"filter", "--show-category", "Legacy, old", "--show-owner", "李雷"});
    EXPECT_EQ(R.Exit, 0) << R.Err;
    EXPECT_EQ(ReadBytes(Settings()), NothingHidden);
    EXPECT_EQ(List({"."}), Expected("default.txt"));
}

TEST_F(ListTest, ShowAllClearsEveryFilter) {
    TRun R = Run({"filter", "--hide-category", "", "--hide-owner", "Zoë", "--hide-origin",
                  "Current project source files"});
    EXPECT_EQ(R.Exit, 0) << R.Err;
    EXPECT_EQ(ReadBytes(Settings()), "[ToDo List]\n"
                                     "HiddenCategories=\\e\n"
                                     "HiddenOwners=Zoë\n"
                                     "HiddenItems=Current project source files\n");
    EXPECT_NE(List({"."}), Expected("default.txt"));

    R = Run({"filter", "--show-all"});
    EXPECT_EQ(R.Exit, 0) << R.Err;
    EXPECT_EQ(ReadBytes(Settings()), NothingHidden);
    EXPECT_EQ(List({"."}), Expected("default.txt"));
}

TEST_F(ListTest, HidingTheOriginOfOpenFilesHidesEveryListedFile) {
    // The files `list` is given are open files, and no project is open: only the first origin
    // holds them.
    struct TCase {
        const char* Origin;
        const char* Status; // the last two lines of `list .`
    };
    const TCase Cases[] = {
        {"Open source files", "12 items (12 hidden)\n9 items pending\n"},
        {"Current project source files", "12 items (3 hidden)\n9 items pending\n"},
        {"Project To-Do file", "12 items (3 hidden)\n9 items pending\n"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Origin);
        TRun R = Run({"filter", "--show-all", "--hide-origin", C.Origin, "--list"});
        EXPECT_EQ(R.Exit, 0) << R.Err;
        EXPECT_NE(R.Out.find(std::string("  ") + C.Origin + "  (hidden)\n"), std::string::npos)
            << R.Out;
        EXPECT_EQ(Count(R.Out, "(hidden)"), 1u) << R.Out;
        EXPECT_EQ(ReadBytes(Settings()), std::string("[ToDo List]\n"
                                                     "HiddenCategories=\n"
                                                     "HiddenOwners=\n"
                                                     "HiddenItems=") +
                                             C.Origin + "\n");
        const std::string Out = List({"."});
        ASSERT_GE(Out.size(), std::string(C.Status).size());
        EXPECT_EQ(Out.substr(Out.size() - std::string(C.Status).size()), C.Status);
    }

    Run({"filter", "--show-all", "--hide-origin", "Open source files"});
    EXPECT_EQ(Count(List({"."}), "[ ]"), 0u);
    EXPECT_EQ(List({"--format", "tsv", "."}),
              "Action Item\tStatus\tPriority\tOwner\tCategory\tModule\t\r\n");
}

TEST_F(ListTest, DamagedSettingsAreReportedOnceAndKept) {
    const std::string Damaged = "[ToDo List]\n"
                                "this is not a setting\n"
                                "HiddenOwners=Ann\n"
                                "[broken\n"
                                "; a comment\n"
                                "[Other]\n"
                                "Key=1\n";
    fs::create_directories(fs::path(Settings()).parent_path());
    Tmp.Write("settings/todolist.ini", Damaged);

    TRun R = Run({"list", "app.pas"});
    EXPECT_EQ(R.Exit, 0) << R.Err;
    EXPECT_EQ(R.Out, Expected("app_without_ann.txt"));
    EXPECT_EQ(Count(R.Err, "todolist: warning: " + Settings() + ":2:"), 1u) << R.Err;
    EXPECT_EQ(Count(R.Err, "todolist: warning: " + Settings() + ":4:"), 1u) << R.Err;
    EXPECT_EQ(Count(R.Err, "\n"), 2u) << R.Err;
    EXPECT_EQ(ReadBytes(Settings()), Damaged);

    R = Run({"filter", "--hide-category", "UI"});
    EXPECT_EQ(R.Exit, 0) << R.Err;
    EXPECT_EQ(ReadBytes(Settings()), "[ToDo List]\n"
                                     "this is not a setting\n"
                                     "HiddenOwners=Ann\n"
                                     "HiddenCategories=UI\n"
                                     "HiddenItems=\n"
                                     "[broken\n"
                                     "; a comment\n"
                                     "[Other]\n"
                                     "Key=1\n");
}

TEST_F(ListTest, SettingsThatCannotBeSavedFailOnlyWhenSomethingMustBeWritten) {
    Tmp.Write("file", "");
    const std::string Config = Tmp.File("file/sub/todolist.ini");

    TRun R = Run({"--config", Config, "filter", "--hide-category", "UI"});
    EXPECT_EQ(R.Exit, 1) << R.Err;
    EXPECT_EQ(R.Out, "");
    EXPECT_NE(R.Err.find("todolist: cannot save " + Config), std::string::npos) << R.Err;
    EXPECT_EQ(Count(R.Err, "\n"), 1u) << R.Err;

    R = Run({"--config", Config, "list", "."});
    EXPECT_EQ(R.Exit, 0) << R.Err;
    EXPECT_EQ(R.Out, Expected("default.txt"));
    EXPECT_EQ(R.Err, "");
}

TEST_F(ListTest, SettingsFileIsFoundInItsOrder) {
    struct TCase {
        const char* Name;
        bool Option;                          // pass --config opt.ini
        std::optional<std::string> ConfigVar; // TODOLIST_CONFIG, relative to the temp folder
        std::optional<std::string> XdgVar;    // XDG_CONFIG_HOME, idem unless it starts with '='
        const char* Written;                  // the one file the filter writes
    };
    const TCase Cases[] = {
        {"OptionFirst", true, "env.ini", "xdg", "opt.ini"},
        {"VariableNext", false, "env.ini", "xdg", "env.ini"},
        {"EmptyVariableIsUnset", false, "", "xdg", "xdg/todolist/todolist.ini"},
        {"XdgConfigHome", false, std::nullopt, "xdg", "xdg/todolist/todolist.ini"},
        {"EmptyXdgMeansHome", false, std::nullopt, "", "home/.config/todolist/todolist.ini"},
        {"RelativeXdgMeansHome", false, std::nullopt, "=relative",
         "home/.config/todolist/todolist.ini"},
        {"UnsetXdgMeansHome", false, std::nullopt, std::nullopt,
         "home/.config/todolist/todolist.ini"},
    };
    auto InTmp = [&](const std::optional<std::string>& Value) -> std::optional<std::string> {
        if (!Value || Value->empty())
            return Value;
        return (*Value)[0] == '=' ? Value->substr(1) : Tmp.File(*Value);
    };
    // Every file under the temp folder but the project and the program's output.
    auto Written = [&] {
        std::set<std::string> Files;
        for (const auto& E : fs::recursive_directory_iterator(Tmp.File(""))) {
            const std::string Rel = E.path().lexically_relative(Tmp.File("")).string();
            if (E.is_regular_file() && Rel.rfind("run/", 0) != 0 &&
                !fs::exists(DataDir / Rel) /* a file of the project copy */)
                Files.insert(Rel);
        }
        return Files;
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        Env["TODOLIST_CONFIG"] = InTmp(C.ConfigVar);
        Env["XDG_CONFIG_HOME"] = InTmp(C.XdgVar);
        std::vector<std::string> Args = {"filter", "--hide-owner", "Ann"};
        if (C.Option)
            Args.insert(Args.begin(), {"--config", Tmp.File("opt.ini")});
        TRun R = Run(Args);
        EXPECT_EQ(R.Exit, 0) << R.Err;
        EXPECT_EQ(Written(), std::set<std::string>{C.Written});
        EXPECT_NE(ReadBytes(Tmp.File(C.Written)).find("HiddenOwners=Ann\n"), std::string::npos);
        fs::remove(Tmp.File(C.Written));
    }
}

TEST_F(ListTest, ListAndFilterHaveHelp) {
    for (const char* Cmd : {"list", "filter"}) {
        TRun R = Run({Cmd, "--help"});
        EXPECT_EQ(R.Exit, 0) << Cmd;
        EXPECT_NE(R.Out.find("Usage"), std::string::npos) << Cmd;
        EXPECT_FALSE(fs::exists(Settings()));
    }
}

} // namespace
