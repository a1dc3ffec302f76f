#pragma once

// The to-do list service following the host over real files: a project over a set of files
// that raises the project events as the host does, and a service started the way the host
// starts it, with its settings in a temporary folder.

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
#include "list/todo_units.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

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

/// The service with the host's units started in the host's order, its window shown, and a
/// folder holding the Pascal units a1, a2, b1, x, the C file y.c and app.todo (the to-do file
/// of a project "app"), each with to-do comments.
struct TTrackingFixture {
    TTempDir Dir, SettingsDir;
    TTestDisplay Display;
    TToDoList* List = nullptr;

    TTrackingFixture() {
        SetAppIniFileName(SettingsDir.File("todolist.ini"));
        StartUnits(ToDoUnits());
        InitializeCLanguage(); // the host's C unit registers with the started IDEToDoUtils
        RegisterSourceManagerCreators();
        for (const char* F : {"a1.pas", "a2.pas", "b1.pas", "x.pas", "y.c"})
            Dir.Write(F, std::string("{ TODO : in ") + F + " }\n// TODO: c " + F + "\n");
        Dir.Write("app.todo", "{ TODO : project item }\r\n");
        List = &CreateToDoList();
        List->SetDisplayForm(&Display);
    }
    ~TTrackingFixture() {
        MainProjectGroup().SetActiveProject(nullptr);
        // Every file a test made, to-do files created by the service included: the host's
        // module table outlives the test.
        for (const std::string& F : Dir.Entries()) {
            CloseEditorView(Dir.File(F));
            CloseModule(Dir.File(F));
        }
        List->SetDisplayForm(nullptr);
        FreeToDoList();
        FinalizeCLanguage();
        StopUnits(ToDoUnits());
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
