// Loads the markdown-tasks package as the host does and drives it through the host's events,
// with a fake to-do service in place of the To-Do package.

#include "../host/temp_dir.h"
#include "fake_todo_services.h"
#include "private_home.h"

#include "host/canvas.h"
#include "host/errors.h"
#include "host/events.h"
#include "host/file_project.h"
#include "host/module.h"
#include "host/packages.h"
#include "host/tools_api.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>
#include <tuple>

namespace {

const auto* const PrivateHome = testing::AddGlobalTestEnvironment(new TPrivateHome);

/// Counts the blocks it hands out and takes back. A shared object made with it frees its one
/// block (object and control block together) only when the last std::weak_ptr to it is gone.
template <class T> struct TCountingAllocator {
    using value_type = T;
    explicit TCountingAllocator(int* Live) : Live(Live) {}
    template <class U> TCountingAllocator(const TCountingAllocator<U>& Other) : Live(Other.Live) {}
    T* allocate(size_t N) {
        ++*Live;
        return std::allocator<T>().allocate(N);
    }
    void deallocate(T* P, size_t N) {
        --*Live;
        std::allocator<T>().deallocate(P, N);
    }
    template <class U> bool operator==(const TCountingAllocator<U>& Other) const {
        return Live == Other.Live;
    }
    int* Live;
};

struct TCanvasCall {
    int Index, X, Y;
    bool Enabled;
    bool operator==(const TCanvasCall&) const = default;
};
struct TFakeCanvas : TCanvas {
    void DrawImage(int Index, int X, int Y, bool Enabled) override {
        Calls.push_back({Index, X, Y, Enabled});
    }
    std::vector<TCanvasCall> Calls;
};

/// An item as the list shows it.
struct TSeen {
    std::string File;
    int Line;
    bool Checked;
    std::string Text;
    bool operator==(const TSeen&) const = default;
};
void PrintTo(const TSeen& S, std::ostream* Os) {
    *Os << S.File << ":" << S.Line << (S.Checked ? " [x] " : " [ ] ") << S.Text;
}
using TSeenList = std::vector<TSeen>;

class MarkdownTasks : public testing::Test {
protected:
    void SetUp() override {
        Load();
        ServiceIndex = AddOTAExtension(Service);
    }
    void TearDown() override {
        Package.reset();
        MainProjectGroup().SetActiveProject(nullptr);
        RemoveOTAExtension(ServiceIndex);
        EXPECT_TRUE(Service->Managers.empty()) << "the package left its manager behind";
    }

    void Load() {
        auto Loaded = TPackage::Load(TODO_MARKDOWN_TASKS_PACKAGE);
        ASSERT_TRUE(Loaded) << Loaded.Status().Message();
        Package = std::move(Loaded.Value());
    }

    /// Makes a project in Dir (project file demo.todoproj) with Files the active one.
    std::shared_ptr<TProject> Activate(const std::vector<std::string>& Files = {}) {
        auto Project = TProject::Create(Dir.File("demo.todoproj"), Files);
        MainProjectGroup().SetActiveProject(Project);
        return Project;
    }

    /// Writes Bytes to Dir/Name (folders created) and returns its name.
    std::string Write(const std::string& Name, std::string_view Bytes) {
        std::filesystem::create_directories(std::filesystem::path(Dir.File(Name)).parent_path());
        return Dir.Write(Name, Bytes);
    }

    TRef<IOTAToDoManager> Manager() {
        return Service->Managers.empty() ? nullptr : Service->Managers.front();
    }
    TRef<INTAToDoItem> Item(int Index) {
        auto M = Manager();
        return M && Index < M->GetItemCount() ? M->GetItem(Index) : nullptr;
    }
    TSeenList Seen() {
        TSeenList List;
        if (auto M = Manager())
            for (int I = 0, N = M->GetItemCount(); I < N; ++I) {
                auto It = M->GetItem(I);
                List.push_back(
                    {It->GetModuleName(), It->GetData(), It->GetChecked(), It->GetText()});
            }
        return List;
    }

    TTempDir Dir;
    std::shared_ptr<TFakeServices> Service = std::make_shared<TFakeServices>();
    std::unique_ptr<TPackage> Package;
    int ServiceIndex = -1;
};

TEST_F(MarkdownTasks, FindsTaskLinesAndSkipsEverythingElse) {
    const struct {
        const char* Name;
        std::string Markdown;
        std::vector<std::tuple<int, bool, std::string>> Tasks; // line, checked, text
    } Cases[] = {
        {"bullets",
         "- [ ] dash\n* [x] star\n+ [X] plus\n1. [ ] ordered\n12) [ ] paren\n",
         {{1, false, "dash"},
          {2, true, "star"},
          {3, true, "plus"},
          {4, false, "ordered"},
          {5, false, "paren"}}},
        {"indentation",
         "# Title\n  - [ ] two spaces\n\t- [x] tab\n        - [ ] deep\n",
         {{2, false, "two spaces"}, {3, true, "tab"}, {4, false, "deep"}}},
        {"fenced code",
         "```\n- [ ] code\n```\n- [ ] after\n~~~md\n- [ ] tilde\n~~~\n"
         "````\n```\n- [ ] still code\n````\n- [ ] end",
         {{4, false, "after"}, {12, false, "end"}}},
        {"an unclosed fence runs to the end",
         "- [ ] before\n```\n- [ ] code\n",
         {{1, false, "before"}}},
        {"not tasks",
         "- []  x\n-[ ] x\n- [ ]x\n- [y] x\n- [ ]\n- [ ]   \n[ ] x\n1234567890. [ ] x\n"
         "text - [ ] x\n- ( ) x\n",
         {}},
        {"trimmed text, CRLF, bytes kept",
         "- [ ]   spaced  text  \r\n- [x] \xc3\xbcnicode \xff\r\n",
         {{1, false, "spaced  text"}, {2, true, "\xc3\xbcnicode \xff"}}},
        {"empty file", "", {}},
    };
    const std::string File = Write("notes.md", "");
    Activate();
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        Write("notes.md", C.Markdown);
        NotifyModuleModified(File);
        TSeenList Expected;
        for (const auto& [Line, Checked, Text] : C.Tasks)
            Expected.push_back({File, Line, Checked, Text});
        EXPECT_EQ(Seen(), Expected);
    }
}

TEST_F(MarkdownTasks, ListsTheProjectsEntriesAndTheMarkdownFilesUnderItsFolder) {
    TTempDir Outside;
    const std::string Listed = Outside.Write("listed.markdown", "- [ ] listed\n");
    Outside.Write("unlisted.md", "- [ ] not in the project\n");
    const std::string Readme = Write("README.md", "- [ ] readme\n");
    const std::string Deep = Write("docs/deep/notes.MD", "- [x] deep\n");
    for (const char* Skipped : {".hidden/h.md", "build/b.md", "node_modules/n.md", "docs.txt"})
        Write(Skipped, "- [ ] skipped\n");
    Activate({Dir.File("main.pas"), Listed});
    TSeenList Expected{
        {Deep, 1, true, "deep"}, {Readme, 1, false, "readme"}, {Listed, 1, false, "listed"}};
    std::sort(Expected.begin(), Expected.end(),
              [](const TSeen& L, const TSeen& R) { return L.File < R.File; }); // by file name
    EXPECT_EQ(Seen(), Expected);
    EXPECT_EQ(Service->Added, 1);
    EXPECT_GE(Service->Updates, 1);
}

TEST_F(MarkdownTasks, RescansOnlyTheModifiedMarkdownFileOfTheProject) {
    const std::string A = Write("a.md", "- [ ] a\n");
    const std::string B = Write("b.md", "- [ ] b\n");
    TTempDir Outside;
    const std::string Foreign = Outside.Write("foreign.md", "- [ ] foreign\n");
    Activate();
    Write("a.md", "- [x] a changed\n");
    Write("b.md", "- [x] b changed\n"); // not announced: stays as read
    const int Updates = Service->Updates;
    NotifyModuleModified(A);
    EXPECT_EQ(Service->Updates, Updates + 1);
    EXPECT_EQ(Seen(), (TSeenList{{A, 1, true, "a changed"}, {B, 1, false, "b"}}));

    NotifyModuleModified(Foreign);                   // not the project's
    NotifyModuleModified(Dir.File("demo.todoproj")); // not Markdown
    EXPECT_EQ(Service->Updates, Updates + 1);

    const std::string New = Write("docs/new.md", "- [ ] new\n"); // created after the scan
    NotifyModuleModified(New);
    EXPECT_EQ(Seen().size(), 3u);
    std::filesystem::remove(A);
    NotifyModuleModified(A);
    EXPECT_EQ(Seen(), (TSeenList{{B, 1, false, "b"}, {New, 1, false, "new"}}));
}

TEST_F(MarkdownTasks, ProjectSwitchReplacesTheItemsAndNoProjectHasNone) {
    const std::string A = Write("a/a.md", "- [ ] a\n");
    const std::string B = Write("b/b.md", "- [ ] b\n");
    MainProjectGroup().SetActiveProject(TProject::Create(Dir.File("a/a.todoproj"), {}));
    EXPECT_EQ(Seen(), (TSeenList{{A, 1, false, "a"}}));
    MainProjectGroup().SetActiveProject(TProject::Create(Dir.File("b/b.todoproj"), {}));
    EXPECT_EQ(Seen(), (TSeenList{{B, 1, false, "b"}}));
    const int Updates = Service->Updates;
    MainProjectGroup().SetActiveProject(nullptr);
    EXPECT_EQ(Seen(), TSeenList{});
    EXPECT_EQ(Service->Updates, Updates + 1);
    NotifyModuleModified(B); // the old project's file no longer counts
    EXPECT_EQ(Seen(), TSeenList{});
}

TEST_F(MarkdownTasks, SetCheckedOnAClosedFileRewritesJustTheMark) {
    const std::string File = Write("notes.md", "# Notes\r\n- [ ] first\r\n  * [X] second\n");
    Activate();
    ASSERT_TRUE(Item(0)->SetChecked(true));
    EXPECT_EQ(ReadBytes(File), "# Notes\r\n- [x] first\r\n  * [X] second\n");
    ASSERT_TRUE(Item(1)->SetChecked(false)); // the items were read again after the first write
    EXPECT_EQ(ReadBytes(File), "# Notes\r\n- [x] first\r\n  * [ ] second\n");
    EXPECT_EQ(Seen(), (TSeenList{{File, 2, true, "first"}, {File, 3, false, "second"}}));
    EXPECT_EQ(FindDocModule(File), nullptr) << "the module opened to write must be closed";

    auto Stale = Item(0);
    Write("notes.md", "# Notes\r\n- [x] first, edited\r\n");
    const TStatus Refused = Stale->SetChecked(false);
    ASSERT_FALSE(Refused);
    EXPECT_NE(Refused.Message().find(File), std::string::npos) << Refused.Message();
    EXPECT_NE(Refused.Message().find("line 2"), std::string::npos) << Refused.Message();
    EXPECT_EQ(ReadBytes(File), "# Notes\r\n- [x] first, edited\r\n");
    EXPECT_EQ(FindDocModule(File), nullptr);
}

TEST_F(MarkdownTasks, AnOpenFileIsReadAndCheckedInItsBufferNotOnDisk) {
    const std::string File = Write("notes.md", "- [ ] on disk\n");
    auto Opened = OpenModule(File);
    ASSERT_TRUE(Opened);
    TEditBuffer& Buffer = *Opened.Value()->GetBuffer();
    ASSERT_TRUE(Buffer.Replace(6, 13, "task"));
    Activate();
    EXPECT_EQ(Seen(), (TSeenList{{File, 1, false, "task"}}));
    const int Updates = Service->Updates;
    ASSERT_TRUE(Item(0)->SetChecked(true));
    EXPECT_EQ(Buffer.GetText(), "- [x] task\n");
    EXPECT_TRUE(Opened.Value()->GetModified());
    EXPECT_EQ(ReadBytes(File), "- [ ] on disk\n");
    EXPECT_EQ(Seen(), (TSeenList{{File, 1, true, "task"}}));
    EXPECT_EQ(Service->Updates, Updates + 1);

    auto Stale = Item(0);
    ASSERT_TRUE(Buffer.Insert(0, "# Title\n"));
    EXPECT_FALSE(Stale->SetChecked(false)); // the line moved
    EXPECT_EQ(Buffer.GetText(), "# Title\n- [x] task\n");
    CloseModule(File);
}

TEST_F(MarkdownTasks, ItemsAreReadOnlyTasksThatShowTheirLine) {
    const std::string File = Write("notes.md", "intro\n\n- [ ] third line\n");
    Activate();
    auto It = Item(0);
    ASSERT_TRUE(It);
    EXPECT_TRUE(It->IsValid());
    EXPECT_FALSE(It->CanEdit());
    EXPECT_FALSE(It->CanDelete());
    EXPECT_FALSE(It->Edit());
    EXPECT_FALSE(It->Delete());
    EXPECT_TRUE(It->CanShow());

    TFakeCanvas Canvas;
    It->DrawImage(Canvas, TRect{10, 20, 26, 36});
    EXPECT_EQ(Canvas.Calls, (std::vector<TCanvasCall>{{92, 10, 20, true}}));

    ASSERT_TRUE(It->Show());
    auto Module = FindDocModule(File);
    ASSERT_TRUE(Module);
    EXPECT_TRUE(Module->HasView());
    EXPECT_EQ(ActiveModule(), Module);
    EXPECT_EQ(Module->GetBuffer()->GetCursorPos(), 7); // the start of line 3
    CloseModule(File);
}

TEST_F(MarkdownTasks, AReaderOnAnotherThreadSeesWholeSnapshotsWhileTheMainThreadRescans) {
    const std::string File = Write("notes.md", "- [ ] one\n");
    Activate();
    auto M = Manager();
    ASSERT_TRUE(M);
    std::atomic<bool> Done{false};
    std::atomic<int> Torn{0};
    std::thread Reader([&] {
        // The service's parse thread walks a manager count first, then item by item.
        while (!Done)
            try {
                for (int I = 0, N = M->GetItemCount(); I < N; ++I)
                    if (M->GetItem(I)->GetText().empty())
                        ++Torn;
            } catch (const EListError&) {
                ++Torn;
            }
    });
    for (int Round = 0; Round < 200; ++Round) {
        Write("notes.md", Round % 2 ? "- [ ] one\n" : "- [ ] one\n- [ ] two\n- [x] three\n");
        NotifyModuleModified(File);
    }
    Done = true;
    Reader.join();
    EXPECT_EQ(Torn, 0);
}

TEST_F(MarkdownTasks, LoadingTheLibraryTwiceRegistersOnceAndTheFirstUnloadTakesAllBack) {
    // The host dedups packages, but the entry points must stand being called again: the same
    // library reached under another name runs them a second time on the same state.
    Write("notes.md", "- [ ] task\n");
    Activate();
    auto Again = TPackage::Load(TODO_MARKDOWN_TASKS_PACKAGE);
    ASSERT_TRUE(Again) << Again.Status().Message();
    EXPECT_EQ(Service->Added, 1);
    const int Updates = Service->Updates;
    NotifyModuleModified(Dir.File("notes.md"));
    EXPECT_EQ(Service->Updates, Updates + 1) << "the handlers are subscribed once";
    Again.Value().reset(); // the first finalize takes everything back
    EXPECT_TRUE(Service->Managers.empty());
    EXPECT_EQ(Service->Removed, 1);
    NotifyModuleModified(Dir.File("notes.md"));
    EXPECT_EQ(Service->Updates, Updates + 1) << "a handler outlived the finalize";
    // The library is gone: a handler left behind would crash here.
    Package.reset();
    EXPECT_EQ(Service->Removed, 1);
    Activate();
    EvMainFormCreated().Raise();
    NotifyModuleModified(Dir.File("notes.md"));
    EXPECT_EQ(Service->Added, 1);
}

TEST_F(MarkdownTasks, HoldsNoReferenceToTheServiceBetweenCallsAndALaterServiceGetsTheManager) {
    // The service's control block is code of the package that made the service, which may be
    // unloaded before this one: a std::weak_ptr kept to it would be released into unmapped
    // code.
    RemoveOTAExtension(ServiceIndex);
    const std::string File = Write("notes.md", "- [ ] task\n");
    int Blocks = 0;
    {
        auto Counted =
            std::allocate_shared<TFakeServices>(TCountingAllocator<TFakeServices>(&Blocks));
        const int Index = AddOTAExtension(Counted);
        Activate();
        EXPECT_EQ(Counted->Added, 1);
        EXPECT_EQ(Blocks, 1);
        RemoveOTAExtension(Index);
    } // the service goes, as the To-Do package's does when it is unloaded
    EXPECT_EQ(Blocks, 0) << "something still holds a weak reference to the service";

    // A service made later gets the manager when the main form is made, as the To-Do package
    // makes its service after the packages were loaded; once only.
    ServiceIndex = AddOTAExtension(Service);
    EXPECT_EQ(Service->Added, 0);
    EvMainFormCreated().Raise();
    EXPECT_EQ(Service->Added, 1);
    EXPECT_EQ(Seen(), (TSeenList{{File, 1, false, "task"}}));
    EvMainFormCreated().Raise();
    Activate();
    EXPECT_EQ(Service->Added, 1);
}

} // namespace
