// The project's to-do file in the service: made on the first added item, found among the
// project's units, dropped at every project change, and kept out of unit renames.
#include "tracking_fixture.h"

#include "items/project_todo_manager.h"

#include <gtest/gtest.h>

namespace {

/// Saves the loaded module of FileName and returns the file's bytes.
std::string SavedBytes(const std::string& FileName) {
    auto Module = FindDocModule(FileName);
    if (!Module)
        return "<not loaded>";
    if (TStatus S = Module->Save(); !S)
        return "<save failed: " + S.Message() + ">";
    return ReadBytes(FileName);
}

/// The listed item whose text starts with Prefix, or null.
TRef<INTAToDoItem> ItemStartingWith(TToDoList& List, const std::string& Prefix) {
    for (int I = 0; I < List.GetItemCount(); ++I)
        if (List.GetItem(I)->GetText().starts_with(Prefix))
            return List.GetItem(I);
    return nullptr;
}

bool AnyProjectManager(TToDoList& List) {
    auto Managers = List.Managers();
    return std::any_of(Managers.begin(), Managers.end(), [](const auto& M) {
        return std::dynamic_pointer_cast<TProjectToDoManager>(M) != nullptr;
    });
}

TEST(ProjectManagerTest, FirstAddedItemCreatesTheToDoFile) {
    TTrackingFixture F;
    MainProjectGroup().SetActiveProject(F.Project("a", {"a1.pas"}));
    const std::string ToDo = F.Dir.File("a.todo");
    F.List->Parse();
    ASSERT_EQ(F.List->GetItemCount(), 2) << "a1.pas's items";

    ASSERT_TRUE(F.List->AddItem(" TODO : first "));
    auto Manager = F.List->GetProjectManager();
    ASSERT_TRUE(Manager);
    EXPECT_EQ(F.List->FindManager(ToDo), Manager);
    EXPECT_EQ(SavedBytes(ToDo), "{ TODO : first }\r\n");

    F.List->Parse();
    ASSERT_EQ(F.List->GetItemCount(), 3);
    auto Item = ItemStartingWith(*F.List, "first");
    ASSERT_TRUE(Item);
    EXPECT_EQ(Item->GetKind(), "Project To-Do file");
    EXPECT_EQ(Item->GetModuleName(), "");
    EXPECT_FALSE(Item->CanShow());
    EXPECT_TRUE(Item->CanEdit());

    ASSERT_TRUE(F.List->AddItem(" TODO : second "));
    EXPECT_EQ(SavedBytes(ToDo), "{ TODO : first }\r\n{ TODO : second }\r\n");
    F.List->Parse();
    Item = ItemStartingWith(*F.List, "first");
    ASSERT_TRUE(Item);
    ASSERT_TRUE(Item->Delete());
    EXPECT_EQ(SavedBytes(ToDo), "{ TODO : second }\r\n") << "the whole line goes";
    F.List->Parse();
    EXPECT_EQ(F.List->GetItemCount(), 3);
}

TEST(ProjectManagerTest, ListedToDoFileGetsTheProjectManagerAtActivation) {
    TTrackingFixture F;
    // Written by hand: no line break after the last entry.
    const std::string ToDo = F.Dir.Write("app.todo", "{ TODO : project item }");
    MainProjectGroup().SetActiveProject(F.Project("app", {"a1.pas", "app.todo"}));
    auto Manager = F.List->GetProjectManager();
    ASSERT_TRUE(Manager);
    EXPECT_TRUE(Manager->IsManager(ToDo));
    F.List->Parse();
    auto Item = ItemStartingWith(*F.List, "project item");
    ASSERT_TRUE(Item);
    EXPECT_EQ(Item->GetKind(), "Project To-Do file");

    // Added items go to the listed file, on a line of their own after what it holds.
    ASSERT_TRUE(F.List->AddItem(" TODO : more "));
    EXPECT_EQ(F.List->GetProjectManager(), Manager);
    EXPECT_EQ(SavedBytes(ToDo), "{ TODO : project item }\r\n{ TODO : more }\r\n");
}

TEST(ProjectManagerTest, ProjectChangeDropsTheProjectManagerAndNoProjectTakesNoItem) {
    TTrackingFixture F;
    const struct {
        const char* What;
        std::shared_ptr<IProject> Next;
    } Cases[] = {
        {"another project", F.Project("b", {"b1.pas"})},
        {"no project", nullptr},
    };
    for (const auto& C : Cases) {
        MainProjectGroup().SetActiveProject(F.Project("app", {"a1.pas", "app.todo"}));
        ASSERT_TRUE(F.List->GetProjectManager()) << C.What;
        MainProjectGroup().SetActiveProject(C.Next);
        EXPECT_FALSE(F.List->GetProjectManager()) << C.What;
        EXPECT_FALSE(AnyProjectManager(*F.List)) << C.What;
        EXPECT_FALSE(F.List->FindManager(F.Dir.File("app.todo"))) << C.What;
    }
    // Without a project an added item goes nowhere: no manager, no file.
    const auto Before = F.Dir.Entries();
    EXPECT_TRUE(F.List->AddItem(" TODO : lost "));
    EXPECT_FALSE(F.List->GetProjectManager());
    EXPECT_TRUE(F.List->Managers().empty());
    EXPECT_EQ(F.Dir.Entries(), Before);
}

TEST(ProjectManagerTest, UnitRenameLeavesTheProjectManagersNames) {
    TTrackingFixture F;
    auto P = F.Project("app", {"a1.pas", "app.todo"});
    MainProjectGroup().SetActiveProject(P);
    const std::string ToDo = F.Dir.File("app.todo"), Other = F.Dir.File("other.todo");
    auto Manager = std::dynamic_pointer_cast<TSourceToDoManager>(F.List->GetProjectManager());
    ASSERT_TRUE(Manager);

    P->RenameFile(F.Dir.File("a1.pas"), F.Dir.File("renamed.pas"));
    EXPECT_TRUE(F.List->FindManager(F.Dir.File("renamed.pas")));
    EXPECT_FALSE(F.List->FindManager(F.Dir.File("a1.pas")));

    P->RenameFile(ToDo, Other);
    EXPECT_EQ(Manager->GetFileName(), ToDo);
    EXPECT_EQ(Manager->GetSourceFileName(), ToDo);
    EXPECT_EQ(F.List->FindManager(ToDo), Manager);
    EXPECT_FALSE(F.List->FindManager(Other));
}

} // namespace
