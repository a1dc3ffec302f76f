#include "todofile/todo_file_updater.h"

#include "../host/temp_dir.h"
#include "host/create_updaters.h"
#include "host/events.h"
#include "todofile/todo_file_name.h"
#include "todofile/todo_module.h"
#include "todofile/todo_module_handler.h"
#include "todofile/todo_updaters.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(ToDoFileUpdaterTest, MakeCommentWrapsTheBodyAndEndsEveryLineWithCrLf) {
    const std::pair<const char*, const char*> Cases[] = {
        {"TODO 1 -oAnn : Fix", "{TODO 1 -oAnn : Fix}\r\n"},
        {"a\nb", "{a\r\nb}\r\n"},
        {"a\rb", "{a\r\nb}\r\n"},
        {"a\r\nb", "{a\r\nb}\r\n"},
        {"a\n\rb\r", "{a\r\n\r\nb\r\n}\r\n"},
        {"a}b", "{a}b}\r\n"},
        {"", "{}\r\n"},
    };
    TToDoFileUpdater Updater(nullptr);
    for (const auto& [Body, Expected] : Cases) {
        std::string Text = Body;
        EXPECT_TRUE(Updater.MakeComment(Text).Ok());
        EXPECT_EQ(Text, Expected);
    }
}

TEST(ToDoFileUpdaterTest, IsOneCommentOnlyForOneWholeComment) {
    const std::pair<const char*, bool> Cases[] = {
        {"{a}", true},        {"(* a *)", true}, {"// a", true},    {"// a\r\n", true},
        {"{a\r\nb}", true},   {"{a}}", false},   {"{a} ", false},   {"{a", false},
        {"x{a}", false},      {"'{a}'", false},  {"{a}{b}", false}, {"// a\nb", false},
        {"(* a *) x", false}, {"", false},
    };
    TToDoFileUpdater Updater(nullptr);
    for (const auto& [Text, Expected] : Cases)
        EXPECT_EQ(Updater.IsOneComment(Text), Expected) << Text;
}

TEST(ToDoFileUpdaterTest, OnlyToDoFileNamesAreHandled) {
    const std::pair<const char*, bool> Cases[] = {
        {"/w/App.todo", true}, {"/w/App.TODO", true}, {"App.Todo", true},
        {"/w/.todo", true},    {".TODO", true},       {"/w/a.todo.bak", false},
        {"/w/a.todox", false}, {"/w.todo/a", false},  {"/w/atodo", false},
        {"todo", false},       {"/w/a.pas", false},   {"", false},
    };
    TToDoCreateUpdaters Creator;
    for (const auto& [Name, Expected] : Cases)
        EXPECT_EQ(Creator.CanHandleFile(Name), Expected) << Name;
    EXPECT_EQ(ToDoFileNameOf("/w/App.proj"), "/w/App.todo");
    EXPECT_EQ(ToDoFileNameOf("/w.x/App"), "/w.x/App.todo");
}

/// A .todo module loaded with the unit started, and its updater.
class ToDoModuleEditTest : public testing::Test {
protected:
    void SetUp() override { InitializeToDoUpdaters(); }
    void TearDown() override {
        for (const auto& Name : Dir.Entries())
            CloseModule(Dir.File(Name));
        FinalizeToDoUpdaters();
    }
    TTempDir Dir;
};

TEST_F(ToDoModuleEditTest, EditsGoToTheModuleAndReachTheFileOnSave) {
    const std::string Path = Dir.Write("App.todo", "0123456789ABCDEFGHIJKL");
    const auto Module = TToDoModule::Open(Path, "", true).Value();
    const auto Updater = Module->QueryToDoUpdater();
    ASSERT_NE(Updater, nullptr);
    EXPECT_EQ(Module->QueryToDoUpdater(), Updater) << "the same updater every time";
    ASSERT_TRUE(Updater->UpdateText(10, 20, "{x}", 1).Ok());
    EXPECT_EQ(Module->GetBuffer()->GetText(), "0123456789{x}KL");
    EXPECT_TRUE(Updater->HoldsText(10, "{x}"));
    EXPECT_FALSE(Updater->UpdateText(10, 99, "y", 1).Ok());
    ASSERT_TRUE(Updater->DeleteText(0, 10, 1).Ok());
    EXPECT_EQ(Module->GetBuffer()->GetText(), "{x}KL");
    std::vector<std::pair<int, std::string>> Comments;
    Updater->ParseItems([&](std::string_view S, int Pos) { Comments.emplace_back(Pos, S); });
    EXPECT_EQ(Comments, (std::vector<std::pair<int, std::string>>{{0, "{x}"}}));

    auto ModuleUpdater =
        std::dynamic_pointer_cast<IModuleUpdater>(Module->QueryInterface(typeid(IModuleUpdater)));
    ASSERT_NE(ModuleUpdater, nullptr);
    EXPECT_EQ(ModuleUpdater->GetModuleName(), "App.todo");

    // A new, empty to-do file: the comment added at 0 starts the file once it is saved, and
    // saving never asks for a name.
    const auto New = TToDoModule::Open(Dir.File("New.todo"), "", false).Value();
    std::string Comment = "TODO 1 -oAnn : Fix";
    const auto NewUpdater = New->QueryToDoUpdater();
    ASSERT_TRUE(NewUpdater->MakeComment(Comment).Ok());
    ASSERT_TRUE(NewUpdater->AddText(0, Comment, 1).Ok());
    ASSERT_TRUE(New->Save(true, false).Ok());
    EXPECT_EQ(ReadBytes(Dir.File("New.todo")), "{TODO 1 -oAnn : Fix}\r\n");
}

TEST_F(ToDoModuleEditTest, AnUpdaterOutlivingItsModuleDoesNothing) {
    const std::string Path = Dir.Write("a.todo", "{a}");
    auto Updater = OpenModule(Path).Value()->QueryToDoUpdater();
    ASSERT_NE(Updater, nullptr) << "any module of a .todo file gets the updater";
    CloseModule(Path);
    int Calls = 0;
    Updater->ParseItems([&](std::string_view, int) { ++Calls; });
    EXPECT_EQ(Calls, 0);
    EXPECT_FALSE(Updater->AddText(0, "x", 1).Ok());
    EXPECT_FALSE(Updater->HoldsText(0, "{a}"));
}

TEST_F(ToDoModuleEditTest, ThreadsQueryingAndEditingOneModuleAgree) {
    constexpr int Threads = 4, Rounds = 50;
    const auto Module = TToDoModule::Open(Dir.Write("t.todo", ""), "", true).Value();
    std::vector<std::jthread> Pool;
    for (int T = 0; T < Threads; ++T)
        Pool.emplace_back([&] {
            for (int R = 0; R < Rounds; ++R) {
                const auto Updater = Module->QueryToDoUpdater();
                ASSERT_NE(Updater, nullptr);
                ASSERT_TRUE(Updater->AddText(0, "{x}\r\n", 1).Ok());
                int Count = 0;
                Updater->ParseItems([&](std::string_view S, int) { Count += S == "{x}"; });
                ASSERT_GT(Count, 0);
            }
        });
    Pool.clear();
    int Count = 0;
    Module->QueryToDoUpdater()->ParseItems([&](std::string_view, int) { ++Count; });
    EXPECT_EQ(Count, Threads * Rounds);
}

/// An updater that asks its module again while it answers a query.
struct TReentrantUpdater : IModuleUpdater, IInterfaceProvider {
    explicit TReentrantUpdater(TRef<IModule> Module) : Module(std::move(Module)) {}
    TRef<IInterface> QueryInterface(const std::type_info& Type) override {
        ++Calls;
        Inner = Module->GetDocModule()->QueryInterface(Type);
        return nullptr;
    }
    bool GetIsEditable() override { return false; }
    bool GetReadOnly() override { return true; }
    std::string GetModuleName() override { return {}; }
    std::string GetModuleTab() override { return {}; }
    TRef<IModule> Module;
    TRef<IInterface> Inner;
    int Calls = 0;
};

struct TReentrantCreator : TBaseCreateUpdaters {
    TRef<IModuleUpdater> CreateModuleUpdater(const TRef<IModule>& Module) override {
        return Made = std::make_shared<TReentrantUpdater>(Module);
    }
    bool CanHandleFile(const std::string& FileName) override { return IsToDoFileName(FileName); }
    std::shared_ptr<TReentrantUpdater> Made;
};

TEST_F(ToDoModuleEditTest, AQueryThatReentersTheHandlerFailsInsteadOfRecursing) {
    auto Creator = std::make_shared<TReentrantCreator>();
    RegisterCreateUpdaters(Creator); // registered last, so it wins over the unit's
    const auto Module = OpenModule(Dir.Write("r.todo", "")).Value();
    UnRegisterCreateUpdaters(Creator);
    ASSERT_NE(Creator->Made, nullptr);
    for (int Round = 1; Round <= 2; ++Round) {
        const auto Handler = Module->QueryInterface(typeid(IOTANotifier));
        EXPECT_NE(std::dynamic_pointer_cast<TTodoCodeMgrModHandler>(Handler), nullptr);
        EXPECT_EQ(Creator->Made->Calls, Round);
        EXPECT_EQ(Creator->Made->Inner, nullptr) << "the inner query is refused";
    }
    EXPECT_EQ(Module->QueryToDoUpdater(), nullptr);
}

} // namespace
