// The desktop program end to end: the real todolist-gui with its packages, started offscreen on
// copies of the example projects and driven the way a user would (menus, the editor, the To-Do
// window's grid and dialogs) through its automation socket. What it shows is read back through
// the To-Do window's query socket, what it writes from the files.

#include "e2e_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

/// An item of the Pascal example as the window lists it. Priority 0 is "none". Module is the
/// end of the module column ("" for the project's .todo file, whose column is not checked).
struct TExpectedRow {
    const char* Text;
    const char* Priority;
    const char* Module;
    const char* Owner;
    const char* Category;
    int Checked;
};

const TExpectedRow PascalRows[] = {
    {"Describe the data file format", "0", "", "Ben", "Docs", 0},
    {"Write the release notes for 2.0", "1", "", "Ann", "Release", 0},
    {"Choose a licence", "2", "", "Cleo", "", 1},
    {"Sign the executable before shipping", "1", "tasks.dpr", "Ann", "Release", 0},
    {"Read the data folder from the command line", "0", "tasks.dpr", "", "Startup", 0},
    {"Fix the splitter", "2", "main_form.pas", "Ann", "UI", 0},
    {"Show the task count in the title", "0", "main_form.pas", "Ann", "UI", 1},
    {"lower-case keywords count too", "0", "main_form.pas", "", "", 0},
    {"Load the tasks from FFileName", "1", "storage.pas", "Ben", "Data", 0},
    {"Check Index against the bounds", "5", "storage.pas", "", "Data", 0},
    {"Keep the file name", "4", "storage.pas", "Cleo", "Data", 1},
};

/// Texts only the C example has, and one only the Pascal example has.
const char* const CRows[] = {"Accept more than one input file", "Report a missing file by name",
                             "Show the line count as a chart"};
const char* const APascalRow = "Fix the splitter";

bool EndsWith(const std::string& S, const std::string& End) {
    return S.size() >= End.size() && S.compare(S.size() - End.size(), End.size(), End) == 0;
}

/// The byte offset of the end of the first line of Text that contains Needle (before its line
/// break); npos when none does.
size_t EndOfLineWith(const std::string& Text, const std::string& Needle) {
    const size_t At = Text.find(Needle);
    return At == std::string::npos ? At : Text.find('\n', At);
}

class GuiEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        Pascal = P.CopyExample("pascal-app");
        CApp = P.CopyExample("c-app");
        PascalProject = Pascal + "/tasks.dpr";
    }

    /// Starts the program on Project with a window large enough for every row of the grid.
    void Start(const std::string& Project) {
        ASSERT_TRUE(P.Start({Project})) << P.Error();
        ASSERT_TRUE(P.Ok("resize 1400 1000"));
    }

    /// Shows the To-Do window through its View menu command and waits for Texts to be listed.
    void ShowList(const std::vector<std::string>& Texts) {
        ASSERT_TRUE(P.Ok("trigger ViewToDoListCommand"));
        ASSERT_TRUE(WaitUntil([&] { return P.Send("dock-visible ToDoListWindow") == "ok 1"; }))
            << P.Error();
        WaitForTexts(Texts);
    }

    void WaitForTexts(const std::vector<std::string>& Texts) {
        const bool Listed = WaitUntil([&] {
            const std::vector<std::string> Shown = P.Texts();
            return std::all_of(Texts.begin(), Texts.end(), [&](const std::string& T) {
                return std::find(Shown.begin(), Shown.end(), T) != Shown.end();
            });
        });
        ASSERT_TRUE(Listed) << "listed: " << ::testing::PrintToString(P.Texts()) << "\n"
                            << P.Error();
    }

    static std::vector<std::string> PascalTexts() {
        std::vector<std::string> Out;
        for (const TExpectedRow& R : PascalRows)
            Out.push_back(R.Text);
        return Out;
    }

    /// Saves the current editor through the File menu and waits until it is saved.
    void SaveEditor() {
        ASSERT_TRUE(P.Ok("trigger FileSaveCommand"));
        ASSERT_TRUE(WaitUntil([&] { return P.Send("modified") == "ok 0"; })) << P.Error();
    }

    /// Quits like File > Exit: the program must end with 0 and no sanitizer report, with
    /// every package and its window still loaded at that moment.
    void ExpectCleanQuit() {
        EXPECT_EQ(P.Quit(), 0) << P.Error();
        const std::string Err = P.Stderr();
        for (const char* Report :
             {"ERROR: AddressSanitizer", "LeakSanitizer", "ThreadSanitizer", "runtime error:"})
            EXPECT_EQ(Err.find(Report), std::string::npos) << Report << "\n" << Err;
    }

    TGuiProgram P;
    std::string Pascal, CApp, PascalProject;
};

TEST_F(GuiEndToEnd, ListsTheProjectsItemsAndFollowsTheActiveProject) {
    Start(PascalProject);
    ShowList(PascalTexts());
    EXPECT_TRUE(EndsWith(*P.Ok("project"), "tasks.dpr"));

    const std::vector<std::string> Shown = P.Texts();
    for (const TExpectedRow& R : PascalRows) {
        SCOPED_TRACE(R.Text);
        const int I = P.IndexOf(R.Text);
        ASSERT_GE(I, 0);
        EXPECT_EQ(std::count(Shown.begin(), Shown.end(), R.Text), 1);
        EXPECT_EQ(P.CellText(1, I), R.Priority);
        if (*R.Module) {
            EXPECT_TRUE(EndsWith(P.CellText(2, I), R.Module)) << P.CellText(2, I);
        }
        EXPECT_EQ(P.CellText(3, I), R.Owner);
        EXPECT_EQ(P.CellText(4, I), R.Category);
        EXPECT_EQ(P.Checked(I), R.Checked);
    }
    // Nothing else is listed but the multi-line comment and what the Markdown package finds in
    // the project's notes.
    const bool HasNotes = fs::exists(Pascal + "/NOTES.md");
    int NotesRows = 0;
    for (int I = 0; I < static_cast<int>(Shown.size()); ++I) {
        const std::string Module = P.CellText(2, I);
        if (EndsWith(Module, "NOTES.md")) {
            ++NotesRows;
            continue;
        }
        const bool Known = Shown[I].starts_with("Sort tasks by due date") ||
                           std::any_of(std::begin(PascalRows), std::end(PascalRows),
                                       [&](const TExpectedRow& R) { return Shown[I] == R.Text; });
        EXPECT_TRUE(Known) << "unexpected row " << Shown[I] << " of " << Module;
    }
    EXPECT_EQ(NotesRows > 0, HasNotes) << "rows of NOTES.md: " << NotesRows;

    // Another project: its managers replace the first project's.
    ASSERT_TRUE(P.Ok("open-project " + CApp));
    WaitForTexts({std::begin(CRows), std::end(CRows)});
    EXPECT_EQ(P.IndexOf(APascalRow), -1) << ::testing::PrintToString(P.Texts());
    EXPECT_FALSE(EndsWith(*P.Ok("project"), "tasks.dpr"));

    ASSERT_TRUE(P.Ok("open-project " + PascalProject));
    WaitForTexts(PascalTexts());
    EXPECT_TRUE(WaitUntil([&] { return P.IndexOf(CRows[0]) == -1; }))
        << ::testing::PrintToString(P.Texts());
    ExpectCleanQuit();
}

TEST_F(GuiEndToEnd, EditingAndCheckingOffRewriteTheSource) {
    Start(PascalProject);
    ShowList(PascalTexts());
    const long long Before = P.ItemCount();
    const std::string Unit = Pascal + "/units/storage.pas";

    // A comment typed into the editor is listed once the file is saved.
    ASSERT_TRUE(P.Ok("open-file " + Unit));
    ASSERT_TRUE(EndsWith(*P.Ok("editor"), "storage.pas"));
    const size_t LineEnd = EndOfLineWith(P.Read(Unit), "Load the tasks from FFileName");
    ASSERT_NE(LineEnd, std::string::npos);
    ASSERT_TRUE(P.Ok("goto " + std::to_string(LineEnd)));
    ASSERT_TRUE(P.Ok("type \\n  // TODO 3 -oE2E: added by the test"));
    EXPECT_EQ(P.Send("modified"), "ok 1");
    SaveEditor();
    ASSERT_TRUE(WaitUntil([&] { return P.IndexOf("added by the test") >= 0; }))
        << ::testing::PrintToString(P.Texts()) << P.Error();
    EXPECT_EQ(P.ItemCount(), Before + 1);
    const int Added = P.IndexOf("added by the test");
    EXPECT_EQ(P.CellText(1, Added), "3");
    EXPECT_EQ(P.CellText(3, Added), "E2E");
    EXPECT_NE(P.Read(Unit).find("FFileName\n  // TODO 3 -oE2E: added by the test\nend;"),
              std::string::npos)
        << P.Read(Unit);

    // A click on the check box of a row of the open file checks the item off in the source.
    const std::string Text = "Check Index against the bounds";
    const int Index = P.IndexOf(Text);
    ASSERT_GE(Index, 0);
    ASSERT_EQ(P.Checked(Index), 0);
    // Grid row 0 is the header; the check box is at the left of the first column.
    ASSERT_TRUE(P.Ok("click-cell 0 " + std::to_string(Index + 1) + " 10"));
    ASSERT_TRUE(WaitUntil([&] {
        const int I = P.IndexOf(Text);
        return I >= 0 && P.Checked(I) == 1;
    })) << P.Error();
    if (P.Send("modified") == "ok 1")
        SaveEditor();
    ASSERT_TRUE(WaitUntil([&] {
        return P.Read(Unit).find("{ DONE 5 -cData: Check Index against the bounds }") !=
               std::string::npos;
    })) << P.Read(Unit);
    ExpectCleanQuit();
}

TEST_F(GuiEndToEnd, AddDialogsWriteIntoTheEditorAndTheProjectsToDoFile) {
    const std::string TodoFile = Pascal + "/tasks.todo";
    fs::remove(TodoFile);
    Start(PascalProject);
    std::vector<std::string> SourceTexts;
    for (const TExpectedRow& R : PascalRows)
        if (*R.Module)
            SourceTexts.push_back(R.Text);
    ShowList(SourceTexts);

    // Edit > Add To-Do Item needs an editor.
    EXPECT_EQ(P.Send("enabled EditAddToDoItemCommand"), "ok 0");
    const std::string Unit = Pascal + "/units/main_form.pas";
    ASSERT_TRUE(P.Ok("open-file " + Unit));
    const size_t LineEnd = EndOfLineWith(P.Read(Unit), "ShowTasks(Store);");
    ASSERT_NE(LineEnd, std::string::npos);
    ASSERT_TRUE(P.Ok("goto " + std::to_string(LineEnd)));
    ASSERT_TRUE(WaitUntil([&] { return P.Send("enabled EditAddToDoItemCommand") == "ok 1"; }));
    ASSERT_TRUE(P.Ok("trigger EditAddToDoItemCommand"));
    ASSERT_TRUE(P.WaitForModal("TAddToDoItemForm")) << P.Send("modal") << "\n" << P.Error();
    ASSERT_TRUE(P.Ok("modal-set Memo inserted by the edit menu"));
    ASSERT_TRUE(P.Ok("modal-set PriorityEdit 2"));
    ASSERT_TRUE(P.Ok("modal-button OK"));
    ASSERT_TRUE(WaitUntil([&] { return P.Send("modal") == "ok"; })) << P.Send("modal");
    const std::string Edited = P.Ok("editor-text").value_or("");
    const size_t Inserted = Edited.find("ShowTasks(Store);{ TODO 2");
    ASSERT_NE(Inserted, std::string::npos) << Edited;
    const size_t Close = Edited.find('}', Inserted);
    ASSERT_NE(Close, std::string::npos);
    EXPECT_NE(Edited.substr(Inserted, Close - Inserted).find(": inserted by the edit menu"),
              std::string::npos)
        << Edited.substr(Inserted, Close - Inserted + 1);
    EXPECT_EQ(P.Send("modified"), "ok 1");
    SaveEditor();
    ASSERT_TRUE(WaitUntil([&] { return P.IndexOf("inserted by the edit menu") >= 0; }))
        << ::testing::PrintToString(P.Texts());

    // The window's Add writes to the project's to-do file, made on first use.
    ASSERT_FALSE(fs::exists(TodoFile));
    ASSERT_TRUE(WaitUntil([&] { return P.Send("trigger AddAction") == "ok"; })) << P.Error();
    ASSERT_TRUE(P.WaitForModal("TAddToDoItemForm")) << P.Send("modal") << "\n" << P.Error();
    ASSERT_TRUE(P.Ok("modal-set Memo added to the project"));
    ASSERT_TRUE(P.Ok("modal-button OK"));
    ASSERT_TRUE(WaitUntil([&] { return P.Send("modal") == "ok"; })) << P.Send("modal");
    EXPECT_TRUE(WaitUntil([&] { return P.IndexOf("added to the project") >= 0; }))
        << ::testing::PrintToString(P.Texts());
    // The item goes into the project's to-do file like any edit: File > Save All writes it,
    // whether or not an editor shows the file.
    const auto Written = [&] {
        return P.Read(TodoFile).find("added to the project") != std::string::npos;
    };
    if (!Written()) {
        ASSERT_EQ(P.Send("enabled FileSaveAllCommand"), "ok 1")
            << "nothing offers to save the new to-do file";
        ASSERT_TRUE(P.Ok("trigger FileSaveAllCommand"));
    }
    ASSERT_TRUE(WaitUntil(Written)) << P.Read(TodoFile) << P.Error();
    ExpectCleanQuit();
}

TEST_F(GuiEndToEnd, ARestartRestoresTheDesktop) {
    Start(PascalProject);
    ShowList(PascalTexts());
    const std::string Unit = Pascal + "/units/storage.pas";
    ASSERT_TRUE(P.Ok("open-file " + Unit));

    // Sorting by owner changes the order; the order is part of the window's saved state.
    const std::vector<std::string> Unsorted = P.Texts();
    ASSERT_TRUE(P.Ok("trigger SortOwner"));
    ASSERT_TRUE(WaitUntil([&] { return P.Texts() != Unsorted; })) << "the order did not change";
    const std::vector<std::string> ByOwner = P.Texts();
    ASSERT_EQ(ByOwner.size(), Unsorted.size());
    // Columns the user widened by dragging their boundaries keep their widths.
    ASSERT_TRUE(P.Ok("drag-column 0 310"));
    ASSERT_TRUE(P.Ok("drag-column 2 145"));
    ASSERT_EQ(P.ColumnWidth(0), 310);
    ASSERT_EQ(P.ColumnWidth(2), 145);
    ExpectCleanQuit();

    // Started again without naming the project: the last one comes back as it was left.
    ASSERT_TRUE(P.Start({})) << P.Error();
    EXPECT_TRUE(EndsWith(P.Ok("project").value_or(""), "tasks.dpr"));
    EXPECT_TRUE(WaitUntil([&] { return P.Send("dock-visible ToDoListWindow") == "ok 1"; }))
        << P.Error();
    EXPECT_TRUE(WaitUntil([&] { return P.Texts() == ByOwner; }))
        << ::testing::PrintToString(P.Texts()) << "\n"
        << ::testing::PrintToString(ByOwner);
    EXPECT_TRUE(EndsWith(P.Ok("editor").value_or(""), "storage.pas"));
    EXPECT_EQ(P.ColumnWidth(0), 310);
    EXPECT_EQ(P.ColumnWidth(1), 30) << "an untouched column keeps its default";
    EXPECT_EQ(P.ColumnWidth(2), 145);
    ExpectCleanQuit();

    // A unit handed over as a file manager does: opened in the project that holds it.
    const std::string Other = Pascal + "/units/main_form.pas";
    ASSERT_TRUE(P.Start({Other})) << P.Error();
    EXPECT_TRUE(EndsWith(P.Ok("project").value_or(""), "tasks.dpr"));
    EXPECT_TRUE(EndsWith(P.Ok("editor").value_or(""), "main_form.pas"));
    ExpectCleanQuit();
}

/// The task lines of the Pascal example's NOTES.md, as the Markdown package lists them.
const char* const NotesTasks[] = {"Keep a backup of tasks.dat before each save",
                                  "Store the tasks in a plain text file",
                                  "Let the main form remember its size between runs"};

TEST_F(GuiEndToEnd, AHiddenOriginStaysHiddenAcrossRestarts) {
    const std::vector<std::string> Notes(std::begin(NotesTasks), std::end(NotesTasks));
    std::vector<std::string> All = PascalTexts();
    All.insert(All.end(), Notes.begin(), Notes.end());
    const auto NotesRows = [&] {
        int N = 0;
        for (int I = 0, Count = static_cast<int>(P.ItemCount()); I < Count; ++I)
            N += EndsWith(P.CellText(2, I), "NOTES.md") ? 1 : 0;
        return N;
    };
    // The origin filter of the To-Do window, with the Markdown kind shown or not (Shown: what
    // it is before, then set to !Shown).
    const auto ToggleMarkdownOrigin = [&](bool Shown) {
        ASSERT_TRUE(P.Ok("trigger FilterKindsAction"));
        ASSERT_TRUE(P.WaitForModal("TToDoFilterDlg")) << P.Send("modal") << "\n" << P.Error();
        EXPECT_EQ(P.Send("modal-checked CheckList Markdown tasks"), Shown ? "ok 1" : "ok 0");
        EXPECT_EQ(P.Send("modal-checked CheckList Current project source files"), "ok 1");
        ASSERT_TRUE(
            P.Ok(std::string("modal-check CheckList Markdown tasks ") + (Shown ? "0" : "1")));
        ASSERT_TRUE(P.Ok("modal-button OK"));
        ASSERT_TRUE(WaitUntil([&] { return P.Send("modal") == "ok"; })) << P.Send("modal");
    };
    const auto WaitForTheWindow = [&] {
        ASSERT_TRUE(WaitUntil([&] { return P.Send("dock-visible ToDoListWindow") == "ok 1"; }))
            << P.Error();
    };

    ASSERT_NO_FATAL_FAILURE(Start(PascalProject));
    ASSERT_NO_FATAL_FAILURE(ShowList(All));
    const long long Count = P.ItemCount();
    ASSERT_EQ(NotesRows(), 3) << ::testing::PrintToString(P.Texts());

    ASSERT_NO_FATAL_FAILURE(ToggleMarkdownOrigin(true));
    ASSERT_TRUE(WaitUntil([&] { return P.ItemCount() == Count - 3; }))
        << ::testing::PrintToString(P.Texts());
    EXPECT_EQ(NotesRows(), 0);
    WaitForTexts(PascalTexts());
    ExpectCleanQuit();
    EXPECT_NE(P.Read(P.SettingsFile()).find("Markdown tasks"), std::string::npos)
        << P.Read(P.SettingsFile());

    // The Markdown manager joins the list when the project opens, before automation answers:
    // once the Pascal items are listed, any collation has walked the tasks too.
    ASSERT_NO_FATAL_FAILURE(Start(PascalProject));
    ASSERT_NO_FATAL_FAILURE(WaitForTheWindow());
    WaitForTexts(PascalTexts());
    EXPECT_EQ(P.ItemCount(), Count - 3) << ::testing::PrintToString(P.Texts());
    EXPECT_EQ(NotesRows(), 0);

    ASSERT_NO_FATAL_FAILURE(ToggleMarkdownOrigin(false));
    ASSERT_TRUE(WaitUntil([&] { return P.ItemCount() == Count; }))
        << ::testing::PrintToString(P.Texts());
    WaitForTexts(All);
    ExpectCleanQuit();

    ASSERT_NO_FATAL_FAILURE(Start(PascalProject));
    ASSERT_NO_FATAL_FAILURE(WaitForTheWindow());
    WaitForTexts(All);
    EXPECT_EQ(P.ItemCount(), Count);
    EXPECT_EQ(NotesRows(), 3);
    ExpectCleanQuit();
}

/// Sets environment variables for the lifetime of the object, then puts back what was there.
class TEnvironmentGuard {
public:
    explicit TEnvironmentGuard(const std::vector<std::pair<std::string, std::string>>& Values) {
        for (const auto& [Name, Value] : Values) {
            const char* Old = std::getenv(Name.c_str());
            FSaved.emplace_back(Name, Old ? std::optional<std::string>(Old) : std::nullopt);
            ::setenv(Name.c_str(), Value.c_str(), 1);
        }
    }
    ~TEnvironmentGuard() {
        for (const auto& [Name, Old] : FSaved)
            Old ? ::setenv(Name.c_str(), Old->c_str(), 1) : ::unsetenv(Name.c_str());
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> FSaved;
};

TEST_F(GuiEndToEnd, TheCallersSettingsPackagesAndSocketAreLeftAlone) {
    // What a user running the tests from a shell set up for the program may have exported.
    const std::string Theirs = P.Dir().File("theirs");
    fs::create_directories(Theirs + "/packages");
    const TEnvironmentGuard Env({{"TODOLIST_CONFIG", Theirs + "/todolist.ini"},
                                 {"TODOLIST_PACKAGE_DIR", Theirs + "/packages"},
                                 {"TODOLIST_AUTOMATION_SOCKET", Theirs + "/auto.sock"}});
    Start(PascalProject);
    // The build's packages are loaded, not the (empty) folder of the caller's.
    EXPECT_EQ(P.Send("enabled ViewToDoListCommand"), "ok 1") << P.Error();
    ExpectCleanQuit();
    EXPECT_TRUE(fs::exists(P.SettingsFile())) << P.SettingsFile();
    EXPECT_NE(P.Read(P.SettingsFile()).find("tasks.dpr"), std::string::npos)
        << P.Read(P.SettingsFile());
    EXPECT_FALSE(fs::exists(Theirs + "/todolist.ini"));
    EXPECT_FALSE(fs::exists(Theirs + "/auto.sock"));
}

} // namespace
