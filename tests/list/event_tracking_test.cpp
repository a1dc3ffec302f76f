// The service following the host: which files have a manager after project, view and project
// file events, renames, captions. Runs on real files and host modules.
#include "tracking_fixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

TEST(EventTrackingTest, ProjectSwitchKeepsOpenAndProjectFilesOnlyAndRenameOnlyRetitles) {
    TTrackingFixture F;
    MainProjectGroup().SetActiveProject(F.Project("a", {"a1.pas", "a2.pas"}));
    EXPECT_EQ(F.Managed(), (TNames{"a1.pas", "a2.pas"}));
    ASSERT_TRUE(CallDefaultOpenProc(F.Dir.File("x.pas"), true));
    EXPECT_EQ(F.Managed(), (TNames{"a1.pas", "a2.pas", "x.pas"}));

    auto B = F.Project("b", {"b1.pas"});
    MainProjectGroup().SetActiveProject(B);
    EXPECT_EQ(F.Managed(), (TNames{"b1.pas", "x.pas"}));
    EXPECT_EQ(F.Display.Caption, "To-Do List - b");
    EXPECT_TRUE(F.List->FindManager(F.Dir.File("B1.PAS"))) << "file names compare without case";
    B->Rename(F.Dir.File("renamed.dpr")); // changes only the caption
    EXPECT_EQ(F.Display.Caption, "To-Do List - renamed");
    EXPECT_EQ(F.Managed(), (TNames{"b1.pas", "x.pas"}));

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

// The host's creators: one for Pascal files, one for what a C-file handler accepts.
TEST(EventTrackingTest, HostCreatorsMakeManagersOfPascalAndCFilesOnly) {
    TTrackingFixture F;
    for (auto [Name, Made] : {std::pair{"/src/unit.pas", true},
                              {"/src/main.c", true},
                              {"/src/web/app.tsx", true},
                              {"/src/notes.txt", false},
                              {"/src/Makefile", false}})
        EXPECT_EQ(F.List->CreateManager(Name, false) != nullptr, Made) << Name;
}

} // namespace
