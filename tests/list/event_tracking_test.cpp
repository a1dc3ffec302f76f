// The service following the host: which files have a manager after project, view and project
// file events, renames, captions. Runs on real files and host modules.
#include "../host/stub_project.h"
#include "../host/temp_dir.h"
#include "list_fixture.h"

#include "comments/cfile_handler.h"
#include "host/c_language.h"
#include "host/events.h"
#include "host/module.h"
#include "host/source_creators.h"
#include "items/source_todo_manager.h"
#include "items/todo_mgr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

/// A project over a set of files that raises the project events as the host does.
struct TSetProject : TStubProject {
    std::string File, Name;
    std::vector<std::string> Files;
    TSetProject(std::string F, std::string N, std::vector<std::string> Fs)
        : File(std::move(F)), Name(std::move(N)), Files(std::move(Fs)) {}
    std::string GetFileName() override { return File; }
    std::string GetName() override { return Name; }
    bool Contains(const std::string& F) override {
        return std::find(Files.begin(), Files.end(), F) != Files.end();
    }
    std::vector<std::shared_ptr<TCustomFileEntry>> GetUsesList() override {
        std::vector<std::shared_ptr<TCustomFileEntry>> Out;
        for (const auto& F : Files)
            Out.push_back(std::make_shared<TCustomFileEntry>(F));
        return Out;
    }
    void AddFile(const std::string& F) override {
        Files.push_back(F);
        TCustomFileEntry Entry(F);
        EvProjectModuleAdded().Raise(*this, Entry);
    }
    void RemoveFile(const std::string& F) override {
        std::erase(Files, F);
        EvProjectModuleRemoved().Raise(*this, F);
    }
    void RenameFile(const std::string& Old, const std::string& New) override {
        std::replace(Files.begin(), Files.end(), Old, New);
        EvProjectModuleRenamed().Raise(*this, Old, New);
    }
    void Rename(const std::string& New) override {
        std::string Old = std::exchange(File, New);
        Name = std::filesystem::path(New).stem().string();
        EvProjectRenamed().Raise(*this, Old, New);
    }
};

struct TTrackingFixture {
    TTempDir Dir, SettingsDir;
    TTestDisplay Display;
    TToDoList* List = nullptr;

    TTrackingFixture() {
        SetAppIniFileName(SettingsDir.File("todolist.ini"));
        InitializeToDoUtils();
        InitializeCLanguage();
        InitializeToDoMgr();
        InitializeToDoList();
        RegisterSourceManagerCreators();
        for (const char* F : {"a1.pas", "a2.pas", "b1.pas", "x.pas", "y.c"})
            Dir.Write(F, std::string("{ TODO : in ") + F + " }\n// TODO: c " + F + "\n");
        Dir.Write("app.todo", "{ TODO : project item }\r\n");
        List = &CreateToDoList();
        List->SetDisplayForm(&Display);
    }
    ~TTrackingFixture() {
        MainProjectGroup().SetActiveProject(nullptr);
        for (const char* F : {"a1.pas", "a2.pas", "b1.pas", "x.pas", "y.c", "app.todo"}) {
            CloseEditorView(Dir.File(F));
            CloseModule(Dir.File(F));
        }
        List->SetDisplayForm(nullptr);
        FreeToDoList();
        FinalizeToDoList();
        FinalizeToDoMgr();
        FinalizeCLanguage();
        FinalizeToDoUtils();
    }

    std::shared_ptr<TSetProject> Project(const std::string& Name,
                                         std::initializer_list<const char*> Units) {
        std::vector<std::string> Files;
        for (const char* U : Units)
            Files.push_back(Dir.File(U));
        return std::make_shared<TSetProject>(Dir.File(Name + ".dpr"), Name, Files);
    }

    /// The base names of the files that have a manager, sorted.
    std::set<std::string> Managed() {
        std::set<std::string> Out;
        for (const auto& M : List->Managers())
            if (auto S = std::dynamic_pointer_cast<TSourceToDoManager>(M))
                Out.insert(std::filesystem::path(S->GetFileName()).filename().string());
        return Out;
    }
};

using TNames = std::set<std::string>;

TEST(EventTrackingTest, ProjectSwitchKeepsOpenAndProjectFilesOnly) {
    TTrackingFixture F;
    MainProjectGroup().SetActiveProject(F.Project("a", {"a1.pas", "a2.pas"}));
    EXPECT_EQ(F.Managed(), (TNames{"a1.pas", "a2.pas"}));
    ASSERT_TRUE(CallDefaultOpenProc(F.Dir.File("x.pas"), true));
    EXPECT_EQ(F.Managed(), (TNames{"a1.pas", "a2.pas", "x.pas"}));

    MainProjectGroup().SetActiveProject(F.Project("b", {"b1.pas"}));
    EXPECT_EQ(F.Managed(), (TNames{"b1.pas", "x.pas"}));
    EXPECT_EQ(F.Display.Caption, "To-Do List - b");
    EXPECT_TRUE(F.List->FindManager(F.Dir.File("B1.PAS"))) << "file names compare without case";

    // No project: every manager goes, the open file's too, until a view opens again.
    MainProjectGroup().SetActiveProject(nullptr);
    EXPECT_EQ(F.Managed(), TNames{});
    EXPECT_EQ(F.Display.Caption, "To-Do List");
    ASSERT_TRUE(CallDefaultOpenProc(F.Dir.File("y.c"), true));
    EXPECT_EQ(F.Managed(), (TNames{"y.c"}));
}

TEST(EventTrackingTest, ProjectFileAndViewEvents) {
    TTrackingFixture F;
    auto P = F.Project("a", {"a1.pas"});
    MainProjectGroup().SetActiveProject(P);
    struct TStep {
        const char* What;
        std::function<void()> Do;
        TNames Expected;
    };
    const TStep Steps[] = {
        {"a module added gets a manager",
         [&] { P->AddFile(F.Dir.File("a2.pas")); },
         {"a1.pas", "a2.pas"}},
        {"a .todo file added gets none",
         [&] { P->AddFile(F.Dir.File("app.todo")); },
         {"a1.pas", "a2.pas"}},
        {"an opened .todo file gets none",
         [&] { ASSERT_TRUE(CallDefaultOpenProc(F.Dir.File("app.todo"), true)); },
         {"a1.pas", "a2.pas"}},
        {"an opened view gets one",
         [&] { ASSERT_TRUE(CallDefaultOpenProc(F.Dir.File("x.pas"), true)); },
         {"a1.pas", "a2.pas", "x.pas"}},
        {"closing a file outside the project drops it",
         [&] { CloseEditorView(F.Dir.File("x.pas")); },
         {"a1.pas", "a2.pas"}},
        {"closing a project unit keeps it",
         [&] {
             ASSERT_TRUE(CallDefaultOpenProc(F.Dir.File("a1.pas"), true));
             CloseEditorView(F.Dir.File("a1.pas"));
         },
         {"a1.pas", "a2.pas"}},
        {"removing an open file from the project drops it",
         [&] {
             ASSERT_TRUE(CallDefaultOpenProc(F.Dir.File("a2.pas"), true));
             P->RemoveFile(F.Dir.File("a2.pas"));
         },
         {"a1.pas"}},
        {"a renamed unit's manager follows",
         [&] { P->RenameFile(F.Dir.File("a1.pas"), F.Dir.File("renamed.pas")); },
         {"renamed.pas"}},
    };
    for (const auto& S : Steps) {
        S.Do();
        EXPECT_EQ(F.Managed(), S.Expected) << S.What;
    }
    EXPECT_TRUE(F.List->FindManager(F.Dir.File("renamed.pas")));
    EXPECT_FALSE(F.List->FindManager(F.Dir.File("a1.pas")));
}

TEST(EventTrackingTest, ClosedProjectUnitLosesItsUpdaterAndModifiedMarksOutOfDate) {
    TTrackingFixture F;
    MainProjectGroup().SetActiveProject(F.Project("a", {"a1.pas"}));
    const std::string A1 = F.Dir.File("a1.pas");
    ASSERT_TRUE(CallDefaultOpenProc(A1, true));
    auto M = F.List->FindManager(A1);
    ASSERT_TRUE(M && M->GetUpdater());
    M->Parse();
    ASSERT_EQ(M->GetItemCount(), 2);
    EXPECT_TRUE(M->GetItem(0)->CanEdit());

    NotifyModuleModified(A1);
    EXPECT_FALSE(M->GetIsParsed());

    CloseEditorView(A1);
    EXPECT_EQ(F.List->FindManager(A1), M);
    M->Parse();
    ASSERT_EQ(M->GetItemCount(), 2);
    EXPECT_FALSE(M->GetItem(0)->CanEdit()) << "not open in an editor";
}

TEST(EventTrackingTest, ProjectRenameChangesOnlyTheCaption) {
    TTrackingFixture F;
    auto P = F.Project("a", {"a1.pas"});
    MainProjectGroup().SetActiveProject(P);
    auto Before = F.Managed();
    P->Rename(F.Dir.File("renamed.dpr"));
    EXPECT_EQ(F.Display.Caption, "To-Do List - renamed");
    EXPECT_EQ(F.Managed(), Before);
}

} // namespace
