#pragma once

// A to-do list service over files held in memory, for the list tests and benchmarks: a manager
// creator that makes source managers over in-memory updaters, a project that holds every
// "/virtual/" file, a visible display that records the posted messages, and a settings file in
// a temporary folder.

#include "../host/fixed_item.h"
#include "../host/stub_project.h"
#include "../host/temp_dir.h"
#include "../items/fake_updater.h"

#include "host/errors.h"
#include "host/ini_file.h"
#include "host/project.h"
#include "host/window_link.h"
#include "list/todo_list.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

/// Every file whose name starts with "/virtual/" belongs to it.
struct TVirtualProject : TStubProject {
    std::string GetFileName() override { return "/virtual/app.dpr"; }
    std::string GetName() override { return "app"; }
    bool Contains(const std::string& FileName) override {
        return FileName.rfind("/virtual/", 0) == 0;
    }
};

/// Makes source managers over in-memory texts registered with SetText.
struct TMemoryCreator : TToDoManagerCreator {
    std::mutex Lock;
    std::map<std::string, std::shared_ptr<TFakeUpdater>> Files; // guarded by Lock

    void SetText(const std::string& Name, std::string Text) {
        std::scoped_lock L(Lock);
        auto Language = LanguageOfFile(Name);
        Files[Name] = std::make_shared<TFakeUpdater>(std::move(Text), Language);
    }
    bool CanHandleFile(const std::string& FileName) override {
        std::scoped_lock L(Lock);
        return Files.count(FileName) > 0;
    }
    TRef<IToDoManager> CreateManager(const std::string& FileName) override {
        std::scoped_lock L(Lock);
        auto Manager = TSourceToDoManager::Create(FileName);
        Manager->SetUpdater(Files.at(FileName));
        return Manager;
    }
};

/// Items of another package's manager: fixed items of a kind of their own.
using TPluginFields = TItemFields;
using TPluginItem = TFixedItem;

/// Another package's manager over a fixed item list.
struct TPluginManager : IOTAToDoManager {
    std::vector<TRef<INTAToDoItem>> Items;
    TRef<INTAToDoItem> GetItem(int I) override {
        if (I < 0 || I >= int(Items.size()))
            throw EListError(I);
        return Items[size_t(I)];
    }
    int GetItemCount() override { return int(Items.size()); }
};

/// The always-visible display of the tests.
struct TTestDisplay : IToDoDisplayForm {
    TQueuedWindow Window{true};
    TDisplayHandle Handle = RegisterWindow(&Window);
    std::string Caption;
    ~TTestDisplay() override { UnregisterWindow(Handle); }
    TDisplayHandle GetHandle() const override { return Handle; }
    void SetCaption(const std::string& Value) override { Caption = Value; }
};

/// A service with the memory creator registered, the virtual project active and the display
/// shown. Settings go to a file in a temporary folder.
struct TListFixture {
    TTempDir Dir;
    std::string Settings = Dir.File("todolist.ini");
    TMemoryCreator* Creator = new TMemoryCreator; // owned by the creator registry
    std::shared_ptr<TVirtualProject> Project = std::make_shared<TVirtualProject>();
    TTestDisplay Display;
    std::shared_ptr<TToDoList> List;

    explicit TListFixture(bool WithProject = true) {
        SetAppIniFileName(Settings);
        InitializeToDoList();
        RegisterToDoManagerCreatorProc(Creator);
        if (WithProject)
            MainProjectGroup().SetActiveProject(Project);
        List = TToDoList::Create();
        List->SetDisplayForm(&Display);
    }
    ~TListFixture() {
        if (List) {
            List->SetDisplayForm(nullptr);
            List->BeforeDestruction();
            List.reset();
        }
        MainProjectGroup().SetActiveProject(nullptr);
        FinalizeToDoList(); // frees the creator
    }

    /// Adds a file with Text and its manager (not parsed yet).
    TRef<IToDoManager> AddFile(const std::string& Name, std::string Text) {
        Creator->SetText(Name, std::move(Text));
        return List->CreateManager(Name, false);
    }

    /// Parses and collates as a pass of the parse thread would.
    void Parse() { List->Parse(); }
};
