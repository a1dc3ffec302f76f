// The markdown-tasks package against the real to-do service, both running as the desktop program
// runs them but without windows: the host's parse thread, the package's units started in their
// order, the host's source-manager creators and the service with an always-visible display. The
// package is the real library, loaded and unloaded as the host does it.

#include "../host/temp_dir.h"
#include "private_home.h"

#include "host/clipboard.h"
#include "host/events.h"
#include "host/file_project.h"
#include "host/ini_file.h"
#include "host/module.h"
#include "host/packages.h"
#include "host/parse_thread.h"
#include "host/source_creators.h"
#include "host/utf8.h"
#include "host/window_link.h"
#include "list/todo_list.h"
#include "list/todo_units.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace {

const auto* const PrivateHome = testing::AddGlobalTestEnvironment(new TPrivateHome);

constexpr const char* MarkdownKind = "Markdown tasks";
const std::wstring MarkdownKey = L"Markdown tasks";

/// The always-visible window standing in for the To-Do List window.
struct TDisplay : IToDoDisplayForm {
    TQueuedWindow Window{true};
    TDisplayHandle Handle = RegisterWindow(&Window);
    ~TDisplay() override { UnregisterWindow(Handle); }
    TDisplayHandle GetHandle() const override { return Handle; }
    void SetCaption(const std::string&) override {}
};

/// A listed item as the window shows it.
struct TRow {
    std::string Text;
    std::string File; // base name of the module
    bool operator==(const TRow&) const = default;
};
void PrintTo(const TRow& R, std::ostream* Os) {
    *Os << R.File << ": " << R.Text;
}
using TRows = std::vector<TRow>;

class MarkdownService : public testing::Test {
protected:
    void SetUp() override {
        SetAppIniFileName(Settings.File("todolist.ini"));
        Write("Alpha.pas", "unit Alpha;\n"
                           "// TODO 2 -oBen -cCore: Pear in alpha\n"
                           "// TODO: Apple in alpha\n"
                           "end.\n");
        Write("Work.pas", "unit Work;\n{ TODO 1 -cUI : Kiwi in work }\nend.\n");
        Write("NOTES.md", "# Notes\n"
                          "- [ ] Zucchini from notes\n"
                          "- [x] Banana from notes\n"
                          "- [ ] Cherry from notes\n"
                          "```\n- [ ] not a task\n```\n");

        // The desktop program's order: its parse thread exists before the packages load, the
        // packages load in name order (markdown-tasks before the To-Do package, whose units
        // start then), the host registers its creators, the main form is made and the service
        // with it, and the start project opens last.
        SetParseThread(&Thread);
        auto Loaded = TPackage::Load(TODO_MARKDOWN_TASKS_PACKAGE);
        ASSERT_TRUE(Loaded) << Loaded.Status().Message();
        Package = std::move(Loaded.Value());
        StartUnits(ToDoUnits());
        UnitsStarted = true;
        RegisterSourceManagerCreators();
        CreateToDoList().SetDisplayForm(&Display);
        EvMainFormCreated().Raise();
        Project =
            TProject::Create(Dir.File("demo.dpr"), {Dir.File("Alpha.pas"), Dir.File("Work.pas")});
        MainProjectGroup().SetActiveProject(Project);
        WaitForPass();
    }

    void TearDown() override {
        Package.reset(); // before the service goes, as the host unloads its packages
        if (ToDoList) {
            ToDoList->SetDisplayForm(nullptr);
            FreeToDoList();
        }
        MainProjectGroup().SetActiveProject(nullptr);
        if (UnitsStarted)
            StopUnits(ToDoUnits());
        SetParseThread(nullptr);
        Thread.Stop();
        for (const std::string& F : Dir.Entries())
            CloseModule(Dir.File(F));
    }

    void Write(const std::string& Name, const std::string& Bytes) { Dir.Write(Name, Bytes); }

    /// Wakes the parse thread and waits until its pass (parse and collation) is done.
    void WaitForPass() {
        Thread.Modified();
        ASSERT_TRUE(Thread.WaitIdle(std::chrono::hours(1)));
        Display.Window.TakeMessages();
    }

    TToDoList& List() { return *ToDoList; }

    TRows Rows() {
        TRows Out;
        std::scoped_lock Lock(List().ItemsLock());
        for (int I = 0; I < List().GetItemCount(); ++I) {
            auto Item = List().GetItem(I);
            std::string Text = Item->GetText(); // a brace comment keeps the blank before "}"
            Text.erase(Text.find_last_not_of(' ') + 1);
            Out.push_back({Text, std::filesystem::path(Item->GetModuleName()).filename().string()});
        }
        return Out;
    }
    int MarkdownRows() {
        TRows R = Rows();
        return static_cast<int>(std::count_if(
            R.begin(), R.end(), [](const TRow& Row) { return Row.File == "NOTES.md"; }));
    }

    /// The keys of the origin filter with their state, as the filter dialog lists them.
    std::set<std::pair<std::wstring, bool>> Origins() {
        std::set<std::pair<std::wstring, bool>> Out;
        std::scoped_lock Lock(List().ItemsLock());
        TFilterValueList Values;
        List().OriginFilter().ListValues(Values, true, false);
        for (const auto& [Key, Entry] : Values)
            Out.emplace(Key, Entry->Value != -1);
        return Out;
    }

    /// Shows or hides an origin as the filter dialog's OK does: the entry's value, then a
    /// collation.
    void SetOriginShown(const std::wstring& Key, bool Shown) {
        {
            std::scoped_lock Lock(List().ItemsLock());
            List().OriginFilter().Add(Key, Shown ? 1 : -1);
        }
        List().Collate();
    }

    /// Makes Order the current one, in Ascending direction.
    void SortBy(TToDoSortOrder Order, bool Ascending = true) {
        List().SetSortOrder(Order);
        if (List().SortAscending() != Ascending)
            List().SetSortOrder(Order); // the current order again reverses it
        ASSERT_EQ(List().GetSortOrder(), Order);
        ASSERT_EQ(List().SortAscending(), Ascending);
    }

    TTempDir Dir, Settings;
    TParseThread Thread;
    TDisplay Display;
    std::unique_ptr<TPackage> Package;
    std::shared_ptr<TProject> Project;
    bool UnitsStarted = false;
};

TEST_F(MarkdownService, HidingAnOriginHidesExactlyItsItemsAndCountsThemHidden) {
    // The Markdown kind is an origin of its own next to the source origins.
    EXPECT_EQ(Origins(), (std::set<std::pair<std::wstring, bool>>{
                             {L"Open source files", true},
                             {L"Current project source files", true},
                             {L"Project To-Do file", true},
                             {MarkdownKey, true},
                         }));
    const auto Source = L"Current project source files";
    const TRows PascalRows{{"Apple in alpha", "Alpha.pas"},
                           {"Kiwi in work", "Work.pas"},
                           {"Pear in alpha", "Alpha.pas"}};
    const TRows NotesRows{{"Banana from notes", "NOTES.md"},
                          {"Cherry from notes", "NOTES.md"},
                          {"Zucchini from notes", "NOTES.md"}};
    const struct {
        const char* Name;
        bool ShowChecked;
        std::vector<std::wstring> Hidden;
        TRows Listed; // sorted by text
        int HiddenCount;
    } Cases[] = {
        {"markdown hidden", true, {MarkdownKey}, PascalRows, 3},
        {"markdown hidden, a checked task counted once", false, {MarkdownKey}, PascalRows, 3},
        {"source files hidden", true, {Source}, NotesRows, 3},
        {"both hidden", true, {MarkdownKey, Source}, {}, 6},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        List().SetShowChecked(C.ShowChecked);
        for (const auto& Key : C.Hidden)
            SetOriginShown(Key, false);
        TRows Listed = Rows();
        std::sort(Listed.begin(), Listed.end(),
                  [](const TRow& A, const TRow& B) { return A.Text < B.Text; });
        EXPECT_EQ(Listed, C.Listed);
        EXPECT_EQ(List().GetHiddenCount(), C.HiddenCount);
        EXPECT_EQ(List().GetTotalCount(), 6);
        EXPECT_EQ(List().GetPendingCount(), 5); // listed or not
        // Showing them again brings every item back.
        for (const auto& Key : C.Hidden)
            SetOriginShown(Key, true);
        List().SetShowChecked(true);
        EXPECT_EQ(List().GetItemCount(), 6);
        EXPECT_EQ(List().GetHiddenCount(), 0);
        EXPECT_EQ(MarkdownRows(), 3);
    }
}

TEST_F(MarkdownService, AHiddenMarkdownOriginIsStoredAndReadBackAndStaysHiddenOnChanges) {
    List().SetShowChecked(true);
    SetOriginShown(MarkdownKey, false);
    List().WriteFilters();
    EXPECT_EQ(AppIniFile().ReadString(SettingsSection, "HiddenItems", ""), MarkdownKind);

    // What a new service reads at start-up: the kind is hidden before any of its items came.
    List().ReadFilters();
    EXPECT_TRUE(Origins().contains({MarkdownKey, false}));
    List().UpdateList();
    EXPECT_EQ(MarkdownRows(), 0);

    // A task added to the file (the package rescans it) is hidden too.
    Write("NOTES.md", "- [ ] Date from notes\n");
    NotifyModuleModified(NormalizeFileName(Dir.File("NOTES.md")));
    EXPECT_EQ(MarkdownRows(), 0);
    EXPECT_EQ(List().GetHiddenCount(), 1);
    SetOriginShown(MarkdownKey, true);
    SortBy(soModule);
    EXPECT_EQ(Rows(), (TRows{{"Pear in alpha", "Alpha.pas"},
                             {"Apple in alpha", "Alpha.pas"},
                             {"Date from notes", "NOTES.md"},
                             {"Kiwi in work", "Work.pas"}}));
    List().WriteFilters();
    EXPECT_EQ(AppIniFile().ReadString(SettingsSection, "HiddenItems", "?"), "");
}

TEST_F(MarkdownService, EverySortOrderPlacesTheMarkdownItems) {
    List().SetShowChecked(true);
    const TRow Pear{"Pear in alpha", "Alpha.pas"}, Apple{"Apple in alpha", "Alpha.pas"},
        Kiwi{"Kiwi in work", "Work.pas"}, Banana{"Banana from notes", "NOTES.md"},
        Cherry{"Cherry from notes", "NOTES.md"}, Zucchini{"Zucchini from notes", "NOTES.md"};
    const struct {
        const char* Name;
        TToDoSortOrder Order;
        bool Ascending;
        TRows Expected; // empty: only checked against the order's comparison
    } Cases[] = {
        // Source items of one file keep their line order in either direction; the tasks of a
        // Markdown file tie on the module and go by their text.
        {"module", soModule, true, {Pear, Apple, Banana, Cherry, Zucchini, Kiwi}},
        {"module, descending", soModule, false, {Kiwi, Banana, Cherry, Zucchini, Pear, Apple}},
        {"action item", soActionItem, true, {Apple, Banana, Cherry, Kiwi, Pear, Zucchini}},
        {"action item, descending",
         soActionItem,
         false,
         {Zucchini, Pear, Kiwi, Cherry, Banana, Apple}},
        // Tasks have no priority, which ranks after 5.
        {"priority", soPriority, true, {Kiwi, Pear, Apple, Banana, Cherry, Zucchini}},
        {"checked", soChecked, true, {Apple, Cherry, Kiwi, Pear, Zucchini, Banana}},
        {"kind", soKind, true, {}},
        {"owner", soOwner, true, {}},
        {"category", soCategory, true, {}},
        {"category, descending", soCategory, false, {}},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        SortBy(C.Order, C.Ascending);
        const TRows Sorted = Rows();
        ASSERT_EQ(Sorted.size(), 6u);
        EXPECT_EQ(MarkdownRows(), 3);
        if (!C.Expected.empty()) {
            EXPECT_EQ(Sorted, C.Expected);
        }
        {
            std::scoped_lock Lock(List().ItemsLock());
            for (int I = 1; I < List().GetItemCount(); ++I)
                EXPECT_LE(List().SortCompare(List().GetItem(I - 1), List().GetItem(I)), 0)
                    << "rows " << I - 1 << " and " << I;
        }
        // The same order again, after a new collation and after a round trip through another
        // order: the same rows in the same places.
        List().UpdateList();
        EXPECT_EQ(Rows(), Sorted);
        SortBy(C.Order == soModule ? soActionItem : soModule);
        SortBy(C.Order, C.Ascending);
        EXPECT_EQ(Rows(), Sorted);
        SortBy(soActionItem); // the tie-break of the next case ascends
    }
}

TEST_F(MarkdownService, CopyAsTextHasALinePerListedTask) {
    List().SetShowChecked(true);
    SortBy(soActionItem);
    const std::wstring Notes = Utf8ToWide(NormalizeFileName(Dir.File("NOTES.md")));
    const std::wstring Lines[] = {
        L"Banana from notes\tCompleted\t0\t\t\t" + Notes + L"\t\r\n",
        L"Cherry from notes\tPending\t0\t\t\t" + Notes + L"\t\r\n",
        L"Zucchini from notes\tPending\t0\t\t\t" + Notes + L"\t\r\n",
    };
    List().CopyTextToClipboard(); // what Ctrl+C in the window does
    const std::wstring Copied = Clipboard().AsWideText();
    EXPECT_TRUE(
        Copied.starts_with(L"Action Item\tStatus\tPriority\tOwner\tCategory\tModule\t\r\n"));
    EXPECT_EQ(std::count(Copied.begin(), Copied.end(), L'\n'), 7);
    size_t Previous = 0;
    for (const std::wstring& Line : Lines) {
        const size_t At = Copied.find(Line);
        ASSERT_NE(At, std::wstring::npos) << WideToUtf8(Line) << " in\n" << WideToUtf8(Copied);
        EXPECT_GT(At, Previous) << "in the list's order";
        Previous = At;
    }
    EXPECT_NE(Copied.find(L"Kiwi in work\tPending\t1\t\tUI\t"), std::wstring::npos);

    SetOriginShown(MarkdownKey, false);
    List().CopyTextToClipboard();
    const std::wstring Filtered = Clipboard().AsWideText();
    EXPECT_EQ(Filtered.find(L"from notes"), std::wstring::npos) << WideToUtf8(Filtered);
    EXPECT_EQ(std::count(Filtered.begin(), Filtered.end(), L'\n'), 4);
}

TEST_F(MarkdownService, UnloadingThePackageLeavesNoneOfItsItemsInTheService) {
    List().SetShowChecked(true);
    ASSERT_EQ(MarkdownRows(), 3);
    Package.reset();
    // Counted without touching the items: one left behind would call into the unloaded
    // library as soon as it is asked anything.
    EXPECT_EQ(List().GetTotalCount(), 3);
    EXPECT_EQ(List().GetItemCount(), 3);
    EXPECT_EQ(MarkdownRows(), 0);
    // Collations and passes go on without the manager; its kind stays a known origin.
    Write("NOTES.md", "- [ ] after the unload\n");
    NotifyModuleModified(NormalizeFileName(Dir.File("NOTES.md")));
    List().UpdateList();
    Write("Work.pas", "unit Work;\n{ TODO : Fig in work }\n{ TODO : Lime in work }\nend.\n");
    NotifyModuleModified(NormalizeFileName(Dir.File("Work.pas")));
    WaitForPass();
    EXPECT_EQ(List().GetTotalCount(), 4);
    EXPECT_EQ(MarkdownRows(), 0);
    EXPECT_TRUE(Origins().contains({MarkdownKey, true}));
}

} // namespace
