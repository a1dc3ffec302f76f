// End-to-end tests of the commands on a project: listing its units and its to-do file, adding
// project items (the to-do file is made on first use), working rows by number, refusing a row
// that changed, and `watch` following changes on disk.
#include "cli_run.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

const fs::path DataDir = fs::path(TODO_TEST_DATA_DIR) / "cli" / "app_project";

class ProjectTest : public ::testing::Test, public TCliRunner {
protected:
    using TCliRunner::Run;
    ProjectTest() : TCliRunner(DataDir / "app") { Options = {"--project", "app.dpr"}; }
    static std::string Expected(const char* Name) { return ReadBytes(DataDir / Name); }
};

TEST_F(ProjectTest, AddListAndWorkRowsOfTheProject) {
    struct TStep {
        std::vector<std::string> Args;
        const char* Out; // expected standard output: a file under tests/data/cli/project, or
                         // the text itself when it starts with '='
    };
    const TStep Steps[] = {
        {{"list"}, "list_units.txt"},
        {{"add", "Release notes for 2.0", "--priority", "1", "--owner", "Ann", "--category",
          "Docs"},
         "=app.todo:1:1: TODO 1 -oAnn -cDocs: Release notes for 2.0\n"},
        {{"add", "Describe the file format"}, "=app.todo:2:1: TODO: Describe the file format\n"},
        {{"list", "--sort", "priority"}, "list_with_project_items.txt"},
        {{"done", "#1", "--sort", "priority"},
         "=app.todo:1:1: DONE 1 -oAnn -cDocs: Release notes for 2.0\n"},
        {{"edit", "units/a.pas:5", "--category", "Build"},
         "=units/a.pas:5:1: TODO 2 -oAnn -cBuild: Fix the splitter\n"},
        // The module order puts the project's items (no module) first.
        {{"list"}, "list_before_delete.txt"},
        {{"delete", "#1"}, "="},
        {{"list", "--show-completed"}, "list_after.txt"},
    };
    for (const TStep& S : Steps) {
        SCOPED_TRACE(::testing::PrintToString(S.Args));
        std::string Out = Ok(S.Args);
        EXPECT_EQ(Out, S.Out[0] == '=' ? std::string(S.Out + 1) : Expected(S.Out));
    }
    EXPECT_EQ(ReadBytes(Path("app.todo")), "{DONE 1 -oAnn -cDocs : Release notes for 2.0}\r\n");
    EXPECT_EQ(ReadBytes(Path("units/a.pas")),
              "unit A;\n\ninterface\n\n{ TODO 2 -oAnn -cBuild : Fix the splitter }\n"
              "// TODO 3 -oBen : Cache the results\n\nimplementation\n\nend.\n");
}

TEST_F(ProjectTest, ARowThatChangedSinceTheListingIsRefused) {
    Ok({"list"});
    const std::string Before = ReadBytes(Path("units/a.pas"));
    std::ofstream(Path("units/a.pas"), std::ios::binary)
        << Replace(Before, "Fix the splitter", "Fix the toolbar");
    TRun R = Run({"done", "#2"});
    EXPECT_EQ(R.Exit, 1);
    EXPECT_EQ(R.Err, "todolist: row 2 is not the to-do comment 'todolist list' showed there "
                     "(the files changed since); run 'todolist list' again\n");
    EXPECT_EQ(ReadBytes(Path("units/a.pas")),
              Replace(Before, "Fix the splitter", "Fix the toolbar"));
    Ok({"list"}); // a new listing names the rows anew
    EXPECT_NE(Ok({"done", "#2"}).find("DONE 2 -oAnn -cUI: Fix the toolbar"), std::string::npos);
}

TEST_F(ProjectTest, MistakesAreReportedAndChangeNothing) {
    struct TCase {
        std::vector<std::string> Args;
        int Exit;
        const char* Err;
    };
    const TCase Cases[] = {
        {{"--project", "app.dpr", "done", "#9"},
         1,
         "todolist: there is no row 9: the list has 4 rows\n"},
        {{"--project", "missing", "list"},
         1,
         "todolist: cannot open project @DIR@/missing: no such file or directory\n"},
        {{"--no-project", "add", "x"},
         2,
         "todolist: no project to add to (--no-project); give --at FILE:LINE to add a comment to "
         "a source file\n"},
        {{"--project", "app.dpr", "add", "x", "--priority", "7"},
         2,
         "todolist: Priority must be between 0 and 5.\n"},
        {{"add", "x", "--at", "units/a.pas:99"},
         1,
         "todolist: units/a.pas:99: the file has no line 99\n"},
    };
    const std::string Dir = fs::canonical(Tmp.File("project")).string();
    Options.clear();
    for (const TCase& C : Cases) {
        SCOPED_TRACE(::testing::PrintToString(C.Args));
        TRun R = Run(C.Args);
        EXPECT_EQ(R.Exit, C.Exit);
        EXPECT_EQ(R.Err, Replace(C.Err, "@DIR@", Dir));
        EXPECT_EQ(R.Out, "");
    }
    EXPECT_FALSE(fs::exists(Path("app.todo")));
}

TEST_F(ProjectTest, AddAtInsertsACommentIntoASourceFileAndWarnsOfABrace) {
    EXPECT_EQ(Ok({"add", "Check the range", "--owner", "Ann", "--at", "units/b.pas:7"}),
              "units/b.pas:7:1: TODO -oAnn: Check the range\n");
    EXPECT_NE(ReadBytes(Path("units/b.pas")).find("\n{ TODO -oAnn : Check the range }"),
              std::string::npos)
        << ReadBytes(Path("units/b.pas"));
    TRun R = Run({"add", "Keep { and } apart"});
    EXPECT_EQ(R.Exit, 0);
    EXPECT_NE(R.Err.find("warning: the text holds '}'"), std::string::npos) << R.Err;
}

TEST_F(ProjectTest, HtmlListFollowsTheStoredTableOptions) {
    EXPECT_EQ(Ok({"table", "--column", "owner", "--title", "Who", "--font-bold"}), "");
    const std::string Dir = fs::canonical(Tmp.File("project")).string();
    EXPECT_EQ(Ok({"list", "--format", "html"}), Replace(Expected("list.html"), "@DIR@", Dir));
    const std::string Stored = ReadBytes(Settings());
    TRun R = Run({"table", "--border", "x"}); // refused: nothing is saved
    EXPECT_EQ(R.Exit, 1);
    EXPECT_EQ(R.Err, "todolist: --border: 'x' is not an integer\n");
    EXPECT_EQ(ReadBytes(Settings()), Stored);
    Options = {"--no-project"};
    EXPECT_EQ(Run({"list", "--format", "html"}).Exit, 2);
}

/// Runs `watch` with its output going to a file, changes a file on disk and waits for the list
/// to follow; Ctrl+C ends it with success.
TEST_F(ProjectTest, WatchPrintsEachNewListUntilInterrupted) {
    const std::string Out = Tmp.File("watch.out");
    pid_t Pid = fork();
    ASSERT_GE(Pid, 0);
    if (Pid == 0) {
        // exec: the shell becomes todolist, so the signal below reaches it.
        std::string Cmd = Command({"watch"}) + " >" + Quote(Out) + " 2>&1";
        execl("/bin/sh", "sh", "-c", Cmd.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    auto WaitFor = [&](const std::string& Text) {
        for (int I = 0; I < 600; ++I) {
            if (ReadBytes(Out).find(Text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    };
    EXPECT_TRUE(WaitFor("4 items pending")) << ReadBytes(Out);
    std::ofstream(Path("units/b.pas"), std::ios::app) << "// TODO: Added while watching\n";
    EXPECT_TRUE(WaitFor("5 items pending")) << ReadBytes(Out);
    // A new unit joins when the uses clause names it.
    std::ofstream(Path("units/c.pas")) << "{ TODO: A new unit }\n";
    const std::string Dpr = ReadBytes(Path("app.dpr"));
    std::ofstream(Path("app.dpr"), std::ios::binary)
        << Replace(Dpr, "uses\n", "uses\n  C in 'units/c.pas',\n");
    EXPECT_TRUE(WaitFor("A new unit")) << ReadBytes(Out);
    kill(Pid, SIGINT);
    int Status = 0;
    for (int I = 0; I < 200 && waitpid(Pid, &Status, WNOHANG) == 0; ++I)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (waitpid(Pid, &Status, WNOHANG) == 0) { // still running: it ignored the interrupt
        kill(Pid, SIGKILL);
        waitpid(Pid, &Status, 0);
        ADD_FAILURE() << "watch did not stop on SIGINT";
    }
    EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << Status;
    EXPECT_NE(ReadBytes(Out).find("Added while watching"), std::string::npos);
}

} // namespace
