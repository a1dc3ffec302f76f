// End-to-end tests of scan, edit and delete: run the real program on a copy of a small project and
// compare what it prints and what it leaves in the files with expected files.
#include "cli_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path DataDir = fs::path(TODO_TEST_DATA_DIR) / "cli";

std::string Original(const std::string& Name) {
    return ReadBytes(DataDir / "project" / Name);
}

/// Text with its Line-th line (1-based, lines split at LF) replaced by NewLine.
std::string WithLine(const std::string& Text, int Line, const std::string& NewLine) {
    size_t Start = 0;
    for (int I = 1; I < Line; ++I)
        Start = Text.find('\n', Start) + 1;
    size_t End = Text.find('\n', Start);
    return Text.substr(0, Start) + NewLine + (End == std::string::npos ? "" : Text.substr(End));
}

TEST(Cli, ScanPrintsEveryItemTheSameWithAnyNumberOfWorkersAndGoesOnAfterProblems) {
    TCliRunner Cli(DataDir / "project");
    const std::string Expected = ReadBytes(DataDir / "expected/scan.txt");
    using TArgs = std::vector<std::string>; // the default is one worker per core
    for (const TArgs& Args :
         {TArgs{"scan", "."}, {"scan", "-j", "1", "."}, {"scan", "-j", "8", "."}})
        EXPECT_EQ(Cli.Ok(Args), Expected) << Args.size();
    EXPECT_EQ(Cli.Ok({"scan", "--json", "main.pas", "crlf.c"}),
              ReadBytes(DataDir / "expected/scan.jsonl"));

    TRun R = Cli.Run({"scan", "missing.pas", "sub/notes.txt", "main.pas"});
    EXPECT_EQ(R.Exit, 1);
    EXPECT_NE(R.Err.find("missing.pas"), std::string::npos) << R.Err;
    EXPECT_NE(R.Err.find("sub/notes.txt: not a recognised source file"), std::string::npos)
        << R.Err;
    EXPECT_NE(R.Out.find("main.pas:7:1: TODO 2 -oAnn -cUI: Fix the splitter"), std::string::npos);
}

TEST(Cli, EditAndDeleteRewriteOnlyTheComment) {
    const struct {
        std::vector<std::string> Args;
        const char* File;    // the file the command changes
        int Line;            // the one line that changes (1-based); every other byte stays
        const char* NewLine; // what that line reads afterwards (a CR of CR LF included)
        const char* Out;     // expected standard output
    } Cases[] = {
        {{"edit", "main.pas@39", "--done"},
         "main.pas",
         7,
         "{ DONE 2 -oAnn -cUI : Fix the splitter }",
         "main.pas:7:1: DONE 2 -oAnn -cUI: Fix the splitter\n"},
        {{"edit", "main.pas:10", "--undone"},
         "main.pas",
         10,
         "  // TODO: ship it",
         "main.pas:10:3: TODO: ship it\n"},
        {{"edit", "main.pas:7:1", "--text", "Move the splitter", "--owner", "Ben Lee", "--category",
          "Layout", "--priority", "4"},
         "main.pas",
         7,
         "{ TODO 4 -oBen Lee -cLayout : Move the splitter}",
         "main.pas:7:1: TODO 4 -oBen Lee -cLayout: Move the splitter\n"},
        // New switches go after the last priority number.
        {{"edit", "main.pas:16", "--owner", "Cleo", "--category", "Core"},
         "main.pas",
         16,
         "{ TODO 1 2 -oCleo -cCore: the last number wins }",
         "main.pas:16:1: TODO 2 -oCleo -cCore: the last number wins\n"},
        {{"edit", "main.pas:7", "--owner", "", "--category", "", "--priority", "0"},
         "main.pas",
         7,
         "{ TODO    : Fix the splitter }",
         "main.pas:7:1: TODO: Fix the splitter\n"},
        {{"edit", "main.pas:19", "--text", "now filled"},
         "main.pas",
         19,
         "{TODO:now filled}",
         "main.pas:19:1: TODO: now filled\n"},
        {{"edit", "crlf.c:2:8", "--text", "changed", "--done"},
         "crlf.c",
         2,
         "int x; // DONE -cBuild: changed\r",
         "crlf.c:2:8: DONE -cBuild: changed\n"},
        {{"delete", "main.pas:12"}, "main.pas", 12, "  ", ""},
        {{"delete", "crlf.c:3:8"}, "crlf.c", 3, "int y; ", ""},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(::testing::PrintToString(C.Args));
        TCliRunner Cli(DataDir / "project"); // each command starts from the original files
        EXPECT_EQ(Cli.Ok(C.Args), C.Out);
        EXPECT_EQ(ReadBytes(Cli.Path(C.File)), WithLine(Original(C.File), C.Line, C.NewLine));
    }
}

TEST(Cli, MistakesFailClearlyAndLeaveTheFilesAlone) {
    const struct {
        std::vector<std::string> Args;
        int Exit;
        const char* Message; // expected part of standard error
    } Cases[] = {
        {{"edit", "main.pas:7", "--priority", "6"}, 2, "Priority must be between 0 and 5."},
        {{"edit", "main.pas:7", "--priority", "-1"}, 2, "Priority must be between 0 and 5."},
        {{"edit", "main.pas:7", "--priority", "two"}, 2, "priority"},
        {{"edit", "main.pas:7"}, 2, "nothing to change"},
        {{"edit", "main.pas", "--done"}, 2, "bad location"},
        {{"edit", "main.pas:8", "--done"}, 1, "no to-do comment at main.pas:8"},
        {{"delete", "main.pas@40"}, 1, "no to-do comment at main.pas@40"},
        {{"edit", "gone.pas:1", "--done"}, 1, "gone.pas"},
        {{"delete", "sub/notes.txt:1"}, 1, "not a recognised source file"},
        {{"edit", "main.pas:7", "--owner", "a:b"}, 1, "owner"}, // would not read back
        {{"edit", "main.pas:7", "--text", "a } b"}, 1, "text"}, // would close the comment
        {{"edit", "main.pas:7", "--done", "--undone"}, 2, "excludes"},
        {{"frobnicate"}, 2, "frobnicate"},
        {{"edit", "main.pas:7", "--done"}, 1, "main.pas"}, // the file is read-only by then
    };
    TCliRunner Cli(DataDir / "project");
    for (const auto& C : Cases) {
        SCOPED_TRACE(::testing::PrintToString(C.Args));
        if (&C == std::end(Cases) - 1)
            fs::permissions(Cli.Path("main.pas"), fs::perms::owner_read | fs::perms::group_read);
        TRun R = Cli.Run(C.Args);
        EXPECT_EQ(R.Exit, C.Exit);
        EXPECT_NE(R.Err.find(C.Message), std::string::npos) << R.Err;
        EXPECT_EQ(ReadBytes(Cli.Path("main.pas")), Original("main.pas"));
        EXPECT_EQ(ReadBytes(Cli.Path("crlf.c")), Original("crlf.c"));
    }
}

} // namespace
