// End-to-end tests of the todolist command: run the real program on a copy of a small project and
// compare what it prints and what it leaves in the files with expected files.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path DataDir = fs::path(TODO_TEST_DATA_DIR) / "cli";

std::string ReadAll(const fs::path& P) {
    std::ifstream In(P, std::ios::binary);
    std::stringstream S;
    S << In.rdbuf();
    return S.str();
}

std::string Quote(const std::string& S) {
    std::string Q = "'";
    for (char C : S)
        Q += C == '\'' ? std::string("'\\''") : std::string(1, C);
    return Q + "'";
}

struct TRun {
    int Exit = -1;
    std::string Out;
    std::string Err;
};

/// A copy of the test project in a fresh temporary folder, removed at the end.
class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device Rd;
        Dir = fs::temp_directory_path() / ("todolist-cli-" + std::to_string(Rd()));
        fs::create_directories(Dir);
        fs::copy(DataDir / "project", Dir / "project", fs::copy_options::recursive);
    }
    void TearDown() override {
        std::error_code Ec;
        fs::permissions(Dir / "project", fs::perms::owner_all, fs::perm_options::add, Ec);
        fs::remove_all(Dir, Ec);
    }

    /// Runs todolist with Args in the project folder.
    TRun Run(const std::vector<std::string>& Args) {
        std::string Cmd = "cd " + Quote((Dir / "project").string()) + " && " + Quote(TODOLIST_EXE);
        for (const auto& A : Args)
            Cmd += ' ' + Quote(A);
        Cmd += " >" + Quote((Dir / "out").string()) + " 2>" + Quote((Dir / "err").string());
        int Status = std::system(Cmd.c_str());
        TRun R;
        R.Exit = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
        R.Out = ReadAll(Dir / "out");
        R.Err = ReadAll(Dir / "err");
        return R;
    }

    std::string File(const std::string& Name) { return ReadAll(Dir / "project" / Name); }
    std::string Original(const std::string& Name) { return ReadAll(DataDir / "project" / Name); }
    std::string Expected(const std::string& Name) { return ReadAll(DataDir / "expected" / Name); }

    fs::path Dir;
};

TEST_F(CliTest, ScanPrintsEveryItemOfTheTree) {
    auto R = Run({"scan", "."});
    EXPECT_EQ(R.Exit, 0) << R.Err;
    EXPECT_EQ(R.Out, Expected("scan.txt"));
    EXPECT_EQ(R.Err, "");
}

TEST_F(CliTest, ScanJsonGivesEveryFieldAndRange) {
    auto R = Run({"scan", "--json", "main.pas", "crlf.c"});
    EXPECT_EQ(R.Exit, 0) << R.Err;
    EXPECT_EQ(R.Out, Expected("scan.jsonl"));
}

TEST_F(CliTest, ScanIsTheSameWithOneWorkerOrMany) {
    auto One = Run({"scan", "--jobs", "1", "."});
    auto Many = Run({"scan", "--jobs", "8", "."});
    EXPECT_EQ(One.Out, Many.Out);
}

TEST_F(CliTest, ScanReportsProblemsAndGoesOn) {
    auto R = Run({"scan", "missing.pas", "sub/notes.txt", "main.pas"});
    EXPECT_EQ(R.Exit, 1);
    EXPECT_NE(R.Err.find("missing.pas"), std::string::npos) << R.Err;
    EXPECT_NE(R.Err.find("sub/notes.txt: not a recognised source file"), std::string::npos)
        << R.Err;
    EXPECT_NE(R.Out.find("main.pas:7:1: TODO 2 -oAnn -cUI: Fix the splitter"), std::string::npos);
}

struct TEditCase {
    const char* Name;
    std::vector<std::string> Args;
    const char* File;    ///< the file the command changes
    int Line;            ///< the one line that changes (1-based); every other byte stays
    const char* NewLine; ///< what that line reads afterwards (a CR of CR LF included)
    const char* Out;     ///< expected standard output
};

void PrintTo(const TEditCase& C, std::ostream* Os) {
    *Os << C.Name;
}

/// Text with its Line-th line (1-based, lines split at LF) replaced by NewLine.
std::string WithLine(const std::string& Text, int Line, const std::string& NewLine) {
    size_t Start = 0;
    for (int I = 1; I < Line; ++I)
        Start = Text.find('\n', Start) + 1;
    size_t End = Text.find('\n', Start);
    return Text.substr(0, Start) + NewLine + (End == std::string::npos ? "" : Text.substr(End));
}

class CliEditTest : public CliTest, public ::testing::WithParamInterface<TEditCase> {};

TEST_P(CliEditTest, RewritesOnlyTheComment) {
    const auto& C = GetParam();
    auto R = Run(C.Args);
    EXPECT_EQ(R.Exit, 0) << R.Err;
    EXPECT_EQ(R.Out, C.Out);
    EXPECT_EQ(File(C.File), WithLine(Original(C.File), C.Line, C.NewLine));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliEditTest,
    ::testing::Values(
        TEditCase{"DoneByOffset",
                  {"edit", "main.pas@39", "--done"},
                  "main.pas",
                  7,
                  "{ DONE 2 -oAnn -cUI : Fix the splitter }",
                  "main.pas:7:1: DONE 2 -oAnn -cUI: Fix the splitter\n"},
        TEditCase{"UndoneByLine",
                  {"edit", "main.pas:10", "--undone"},
                  "main.pas",
                  10,
                  "  // TODO: ship it",
                  "main.pas:10:3: TODO: ship it\n"},
        TEditCase{"EveryField",
                  {"edit", "main.pas:7:1", "--text", "Move the splitter", "--owner", "Ben Lee",
                   "--category", "Layout", "--priority", "4"},
                  "main.pas",
                  7,
                  "{ TODO 4 -oBen Lee -cLayout : Move the splitter}",
                  "main.pas:7:1: TODO 4 -oBen Lee -cLayout: Move the splitter\n"},
        TEditCase{"AddSwitchesAfterPriority",
                  {"edit", "main.pas:16", "--owner", "Cleo", "--category", "Core"},
                  "main.pas",
                  16,
                  "{ TODO 1 2 -oCleo -cCore: the last number wins }",
                  "main.pas:16:1: TODO 2 -oCleo -cCore: the last number wins\n"},
        TEditCase{"RemoveFields",
                  {"edit", "main.pas:7", "--owner", "", "--category", "", "--priority", "0"},
                  "main.pas",
                  7,
                  "{ TODO    : Fix the splitter }",
                  "main.pas:7:1: TODO: Fix the splitter\n"},
        TEditCase{"EmptyTextGetsOne",
                  {"edit", "main.pas:19", "--text", "now filled"},
                  "main.pas",
                  19,
                  "{TODO:now filled}",
                  "main.pas:19:1: TODO: now filled\n"},
        TEditCase{"CrLfLineComment",
                  {"edit", "crlf.c:2:8", "--text", "changed", "--done"},
                  "crlf.c",
                  2,
                  "int x; // DONE -cBuild: changed\r",
                  "crlf.c:2:8: DONE -cBuild: changed\n"},
        TEditCase{"DeleteBlockComment", {"delete", "main.pas:12"}, "main.pas", 12, "  ", ""},
        TEditCase{"DeleteLastLineComment", {"delete", "crlf.c:3:8"}, "crlf.c", 3, "int y; ", ""}),
    [](const auto& Info) { return std::string(Info.param.Name); });

struct TErrorCase {
    const char* Name;
    std::vector<std::string> Args;
    int Exit;
    const char* Message; ///< expected part of standard error
};

void PrintTo(const TErrorCase& C, std::ostream* Os) {
    *Os << C.Name;
}

class CliErrorTest : public CliTest, public ::testing::WithParamInterface<TErrorCase> {};

TEST_P(CliErrorTest, FailsClearlyAndLeavesTheFilesAlone) {
    const auto& C = GetParam();
    auto R = Run(C.Args);
    EXPECT_EQ(R.Exit, C.Exit);
    EXPECT_NE(R.Err.find(C.Message), std::string::npos) << R.Err;
    EXPECT_EQ(File("main.pas"), Original("main.pas"));
    EXPECT_EQ(File("crlf.c"), Original("crlf.c"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliErrorTest,
    ::testing::Values(
        TErrorCase{"PriorityTooHigh",
                   {"edit", "main.pas:7", "--priority", "6"},
                   2,
                   "Priority must be between 0 and 5."},
        TErrorCase{"PriorityNegative",
                   {"edit", "main.pas:7", "--priority", "-1"},
                   2,
                   "Priority must be between 0 and 5."},
        TErrorCase{
            "PriorityNotANumber", {"edit", "main.pas:7", "--priority", "two"}, 2, "priority"},
        TErrorCase{"NothingToChange", {"edit", "main.pas:7"}, 2, "nothing to change"},
        TErrorCase{"BadLocation", {"edit", "main.pas", "--done"}, 2, "bad location"},
        TErrorCase{
            "NoItemThere", {"edit", "main.pas:8", "--done"}, 1, "no to-do comment at main.pas:8"},
        TErrorCase{
            "NoItemAtOffset", {"delete", "main.pas@40"}, 1, "no to-do comment at main.pas@40"},
        TErrorCase{"MissingFile", {"edit", "gone.pas:1", "--done"}, 1, "gone.pas"},
        TErrorCase{
            "UnknownExtension", {"delete", "sub/notes.txt:1"}, 1, "not a recognised source file"},
        TErrorCase{
            "OwnerThatWouldNotReadBack", {"edit", "main.pas:7", "--owner", "a:b"}, 1, "owner"},
        TErrorCase{
            "TextThatWouldCloseTheComment", {"edit", "main.pas:7", "--text", "a } b"}, 1, "text"},
        TErrorCase{"DoneAndUndone", {"edit", "main.pas:7", "--done", "--undone"}, 2, "excludes"},
        TErrorCase{"UnknownCommand", {"frobnicate"}, 2, "frobnicate"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(CliTest, ReadOnlyFileIsNotOverwritten) {
    fs::permissions(Dir / "project" / "main.pas", fs::perms::owner_read | fs::perms::group_read);
    auto R = Run({"edit", "main.pas:7", "--done"});
    EXPECT_EQ(R.Exit, 1);
    EXPECT_NE(R.Err.find("main.pas"), std::string::npos) << R.Err;
    EXPECT_EQ(File("main.pas"), Original("main.pas"));
}

TEST_F(CliTest, EveryCommandHasHelp) {
    for (const char* Cmd : {"scan", "edit", "delete"}) {
        auto R = Run({Cmd, "--help"});
        EXPECT_EQ(R.Exit, 0) << Cmd;
        EXPECT_NE(R.Out.find("Usage"), std::string::npos) << Cmd;
    }
}

} // namespace
