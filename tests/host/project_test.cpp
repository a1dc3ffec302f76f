#include "host/project_loader.h"

#include "host/events.h"
#include "host/module.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

using TNames = std::vector<std::string>;

/// libgit2 reads the user's global ignore rules; point it at an empty home before first use.
const bool HomeIsolated = [] {
    static TTempDir Home;
    ::setenv("HOME", Home.File("").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", Home.File("config").c_str(), 1);
    return true;
}();

/// Creates the files Names (folders as needed) under Dir, each holding Text.
void MakeFiles(const TTempDir& Dir, const TNames& Names, std::string_view Text = "") {
    for (const auto& Name : Names) {
        fs::create_directories(fs::path(Dir.File(Name)).parent_path());
        Dir.Write(Name, Text);
    }
}

/// Makes Dir a git work tree: what a fresh repository holds that tells one apart.
void MakeGitWorkTree(const TTempDir& Dir) {
    fs::create_directories(Dir.File(".git/objects"));
    fs::create_directories(Dir.File(".git/refs/heads"));
    Dir.Write(".git/HEAD", "ref: refs/heads/main\n");
}

/// Dir's own name, without a final slash.
std::string RootOf(const TTempDir& Dir) {
    return fs::path(Dir.File("")).parent_path().string();
}

TNames FileNames(IProject& Project) {
    TNames Names;
    for (const auto& Entry : Project.GetUsesList())
        Names.push_back(Entry->GetFileName());
    return Names;
}

/// Records the project events of one project as text while it lives.
class TEventLog {
public:
    explicit TEventLog(IProject& Project) : FProject(&Project) {
        FAdded = EvProjectModuleAdded().Add(
            [this](IProject& P, TCustomFileEntry& E) { Log(P, "added " + E.GetFileName()); });
        FRemoved = EvProjectModuleRemoved().Add(
            [this](IProject& P, const std::string& Name) { Log(P, "removed " + Name); });
        FRenamed = EvProjectModuleRenamed().Add(
            [this](IProject& P, const std::string& Old, const std::string& New) {
                Log(P, "renamed " + Old + " " + New);
            });
        FProjectRenamed = EvProjectRenamed().Add(
            [this](IProject& P, const std::string& Old, const std::string& New) {
                Log(P, "project " + Old + " " + New);
            });
    }
    ~TEventLog() {
        EvProjectModuleAdded().Remove(FAdded);
        EvProjectModuleRemoved().Remove(FRemoved);
        EvProjectModuleRenamed().Remove(FRenamed);
        EvProjectRenamed().Remove(FProjectRenamed);
    }
    TNames Take() { return std::exchange(FLines, {}); }

private:
    void Log(IProject& P, std::string Line) {
        if (&P == FProject)
            FLines.push_back(std::move(Line));
    }
    IProject* FProject;
    TNames FLines;
    unsigned FAdded, FRemoved, FRenamed, FProjectRenamed;
};

} // namespace

TEST(UsesClause, NamesOnlyTheFilesGivenWithIn) {
    const struct {
        const char* Text;
        TNames Expected;
    } Cases[] = {
        {"program P; uses A in 'a.pas', B in 'sub\\b.pas' {FormB}, C, D.E in 'd.pas'; begin end.",
         {"a.pas", "sub\\b.pas", "d.pas"}},
        {"program P;\n{ uses X in 'x.pas'; }\n(* Y in 'y.pas' *)\n// Z in 'z.pas'\n"
         "USES A IN {here} 'a.pas';",
         {"a.pas"}},
        {"uses A in 'it''s {not a comment}.pas', B in 'x'#47'b.pas';",
         {"it's {not a comment}.pas", "x/b.pas"}},
        {"uses SysUtils, Classes; const S = 'in ''no.pas'''; uses A in 'a.pas';", {"a.pas"}},
        {"uses A in 'a.pas'; begin Run(X in 'y.pas'); end. uses B in 'b.pas';", {"a.pas"}},
        {"package P; requires rtl, widgets; contains U in 'u.pas', V in 'v\\v.pas'; end.",
         {"u.pas", "v\\v.pas"}},
        {"program P; { unclosed comment uses A in 'a.pas';", {}},
        {"", {}},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(ParseUsesClause(C.Text), C.Expected) << C.Text;
}

TEST(LoadProject, APascalProjectHoldsItsFileAndTheUnitsItNames) {
    TTempDir Dir;
    MakeFiles(Dir, {"a.pas", "sub/b.pas", "sub/deep/c.pas", "unit1.pas", "other.pas", "P.todo"});
    Dir.Write("P.dpr",
              "program P;\nuses\n  SysUtils,\n  A in 'a.pas',\n"
              "  B in 'sub\\b.pas', C in 'sub/deep/../deep/c.pas',\n"
              "  Gone in 'gone.pas', Unit1 in 'Unit1.pas', Again in 'A.pas';\nbegin\nend.");
    auto Loaded = LoadProject(Dir.File("P.dpr"));
    ASSERT_TRUE(Loaded.Ok()) << Loaded.Status().Message();
    IProject& P = *Loaded.Value().Project;
    EXPECT_EQ(P.GetName(), "P");
    EXPECT_EQ(FileNames(P),
              (TNames{Dir.File("P.dpr"), Dir.File("a.pas"), Dir.File("sub/b.pas"),
                      Dir.File("sub/deep/c.pas"), Dir.File("unit1.pas"), Dir.File("P.todo")}));
    EXPECT_EQ(Loaded.Value().MissingUnits, TNames{Dir.File("gone.pas")});

    const TProjectScope& Scope = *Loaded.Value().Scope;
    EXPECT_TRUE(Scope.UsesClauseProject());
    EXPECT_EQ(Scope.Folders(), (TNames{RootOf(Dir), Dir.File("sub"), Dir.File("sub/deep")}));
    EXPECT_FALSE(Scope.IsUnitFile(Dir.File("other.pas")));
    EXPECT_TRUE(Scope.ShouldWatchFolder(Dir.File("sub/deep/")));
    EXPECT_FALSE(Scope.ShouldWatchFolder(Dir.File("sub/none")));
}

TEST(LoadProject, AFolderWalkSkipsHiddenBuildAndLinkedFolders) {
    TTempDir Dir;
    const std::string Root = Dir.File("proj");
    MakeFiles(Dir, {"proj/a.c", "proj/notes.txt", "proj/src/m/z.go", "proj/src/.hidden.rs",
                    "proj/.cache/x.c", "proj/build/x.c", "proj/Build-Debug/x.c",
                    "proj/node_modules/p/x.js", "proj/Target/x.rs", "proj/proj.todo"});
    fs::create_directory_symlink(Root, Root + "/src/loop");
    fs::create_symlink(Root + "/a.c", Root + "/link.cpp");
    auto Loaded = LoadProject(Root + "/");
    ASSERT_TRUE(Loaded.Ok()) << Loaded.Status().Message();
    IProject& P = *Loaded.Value().Project;
    EXPECT_EQ(P.GetFileName(), Root + "/proj");
    EXPECT_EQ(P.GetName(), "proj");
    EXPECT_EQ(FileNames(P), (TNames{Root + "/a.c", Root + "/link.cpp", Root + "/src/.hidden.rs",
                                    Root + "/src/m/z.go", Root + "/proj.todo"}));

    const TProjectScope& Scope = *Loaded.Value().Scope;
    EXPECT_FALSE(Scope.UsesClauseProject());
    EXPECT_EQ(Scope.Folders(), (TNames{Root, Root + "/src", Root + "/src/m"}));
    const std::pair<const char*, bool> Units[] = {
        {"/new.ts", true},        {"/src/m/gone.go", true}, {"/src/new/x.c", true},
        {"/notes.txt", false},    {"/build/y.c", false},    {"/src/.git/y.c", false},
        {"/src/loop/a.c", false}, {"/../a.c", false},       {"", false}};
    for (const auto& [Name, Unit] : Units)
        EXPECT_EQ(Scope.IsUnitFile(Root + Name), Unit) << Name;
    const std::pair<const char*, bool> Folders[] = {
        {"", true},      {"/src/m", true},     {"/src/new", true},
        {"/bin", false}, {"/src/loop", false}, {"/src/cmake-build-x", false}};
    for (const auto& [Name, Watch] : Folders)
        EXPECT_EQ(Scope.ShouldWatchFolder(Root + Name), Watch) << Name;
}

TEST(LoadProject, AGitWorkTreeLeavesOutWhatItIgnores) {
    TTempDir Dir;
    MakeGitWorkTree(Dir);
    MakeFiles(Dir, {"a.c", "gen/x.c", "b.gen.c", "keep.gen.c", "sub/local.c", "sub/other.c",
                    "sub/gen/y.c"});
    Dir.Write(".gitignore", "gen/\n*.gen.c\n!keep.gen.c\n");
    Dir.Write("sub/.gitignore", "local.c\n");
    const std::string Root = RootOf(Dir);

    auto Loaded = LoadProject(Root);
    ASSERT_TRUE(Loaded.Ok()) << Loaded.Status().Message();
    EXPECT_EQ(FileNames(*Loaded.Value().Project),
              (TNames{Root + "/a.c", Root + "/keep.gen.c", Root + "/sub/other.c"}));
    const TProjectScope& Scope = *Loaded.Value().Scope;
    EXPECT_TRUE(Scope.IsUnitFile(Root + "/new.c"));
    EXPECT_FALSE(Scope.IsUnitFile(Root + "/c.gen.c"));
    EXPECT_FALSE(Scope.IsUnitFile(Root + "/sub/gen/z.c"));
    EXPECT_FALSE(Scope.ShouldWatchFolder(Root + "/gen"));

    // A project folder inside the work tree reads the rules of the folders above it.
    auto Sub = LoadProject(Root + "/sub");
    ASSERT_TRUE(Sub.Ok()) << Sub.Status().Message();
    EXPECT_EQ(FileNames(*Sub.Value().Project), TNames{Root + "/sub/other.c"});
    EXPECT_FALSE(Sub.Value().Scope->IsUnitFile(Root + "/sub/local.c"));
}

TEST(LoadProject, RefusesWhatIsNoProject) {
    TTempDir Dir;
    ASSERT_EQ(::mkfifo(Dir.File("pipe").c_str(), 0600), 0);
    const std::pair<std::string, std::string> Cases[] = {
        {"", "no project given"},
        {Dir.File("none"),
         "cannot open project " + Dir.File("none") + ": no such file or directory"},
        {Dir.File("pipe"), "cannot open project " + Dir.File("pipe") + ": not a file or folder"},
        {"/", "cannot use the root folder as a project"}};
    for (const auto& [Path, Message] : Cases)
        EXPECT_EQ(LoadProject(Path).Status().Message(), Message) << Path;
}

TEST(Project, ChangesRaiseTheirEventOnlyWhenTheyChangeSomething) {
    const auto P = TProject::Create("/p/app.dpr", {"/p/a.pas", "/p/./b.pas", "/p/a.pas", ""});
    TEventLog Events(*P);
    P->SetModified(true);
    const struct {
        std::function<void()> Op;
        TNames Events;
        TNames Files; // after the change
    } Cases[] = {
        {[&] { P->AddFile("/p/c.pas"); }, {"added /p/c.pas"}, {"/p/a.pas", "/p/b.pas", "/p/c.pas"}},
        {[&] { P->AddFile("/p/x/../c.pas"); }, {}, {"/p/a.pas", "/p/b.pas", "/p/c.pas"}},
        {[&] { P->RemoveFile("/p/none.pas"); }, {}, {"/p/a.pas", "/p/b.pas", "/p/c.pas"}},
        {[&] { P->RemoveFile("/p//b.pas"); }, {"removed /p/b.pas"}, {"/p/a.pas", "/p/c.pas"}},
        {[&] { P->RenameFile("/p/a.pas", "/p/z.pas"); },
         {"renamed /p/a.pas /p/z.pas"},
         {"/p/z.pas", "/p/c.pas"}},
        {[&] { P->RenameFile("/p/a.pas", "/p/y.pas"); }, {}, {"/p/z.pas", "/p/c.pas"}},
        {[&] { P->RenameFile("/p/z.pas", "/p/c.pas"); }, {"removed /p/z.pas"}, {"/p/c.pas"}},
        {[&] { P->Rename("/q/app2.lpr"); }, {"project /p/app.dpr /q/app2.lpr"}, {"/p/c.pas"}},
        {[&] { P->Rename("/q/app2.lpr"); }, {}, {"/p/c.pas"}},
    };
    for (size_t I = 0; I < std::size(Cases); ++I) {
        Cases[I].Op();
        EXPECT_EQ(Events.Take(), Cases[I].Events) << I;
        EXPECT_EQ(FileNames(*P), Cases[I].Files) << I;
        for (const auto& Name : {"/p/a.pas", "/p/b.pas", "/p/c.pas", "/p/z.pas"})
            EXPECT_EQ(P->Contains(Name), std::ranges::count(Cases[I].Files, Name) == 1)
                << I << Name;
    }
    EXPECT_EQ(P->GetName(), "app2");
    EXPECT_EQ(P->GetProjectModule()->GetFileName(), "/q/app2.lpr");
    EXPECT_TRUE(P->GetModified()) << "the flag survives the rename";
}

TEST(Project, SeesARenameMadeThroughAnEntry) {
    const auto P = TProject::Create("/p/p", {"/p/a.c", "/p/b.c"});
    P->FindFileEntry("/p/a.c")->SetFileName("/p/x.c");
    EXPECT_FALSE(P->Contains("/p/a.c"));
    EXPECT_TRUE(P->Contains("/p/x.c"));
    P->RemoveFile("/p/x.c");
    EXPECT_EQ(FileNames(*P), TNames{"/p/b.c"});
}

TEST(Project, AHandlerMayCallBackIntoTheProject) {
    const auto P = TProject::Create("/p/p", {});
    TNames Seen;
    const auto Token = EvProjectModuleAdded().Add([&](IProject& Sender, TCustomFileEntry& E) {
        Seen.push_back(E.GetFileName() + (Sender.Contains(E.GetFileName()) ? " in" : " out"));
        if (E.GetFileName() == "/p/a.c")
            Sender.AddFile("/p/b.c");
    });
    P->AddFile("/p/a.c");
    EvProjectModuleAdded().Remove(Token);
    EXPECT_EQ(Seen, (TNames{"/p/a.c in", "/p/b.c in"}));
}

TEST(Project, QueriesRunWhileAnotherThreadChangesTheProject) {
    const auto P = TProject::Create("/p/p", {"/p/keep.c"});
    std::atomic<bool> Done{false};
    std::jthread Reader([&] {
        while (!Done)
            EXPECT_TRUE(P->Contains("/p/keep.c") && !P->GetUsesList().empty());
    });
    for (int I = 0; I < 2000; ++I) {
        const std::string Name = "/p/f" + std::to_string(I % 50) + ".c";
        P->AddFile(Name);
        P->RenameFile(Name, Name + "x");
        P->RemoveFile(Name + "x");
    }
    Done = true;
}
