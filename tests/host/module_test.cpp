#include "host/module.h"

#include "host/creators.h"
#include "host/errors.h"
#include "host/events.h"
#include "host/imodule.h"
#include "host/module_handlers.h"
#include "host/source_updater.h"
#include "host/tools_api.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

/// Closes what a test left open, so that the process-wide table starts empty for the next.
class ModuleTest : public testing::Test {
protected:
    void TearDown() override {
        SetActiveModule(nullptr);
        for (const auto& Name : Dir.Entries())
            CloseModule(Dir.File(Name));
    }
    TTempDir Dir;
};

} // namespace

TEST_F(ModuleTest, SpellingsOfOneFileShareOneModule) {
    fs::create_directory(Dir.File("sub"));
    const std::string Path = Dir.Write("a.pas", "{ TODO : x }");
    const auto Module = OpenModule(Dir.File("sub/../a.pas")).Value();
    ASSERT_NE(Module, nullptr);
    EXPECT_EQ(Module->GetFileName(), Path);
    EXPECT_EQ(Module->GetBuffer()->GetText(), "{ TODO : x }");
    EXPECT_EQ(FindDocModule(Dir.File("./a.pas")), Module);
    EXPECT_EQ(OpenModule(Path.substr(0, Path.size() - 5) + "/a.pas").Value(), Module); // "//"
    EXPECT_EQ(NormalizeFileName("x.pas"), (fs::current_path() / "x.pas").string());
    CloseModule(Dir.File("sub/./../a.pas"));
    EXPECT_EQ(FindDocModule(Path), nullptr);

    const std::string Missing = Dir.File("missing.pas");
    EXPECT_EQ(OpenModule(Missing).Status().Message(),
              "cannot read " + Missing + ": no such file or directory");
    EXPECT_EQ(FindDocModule(Missing), nullptr);
    EXPECT_TRUE(FileExists(Path));
    EXPECT_FALSE(FileExists(Missing) || FileExists(Dir.File("sub")) || FileExists(""));
}

TEST_F(ModuleTest, ThreadsOpeningAndClosingModulesAgree) {
    constexpr int Files = 5, Threads = 6, Rounds = 300;
    for (int F = 0; F < Files; ++F)
        Dir.Write("f" + std::to_string(F) + ".pas", std::to_string(F));
    std::barrier Start(Threads);
    std::vector<std::shared_ptr<TModule>> First(Threads);
    std::atomic<int> Failures{0};
    std::vector<std::jthread> Pool;
    for (int T = 0; T < Threads; ++T)
        Pool.emplace_back([&, T] {
            // All open one file at once under two spellings, then open and close files in turn.
            Start.arrive_and_wait();
            First[T] = OpenModule(Dir.File(T % 2 ? "f0.pas" : "x/../f0.pas")).Value();
            Start.arrive_and_wait();
            for (int R = 0; R < Rounds; ++R) {
                const std::string F = std::to_string((T + R) % Files);
                const std::string Name = Dir.File("f" + F + ".pas");
                auto Opened = OpenModule(R % 3 ? Name : Dir.File("x/../f" + F + ".pas"));
                Failures += !Opened.Ok() || Opened.Value()->GetFileName() != Name ||
                            Opened.Value()->GetBuffer()->GetText() != F;
                Failures += R % 4 == 0 && !CallDefaultOpenProc(Name, R % 8 == 0).Ok();
                (void)FindEditBuffer(Name);
                if (R % 5 == 0)
                    CloseEditorView(Name);
                CloseModule(Name);
            }
        });
    Pool.clear();
    EXPECT_NE(First[0], nullptr);
    EXPECT_EQ(std::count(First.begin(), First.end(), First[0]), Threads) << "one module per file";
    EXPECT_EQ(Failures, 0);
    for (const auto& Name : Dir.Entries())
        EXPECT_EQ(FindDocModule(Dir.File(Name)), nullptr);
    EXPECT_EQ(ActiveModule(), nullptr);
}

namespace {

/// Records the view and activation events, checking in each that the host's table can be read
/// (it would deadlock if the event were raised under the table's lock).
struct TEventLog {
    TEventLog() {
        ViewToken = EvViewNotification().Add([this](TEditView* View, TViewOperation Op) {
            const auto& M = View->GetModule();
            const bool Found = FindDocModule(M->GetFileName()) == M;
            Lines.push_back((Op == voInsert ? "insert " : "remove ") + Leaf(M.get()) +
                            (Found ? "" : " (unloaded)") + (M->HasView() ? " viewed" : ""));
        });
        ActiveToken = EvModuleActivated().Add([this](TModule* M) {
            EXPECT_EQ(ActiveModule().get(), M);
            Lines.push_back("active " + Leaf(M));
        });
    }
    ~TEventLog() {
        EvViewNotification().Remove(ViewToken);
        EvModuleActivated().Remove(ActiveToken);
    }
    static std::string Leaf(TModule* M) {
        return M ? fs::path(M->GetFileName()).filename().string() : "-";
    }
    std::vector<std::string> Take() { return std::exchange(Lines, {}); }

    std::vector<std::string> Lines;
    unsigned ViewToken, ActiveToken;
};

using TLines = std::vector<std::string>;

std::shared_ptr<TModule> MakeModule(std::string FileName, std::shared_ptr<TEditBuffer> Buffer) {
    return std::make_shared<TModule>(std::move(FileName), std::move(Buffer));
}

} // namespace

TEST_F(ModuleTest, OnlyAViewedModuleHasAnEditBufferAndViewEventsComeOnceOutsideTheTableLock) {
    const std::string A = Dir.Write("a.pas", "a"), B = Dir.Write("b.pas", "b");
    TEventLog Log;
    const auto Module = OpenModule(A).Value();
    EXPECT_EQ(FindEditBuffer(A), nullptr);
    ASSERT_TRUE(CallDefaultOpenProc(A, false).Ok());
    EXPECT_EQ(Log.Take(), TLines{"insert a.pas viewed"});
    EXPECT_EQ(FindDocModule(A), Module) << "a view reuses the loaded module";
    EXPECT_EQ(FindEditBuffer(A), Module->GetBuffer());
    EXPECT_EQ(ActiveModule(), nullptr);
    ASSERT_TRUE(CallDefaultOpenProc(A, true).Ok() && CallDefaultOpenProc(A, true).Ok());
    EXPECT_EQ(Log.Take(), TLines{"active a.pas"});
    EXPECT_EQ(ActiveModule(), Module);

    ASSERT_TRUE(CallDefaultOpenProc(B, true).Ok());
    EXPECT_EQ(Log.Take(), (TLines{"insert b.pas viewed", "active b.pas"}));
    CloseEditorView(B);
    EXPECT_EQ(Log.Take(), (TLines{"remove b.pas", "active -"}));
    EXPECT_EQ(FindEditBuffer(B), nullptr);
    EXPECT_NE(FindDocModule(B), nullptr) << "closing the view keeps the module loaded";
    CloseEditorView(B);
    CloseModule(B);
    EXPECT_EQ(Log.Take(), TLines{}) << "no view, nothing to report";

    SetActiveModule(Module);
    CloseModule(A);
    EXPECT_EQ(Log.Take(), (TLines{"active a.pas", "remove a.pas (unloaded)", "active -"}));
    EXPECT_EQ(ActiveModule(), nullptr);
    EXPECT_FALSE(Module->HasView());
    EXPECT_EQ(FindEditBuffer(A), nullptr);
    EXPECT_FALSE(CallDefaultOpenProc(Dir.File("none.pas"), true).Ok());
}

namespace {

/// A gauntlet member that logs the modules it sees and gives each one handler that offers
/// an IToDoUpdater of its own.
struct TLoggingMember : TModuleHandlerGauntletMember {
    struct THandler : IOTANotifier, IInterfaceProvider {
        TRef<IToDoUpdater> Updater;
        TRef<IInterface> QueryInterface(const std::type_info& Type) override {
            return Type == typeid(IToDoUpdater) ? Updater : nullptr;
        }
    };
    void HandleModule(TModule& Module) override {
        Seen.push_back(fs::path(Module.GetFileName()).filename().string());
        auto Handler = std::make_shared<THandler>();
        Handler->Updater = std::make_shared<TSourceUpdater>(Module.GetFileName(), TLanguage::C);
        Module.AddModuleHandler(Handler);
    }
    std::vector<std::string> Seen;
};

struct TTestCreator : TDefaultCreator {
    TTestCreator(std::string Name, std::string Text, bool Show)
        : Name(std::move(Name)), Text(std::move(Text)), Show(Show) {}
    TRef<ISourceFile> GetSource() override { return std::make_shared<TStringFile>(Name, Text); }
    bool GetShowSource() override { return Show; }
    std::string Name, Text;
    bool Show;
};

} // namespace

TEST_F(ModuleTest, EveryCreatedModuleRunsTheGauntletOnceAndItsHandlersAnswerQueries) {
    auto Member = std::make_shared<TLoggingMember>();
    ModuleHandlerGauntlet().Add(Member);
    const std::string Txt = Dir.Write("a.txt", "a");
    const auto A = OpenModule(Txt).Value();
    EXPECT_EQ(OpenModule(Txt).Value(), A);
    const auto New = TModule::Load(Dir.File("new.txt"), false, MakeModule).Value();
    EXPECT_FALSE(TModule::Load(Dir.File("gone.txt"), true, MakeModule).Ok());
    (void)TModule::Create(std::make_shared<TTestCreator>(Dir.File("c.txt"), "c", false), nullptr,
                          MakeModule);
    ModuleHandlerGauntlet().Remove(Member);
    EXPECT_EQ(Member->Seen, (TLines{"a.txt", "new.txt", "c.txt"}));

    const auto Updater = A->QueryToDoUpdater();
    ASSERT_NE(Updater, nullptr) << "a .txt file has an updater only through the handler";
    EXPECT_EQ(A->QueryToDoUpdater(), Updater);
    EXPECT_EQ(A->QueryInterface(typeid(IModule)), nullptr);
    EXPECT_TRUE(New->IsNew() && New->GetBuffer()->GetText().empty());
    CloseModule(New->GetFileName());
}

TEST_F(ModuleTest, CreatorWritesOnlyAMissingFileAndShowsItWhenAsked) {
    struct TCase {
        const char* Name;
        const char* OnDisk; // null: no file yet
        bool Show;
        const char* Expected; // file and buffer afterwards; null: the creation fails
    };
    const TCase Cases[] = {
        {"new.txt", nullptr, true, "text"},      {"hidden.txt", nullptr, false, "text"},
        {"kept.txt", "user's", false, "user's"}, {"missing/x.txt", nullptr, false, nullptr},
        {"", nullptr, false, nullptr},
    };
    const auto Owner =
        MakeModule(Dir.File("owner.proj"), std::make_shared<TEditBuffer>("", "", TDiskStamp{}));
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        const std::string Name = *C.Name ? Dir.File(C.Name) : "";
        if (C.OnDisk)
            Dir.Write(C.Name, C.OnDisk);
        auto Made = TModule::Create(std::make_shared<TTestCreator>(Name, "text", C.Show), Owner,
                                    MakeModule);
        ASSERT_EQ(Made.Ok(), C.Expected != nullptr) << Made.Status().Message();
        if (!C.Expected) {
            EXPECT_EQ(FindDocModule(Name), nullptr);
            continue;
        }
        const auto& M = Made.Value();
        EXPECT_EQ(FindDocModule(Name), M);
        EXPECT_EQ(ReadBytes(Name), C.Expected);
        EXPECT_EQ(M->GetBuffer()->GetText(), C.Expected);
        EXPECT_EQ(M->HasView(), C.Show);
        EXPECT_EQ(ActiveModule() == M, C.Show);
        ASSERT_EQ(M->GetOwnerCount(), 1);
        EXPECT_EQ(M->GetOwner(0), Owner);
        EXPECT_THROW((void)M->GetOwner(1), EListError);
        SetActiveModule(nullptr);
    }
}

TEST_F(ModuleTest, RenameRekeysTheModuleAndSaveAsksForANameOnlyWhenItMust) {
    const std::string A = Dir.Write("a.txt", "a"), B = Dir.Write("b.txt", "b");
    const auto M = OpenModule(A).Value();
    (void)OpenModule(B);
    EXPECT_FALSE(M->Rename(B).Ok()) << "b.txt is loaded";
    ASSERT_TRUE(M->Rename(Dir.File("r.txt")).Ok());
    EXPECT_EQ(FindDocModule(A), nullptr);
    EXPECT_EQ(FindDocModule(Dir.File("r.txt")), M);
    EXPECT_EQ(M->GetBuffer()->GetFileName(), Dir.File("r.txt"));
    EXPECT_EQ(ReadBytes(Dir.File("r.txt")), "<missing>") << "nothing moves on disk";
    ASSERT_TRUE(M->Save().Ok());
    EXPECT_EQ(ReadBytes(Dir.File("r.txt")), "a");

    // Unchanged modules are written only when forced: a file changed by another program is
    // left alone by an unforced save and refused by a forced one.
    Dir.Write("r.txt", "other program");
    EXPECT_TRUE(M->Save(false, false).Ok());
    EXPECT_FALSE(M->Save(false, true).Ok());

    const auto New = TModule::Load(Dir.File("n.txt"), false, MakeModule).Value();
    ASSERT_TRUE(New->MustPromptForSaveName());
    EXPECT_EQ(New->Save().Message(), "no file name chosen for " + Dir.File("n.txt"));
    TModule::PromptForSaveNameProc = [&](TModule&) { return Dir.File("chosen.txt"); };
    const TStatus Saved = New->Save();
    TModule::PromptForSaveNameProc = nullptr;
    ASSERT_TRUE(Saved.Ok()) << Saved.Message();
    EXPECT_FALSE(New->IsNew() || New->MustPromptForSaveName());
    EXPECT_EQ(ReadBytes(Dir.File("chosen.txt")), "");
}
