// Loaded files and the disk: changes made to a file that has no editor reach the disk or are
// asked about, lost watcher events and reopened tabs read the files again, and the Project menu
// offers only the commands that can work on what is selected.
#include "code_editor.h"
#include "editor_tabs.h"
#include "gui_fixture.h"
#include "main_window.h"
#include "project_tree.h"
#include "tests/packages/fake_todo_services.h"

#include "host/errors.h"
#include "host/events.h"
#include "host/module.h"
#include "host/packages.h"
#include "host/project.h"
#include "host/project_loader.h"
#include "host/project_watch.h"
#include "host/tools_api.h"
#include "ui/shell/ide_services.h"

#include <QAction>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

void ProcessEvents() {
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

/// Changes the loaded module of File without an editor, as a package does: the text is
/// inserted at the start and the module told.
void ChangeWithoutEditor(const std::string& File, const std::string& Text) {
    auto Module = OpenModule(File);
    ASSERT_TRUE(Module) << Module.Status().Message();
    ASSERT_TRUE(Module.Value()->GetBuffer()->Insert(0, Text));
    Module.Value()->Modified();
}

/// The names EvModuleModified is raised for while it lives.
class TModifiedNames {
public:
    TModifiedNames()
        : FToken(EvModuleModified().Add(
              [this](TModule*, const std::string& Name) { Names.push_back(Name); })) {}
    ~TModifiedNames() { EvModuleModified().Remove(FToken); }
    bool Has(const std::string& Name) const {
        return std::find(Names.begin(), Names.end(), Name) != Names.end();
    }
    std::vector<std::string> Names;

private:
    TEvent<TModule*, const std::string&>::TToken FToken;
};

class DiskSyncTest : public testing::Test {
protected:
    void TearDown() override {
        // Nobody is there to answer the window's questions about unsaved changes at its end,
        // also when a test stopped half-way.
        for (const auto& Module : LoadedModules())
            CloseModule(Module->GetFileName());
    }
    void Open(const std::string& Project) {
        ASSERT_EQ(W->openProject(QString::fromStdString(Project)), "");
    }
    void OpenFile(const std::string& File) {
        ASSERT_EQ(W->openFile(QString::fromStdString(File)), "") << File;
    }
    TCodeEditor* Editor(const std::string& File) { return W->Editors()->EditorOf(File); }
    /// Closes File's tab as the user does; it had no unsaved changes.
    void CloseTab(const std::string& File) {
        ASSERT_NE(Editor(File), nullptr) << File;
        ASSERT_TRUE(W->Editors()->CloseEditor(Editor(File)));
        ASSERT_NE(FindDocModule(File), nullptr) << "a closed tab's module stays loaded";
    }
    QAction* Action(const char* Name) { return W->findChild<QAction*>(Name); }

    TTestHome Home;
    TTempDir Dir;       // the project
    TTempDir Elsewhere; // files outside it, which nothing watches
    TWindow W;
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Changes without an editor

TEST_F(DiskSyncTest, ALoadedFileChangedWithoutAnEditorIsSavedOrAskedAboutBeforeAnyTabCloses) {
    const struct {
        const char* Name;
        bool InProject; // else a file outside the project whose tab was closed
        const char* Answer;
    } Cases[] = {
        {"outside, saved", false, "Save"},
        {"outside, discarded", false, "Discard"},
        {"outside, cancelled", false, "Cancel"},
        {"project file, cancelled", true, "Cancel"},
    };
    const std::string Kept = Dir.Write("a.c", "int a;\n"); // an editor left open
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        const std::string File =
            C.InProject ? Dir.Write("b.c", "int b;\n") : Elsewhere.Write("notes.md", "notes\n");
        const std::string Before = ReadBytes(File);
        Open(Dir.File(""));
        OpenFile(File);
        CloseTab(File);
        OpenFile(Kept);
        ChangeWithoutEditor(File, "changed ");
        ProcessEvents();
        EXPECT_TRUE(Action("FileSaveAllCommand")->isEnabled());

        QString Why;
        {
            TBoxAnswerer Answers({C.Answer});
            Why = W->closeProject();
            ASSERT_EQ(Answers.Boxes.size(), 1u) << "nobody was asked about the change";
            EXPECT_TRUE(Answers.Boxes[0].Text.contains(QString::fromStdString(File)));
        }
        const std::string Answer = C.Answer;
        if (Answer == "Cancel") {
            EXPECT_FALSE(Why.isEmpty());
            EXPECT_NE(W->Project(), nullptr);
            EXPECT_NE(Editor(Kept), nullptr) << "a tab closed before the question was asked";
            ASSERT_NE(FindDocModule(File), nullptr);
            EXPECT_TRUE(FindDocModule(File)->GetModified());
            EXPECT_EQ(ReadBytes(File), Before);
            TBoxAnswerer Discard({"Discard"});
            ASSERT_EQ(W->closeProject(), "");
        } else {
            EXPECT_EQ(Why, "");
            EXPECT_EQ(W->Project(), nullptr);
            EXPECT_EQ(ReadBytes(File), Answer == "Save" ? "changed " + Before : Before);
        }
        ProcessEvents();
        EXPECT_FALSE(Action("FileSaveAllCommand")->isEnabled());
        CloseModule(File);
    }
}

TEST(MarkdownTickTest, ATickReachesTheFileUnlessAnEditorOrUnsavedChangesHoldIt) {
    TTestHome Home;
    auto Package = TPackage::Load(TODO_MARKDOWN_TASKS_PACKAGE);
    ASSERT_TRUE(Package) << Package.Status().Message();
    auto Service = std::make_shared<TFakeServices>();
    const int ServiceIndex = AddOTAExtension(Service);
    enum TState { NotLoaded, TabClosed, TabClosedFileChanged, InEditor, UnsavedWithoutEditor };
    const struct {
        const char* Name;
        TState State;
        std::string Disk;   // the file after the tick
        std::string Buffer; // its loaded buffer after the tick ("" when none is loaded)
        bool Modified;      // the module holds unsaved changes after the tick
    } Cases[] = {
        {"not loaded", NotLoaded, "- [x] task\n", "", false},
        {"tab closed", TabClosed, "- [x] task\n", "- [x] task\n", false},
        {"tab closed, file changed since", TabClosedFileChanged, "- [x] task\nadded\n",
         "- [x] task\nadded\n", false},
        {"in an editor", InEditor, "- [ ] task\n", "- [x] task\n", true},
        {"unsaved changes without an editor", UnsavedWithoutEditor, "- [ ] task\n",
         "- [x] task\nmore\n", true},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TTempDir Dir;
        const std::string File = Dir.Write("notes.md", "- [ ] task\n");
        MainProjectGroup().SetActiveProject(TProject::Create(Dir.File("demo.todoproj"), {}));
        ASSERT_EQ(Service->Managers.size(), 1u);
        ASSERT_EQ(Service->Managers[0]->GetItemCount(), 1);
        const TRef<INTAToDoItem> Item = Service->Managers[0]->GetItem(0);
        if (C.State != NotLoaded && C.State != UnsavedWithoutEditor) {
            ASSERT_TRUE(Item->Show());
        }
        if (C.State == TabClosed || C.State == TabClosedFileChanged)
            CloseEditorView(File);
        if (C.State == TabClosedFileChanged)
            WriteLater(File, "- [ ] task\nadded\n");
        if (C.State == UnsavedWithoutEditor) {
            auto Module = OpenModule(File);
            ASSERT_TRUE(Module);
            ASSERT_TRUE(Module.Value()->GetBuffer()->Insert(11, "more\n"));
            Module.Value()->Modified();
        }

        ASSERT_TRUE(Item->SetChecked(true));
        EXPECT_EQ(ReadBytes(File), C.Disk);
        const auto Module = FindDocModule(File);
        EXPECT_EQ(Module ? Module->GetBuffer()->GetText() : "", C.Buffer);
        if (Module) {
            EXPECT_EQ(Module->GetModified() || Module->GetBuffer()->GetModified(), C.Modified);
        }
        ASSERT_EQ(Service->Managers[0]->GetItemCount(), 1);
        EXPECT_TRUE(Service->Managers[0]->GetItem(0)->GetChecked()) << "the list was not told";
        CloseModule(File);
        MainProjectGroup().SetActiveProject(nullptr);
    }
    Package.Value().reset();
    RemoveOTAExtension(ServiceIndex);
}

// ---------------------------------------------------------------------------------------------
// Reading files again

TEST(ProjectWatchTest, LostEventsAndAChangedProjectFileReadLoadedFilesAgain) {
    const struct {
        const char* Name;
        bool UsesClause; // else a folder project
        const char* File;
        bool Unsaved; // the loaded buffer has changes of its own
        bool Rescan;  // else the file is reported modified
        bool Reloaded, Notified;
    } Cases[] = {
        {"lost events: a unit", false, "a.c", false, true, true, true},
        {"lost events: a unit with unsaved changes", false, "a.c", true, true, false, true},
        {"lost events: another file in the folder", false, "notes.txt", false, true, true, true},
        {"lost events: a file nothing watches", false, "", false, true, false, false},
        {"lost events: a uses-clause unit", true, "a.pas", false, true, true, true},
        {"changed project file", true, "app.dpr", false, false, true, true},
        {"changed project file with unsaved changes", true, "app.dpr", true, false, false, true},
    };
    const std::string Dpr = "program app;\nuses a in 'a.pas';\nbegin\nend.\n";
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TTempDir Dir, Elsewhere;
        if (C.UsesClause) {
            Dir.Write("app.dpr", Dpr);
            Dir.Write("a.pas", "unit a;\nend.\n");
        } else {
            Dir.Write("a.c", "int a;\n");
            Dir.Write("notes.txt", "notes\n");
        }
        const std::string File = *C.File ? Dir.File(C.File) : Elsewhere.Write("x.c", "int x;\n");
        auto Loaded = LoadProject(C.UsesClause ? Dir.File("app.dpr") : Dir.File(""));
        ASSERT_TRUE(Loaded) << Loaded.Status().Message();
        auto Module = OpenModule(File);
        ASSERT_TRUE(Module);
        const auto Buffer = Module.Value()->GetBuffer();
        if (C.Unsaved) {
            ASSERT_TRUE(Buffer->Insert(0, "// mine\n"));
        }
        const std::string Before = Buffer->GetText();
        // The project file must still name its unit.
        const std::string After = ReadBytes(File) + "// changed on disk\n";
        WriteLater(File, After);

        TModifiedNames Modified;
        const TFileChange Change =
            C.Rescan ? TFileChange{"", TFileChangeKind::Rescan} : TFileChange{File};
        const TFileChangesOutcome Outcome =
            ApplyFileChanges(Loaded.Value().Project.get(), Loaded.Value().Scope.get(), {Change});
        EXPECT_EQ(Buffer->GetText(), C.Reloaded ? After : Before);
        EXPECT_EQ(Modified.Has(File), C.Notified);
        EXPECT_EQ(Outcome,
                  C.Rescan ? TFileChangesOutcome::ReloadProject : TFileChangesOutcome::Applied);
        if (!C.Rescan) { // the clause was read again: the unit is still the project's
            EXPECT_TRUE(Loaded.Value().Project->Contains(Dir.File("a.pas")));
        }
        CloseModule(File);
    }
}

TEST_F(DiskSyncTest, LostEventsMakeEveryEditorCheckItsFile) {
    // Outside the project, so that only the lost events can tell the editors.
    const std::string Clean = Elsewhere.Write("clean.c", "int clean;\n");
    const std::string Typed = Elsewhere.Write("typed.c", "int typed;\n");
    Dir.Write("a.c", "int a;\n");
    Open(Dir.File(""));
    OpenFile(Clean);
    OpenFile(Typed);
    Editor(Typed)->SetCursorOffset(0);
    QTest::keyClicks(Editor(Typed), "x");
    ASSERT_TRUE(Editor(Typed)->IsModified());
    WriteLater(Clean, "int clean2;\n");
    WriteLater(Typed, "int typed2;\n");

    TBoxAnswerer Answers({"No"});
    W->ApplyFileChanges({TFileChange{"", TFileChangeKind::Rescan}});
    EXPECT_EQ(Editor(Clean)->toPlainText(), "int clean2;\n");
    ASSERT_EQ(Answers.Boxes.size(), 1u) << "the modified editor was not asked";
    EXPECT_TRUE(Answers.Boxes[0].Text.contains("typed.c"));
    EXPECT_EQ(Editor(Typed)->toPlainText(), "xint typed;\n");
    EXPECT_NE(W->Project(), nullptr) << "the project is loaded again";
}

TEST_F(DiskSyncTest, ReopeningAClosedTabShowsTheFileAsItIsNowUnlessItHasUnsavedChanges) {
    const struct {
        const char* Name;
        bool Unsaved;
        const char* Shown;
    } Cases[] = {
        {"unchanged since", false, "int b;\n"},
        {"changed without an editor", true, "// mine\nint a;\n"},
    };
    Open(Dir.File(""));
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        const std::string File = Elsewhere.Write("x.c", "int a;\n");
        OpenFile(File);
        CloseTab(File);
        if (C.Unsaved)
            ChangeWithoutEditor(File, "// mine\n");
        WriteLater(File, "int b;\n");
        TModifiedNames Modified;
        OpenFile(File);
        ASSERT_NE(Editor(File), nullptr);
        EXPECT_EQ(Editor(File)->toPlainText(), C.Shown);
        EXPECT_EQ(Modified.Has(File), !C.Unsaved) << "the list was not told of the new text";
        CloseModule(File);
        ProcessEvents();
    }
}

// ---------------------------------------------------------------------------------------------
// The Project menu

TEST_F(DiskSyncTest, ProjectCommandsAreOfferedOnlyWhereTheyWork) {
    enum TKind { Folder, OwnFile, UsesClause }; // OwnFile: a folder project opened from a file
    const struct {
        const char* Name;
        TKind Kind;
        bool ToDoSelected; // else a unit
        bool Remove, RenameFile, RenameProject;
    } Cases[] = {
        {"folder project, unit", Folder, false, false, true, false},
        {"folder project, to-do file", Folder, true, false, false, false},
        {"project of its own file, unit", OwnFile, false, false, true, true},
        {"uses-clause project, unit", UsesClause, false, true, true, true},
        {"uses-clause project, to-do file", UsesClause, true, false, false, true},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TTempDir Project;
        Project.Write("a.pas", "unit a;\nend.\n");
        std::string ProjectPath = Project.File("");
        if (C.Kind == UsesClause)
            ProjectPath =
                Project.Write("app.dpr", "program app;\nuses a in 'a.pas';\nbegin\nend.\n");
        else if (C.Kind == OwnFile)
            ProjectPath = Project.Write("plan.prj", "");
        // The to-do file is named after the project file.
        const std::string ToDo = Project.Write(
            fs::path(LoadProject(ProjectPath).Value().Scope->ToDoFileName()).filename().string(),
            "");
        Open(ProjectPath);
        ASSERT_TRUE(W->Project()->Contains(ToDo));
        ProcessEvents(); // the tree's rebuilds are done before a node is selected
        const std::string Selected = C.ToDoSelected ? ToDo : Project.File("a.pas");
        TProjectTree* Tree = W->ProjectTree();
        QTreeWidgetItem* Node = nullptr;
        for (QTreeWidgetItemIterator It(Tree); *It && !Node; ++It)
            if ((*It)->data(0, TProjectTree::FileNameRole).toString().toStdString() == Selected)
                Node = *It;
        ASSERT_NE(Node, nullptr);
        Tree->setCurrentItem(Node);
        ASSERT_EQ(Tree->SelectedFile(), Selected);
        EXPECT_EQ(Action("ProjectRemoveFileCommand")->isEnabled(), C.Remove);
        EXPECT_EQ(Action("ProjectRenameFileCommand")->isEnabled(), C.RenameFile);
        EXPECT_EQ(Action("ProjectRenameCommand")->isEnabled(), C.RenameProject);

        // The commands refuse the to-do file too, as they refuse the project file.
        EXPECT_FALSE(W->RenameProjectFile(ToDo, Project.File("other.todo")));
        EXPECT_EQ(ReadBytes(ToDo), "");
        EXPECT_EQ(ReadBytes(Project.File("other.todo")), "<missing>");
        EXPECT_FALSE(W->RemoveProjectFile(ToDo));
        EXPECT_TRUE(W->Project()->Contains(ToDo));
        ASSERT_EQ(W->closeProject(), "");
    }
}
