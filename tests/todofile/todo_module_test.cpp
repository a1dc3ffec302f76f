#include "todofile/todo_module.h"

#include "../host/temp_dir.h"
#include "fake_project.h"
#include "host/containers.h"
#include "host/create_updaters.h"
#include "host/module_handlers.h"
#include "todofile/todo_updaters.h"

#include <gtest/gtest.h>

namespace {

/// The unit started and a project app.proj in a temporary folder; everything undone after.
class ProjectToDoTest : public testing::Test {
protected:
    void SetUp() override { InitializeToDoUpdaters(); }
    void TearDown() override {
        MainProjectGroup().SetActiveProject(nullptr);
        SetActiveModule(nullptr);
        for (const auto& Name : Dir.Entries())
            CloseModule(Dir.File(Name));
        FinalizeToDoUpdaters();
    }
    std::shared_ptr<TFakeProject> StartProject() {
        auto Project = std::make_shared<TFakeProject>(Dir.File("app.proj"));
        MainProjectGroup().SetActiveProject(Project);
        return Project;
    }
    TTempDir Dir;
};

TEST_F(ProjectToDoTest, TheProjectsToDoModuleIsFoundOrMadeOnlyWithAProjectAndMarksItModified) {
    struct TCase {
        const char* Name;
        bool Listed;
        const char* OnDisk; // null: no file
        bool Added;         // the project was asked to add the file
        const char* Text;   // the module's text afterwards
    };
    const TCase Cases[] = {
        {"neither listed nor on disk", false, nullptr, true, ""},
        {"on disk, not listed", false, "{a}\r\n", true, "{a}\r\n"},
        {"listed and on disk", true, "{b}\r\n", false, "{b}\r\n"},
        {"listed, missing on disk", true, nullptr, false, ""},
    };
    std::string Stale = "stale";
    EXPECT_EQ(OpenProjectToDoUpdater(Stale), nullptr) << "no active project";
    EXPECT_EQ(Stale, "");
    const std::string ToDo = Dir.File("app.todo");
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        auto Project = StartProject();
        if (C.Listed)
            Project->Entries.push_back(std::make_shared<TCustomFileEntry>(ToDo));
        if (C.OnDisk)
            Dir.Write("app.todo", C.OnDisk);
        std::string Name;
        const auto Updater = OpenProjectToDoUpdater(Name);
        ASSERT_NE(Updater, nullptr);
        EXPECT_EQ(Name, ToDo);
        EXPECT_EQ(Project->Added,
                  C.Added ? std::vector<std::string>{ToDo} : std::vector<std::string>{});
        const auto Module = FindDocModule(ToDo);
        ASSERT_NE(std::dynamic_pointer_cast<TToDoModule>(Module), nullptr);
        EXPECT_EQ(ReadBytes(ToDo), C.Text) << "the file exists and is never overwritten";
        EXPECT_EQ(Module->GetBuffer()->GetText(), C.Text);
        EXPECT_FALSE(Module->HasView());
        EXPECT_EQ(ActiveModule(), nullptr);
        EXPECT_EQ(Module->QueryToDoUpdater(), Updater);
        EXPECT_FALSE(Project->GetModified());
        ASSERT_TRUE(Updater->AddText(0, "{c}\r\n", 1).Ok());
        EXPECT_TRUE(Project->GetModified()) << "the project module owns the to-do module";
        CloseModule(ToDo);
        std::filesystem::remove(ToDo);
        MainProjectGroup().SetActiveProject(nullptr);
    }
}

TEST_F(ProjectToDoTest, TheToDoFileFollowsTheProjectsRename) {
    struct TCase {
        const char* Name;
        bool Loaded;
        const char* AtNewName; // a file already there, null for none
        const char* OldAfter;  // the old file afterwards
        const char* NewAfter;  // the new file afterwards
    };
    const TCase Cases[] = {
        {"closed: the file moves", false, nullptr, "<missing>", "{a}"},
        {"closed: an existing file is not replaced", false, "{mine}", "{a}", "{mine}"},
        {"open: the module takes the new name", true, nullptr, "{a}", "<missing>"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        const std::string Old = Dir.Write("app.todo", "{a}"), New = Dir.File("new.todo");
        if (C.AtNewName)
            Dir.Write("new.todo", C.AtNewName);
        auto Project = StartProject();
        Project->Entries.push_back(std::make_shared<TCustomFileEntry>(Old));
        std::shared_ptr<TModule> Module;
        if (C.Loaded)
            Module = TToDoModule::Open(Old, "", true).Value();

        RenameProject(*Project, Dir.File("new.proj"));
        EXPECT_EQ(Project->GetFileName(), Dir.File("new.proj"));
        EXPECT_EQ(Project->Entries[0]->GetFileName(), New);
        EXPECT_EQ(ReadBytes(Old), C.OldAfter);
        EXPECT_EQ(ReadBytes(New), C.NewAfter);
        if (Module) {
            EXPECT_EQ(FindDocModule(New), Module);
            EXPECT_EQ(FindDocModule(Old), nullptr);
            ASSERT_TRUE(Module->Save().Ok());
            EXPECT_EQ(ReadBytes(New), "{a}");
            ASSERT_TRUE(Module->QueryToDoUpdater()->AddText(0, "{b}", 1).Ok());
            EXPECT_TRUE(Project->GetModified()) << "the renamed project still owns the module";
            CloseModule(New);
        }
        std::filesystem::remove(Old);
        std::filesystem::remove(New);
    }
}

TEST_F(ProjectToDoTest, OnlyTheBalancingFinalizeUndoesTheRegistrations) {
    auto Registered = [] {
        return FindCreateUpdaters("/w/a.todo") != nullptr &&
               ContainerManager().FindContainerCreator("/w/a.todo") != nullptr;
    };
    const int Members = ModuleHandlerGauntlet().GetCount();
    InitializeToDoUpdaters();
    EXPECT_EQ(ModuleHandlerGauntlet().GetCount(), Members) << "a second start-up does nothing";
    FinalizeToDoUpdaters();
    EXPECT_TRUE(Registered());
    FinalizeToDoUpdaters();
    EXPECT_FALSE(Registered());
    EXPECT_EQ(ModuleHandlerGauntlet().GetCount(), Members - 1);
    EXPECT_EQ(OpenModule(Dir.Write("x.todo", "{a}")).Value()->QueryToDoUpdater(), nullptr)
        << "without the unit a .todo module has no updater";
    FinalizeToDoUpdaters(); // unbalanced: ignored
    InitializeToDoUpdaters();
    EXPECT_TRUE(Registered());
    EXPECT_EQ(ModuleHandlerGauntlet().GetCount(), Members);
}

TEST_F(ProjectToDoTest, TheContainerCreatorDescribesToDoFiles) {
    auto Creator = ContainerManager().FindContainerCreator("/w/App.TODO");
    ASSERT_NE(Creator, nullptr);
    EXPECT_EQ(ContainerManager().FindContainerCreator("/w/App.todo.bak"), nullptr);
    EXPECT_EQ(Creator->GetName(), "ToDo");
    std::vector<std::string> Extensions{".pas"};
    EXPECT_EQ(Creator->AddExtensions(Extensions), 1);
    EXPECT_EQ(Extensions, (std::vector<std::string>{".pas", ".todo"}));
    TFakeProject Project(Dir.File("app.proj"));
    TRef<IInterface> Container = Creator;
    bool HasChildren = true;
    Creator->GetContainer(Project, std::make_shared<TCustomFileEntry>("/w/a.todo"), HasChildren,
                          Container);
    EXPECT_TRUE(Container == nullptr && HasChildren);
    Creator->GetContainer(Project, nullptr, HasChildren, Container);
    EXPECT_FALSE(HasChildren);
}

} // namespace
