#include "list_fixture.h"

#include "host/clipboard.h"
#include "host/errors.h"
#include "host/module.h"
#include "host/utf8.h"
#include "list/filter_keys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

namespace {

std::vector<std::string> Texts(TToDoList& List) {
    std::vector<std::string> Out;
    for (int I = 0; I < List.GetItemCount(); ++I) {
        std::string T = List.GetItem(I)->GetText(); // the text runs up to the closer
        while (!T.empty() && T.back() == ' ')
            T.pop_back();
        Out.push_back(T);
    }
    return Out;
}

/// Chooses Order the way the window's Sort menu does, ending in the wanted direction.
void SortBy(TToDoList& List, TToDoSortOrder Order, bool Descending) {
    if (List.GetSortOrder() != Order)
        List.SetSortOrder(Order);
    if (List.SortAscending() == Descending)
        List.SetSortOrder(Order);
}

/// Five items in two files; every sort key differs somewhere, and ties are broken by text.
struct TSortFixture : TListFixture {
    TSortFixture() {
        AddFile("/virtual/b.pas", "{ TODO 2 -oBen -cUI : beta }\n"
                                  "{ DONE 1 -oAnn -cCore : alpha }\n"
                                  "{ TODO -cUI : delta }\n");
        AddFile("/virtual/a.pas", "{ TODO 5 -oAnn : gamma }\n"
                                  "{ TODO 2 -oCid -cCore : epsilon }\n");
        List->SetShowChecked(true);
        Parse();
    }
};

TEST(ToDoListSortTest, EveryOrderInBothDirections) {
    struct TCase {
        TToDoSortOrder Order;
        bool Descending;
        std::vector<std::string> Expected;
        bool TextDescending = false; // the action-item direction, which breaks every tie
    } Cases[] = {
        {soActionItem, false, {"alpha", "beta", "delta", "epsilon", "gamma"}},
        {soActionItem, true, {"gamma", "epsilon", "delta", "beta", "alpha"}},
        // Pending first; equal states follow the action-item order.
        {soChecked, false, {"beta", "delta", "epsilon", "gamma", "alpha"}},
        {soChecked, true, {"alpha", "beta", "delta", "epsilon", "gamma"}},
        // All items are source items: the kind ties everywhere and the text decides.
        {soKind, false, {"alpha", "beta", "delta", "epsilon", "gamma"}},
        {soKind, true, {"alpha", "beta", "delta", "epsilon", "gamma"}},
        // No priority ranks after 5.
        {soPriority, false, {"alpha", "beta", "epsilon", "gamma", "delta"}},
        {soPriority, true, {"delta", "gamma", "beta", "epsilon", "alpha"}},
        {soPriority, false, {"alpha", "epsilon", "beta", "gamma", "delta"}, true},
        // Items of one file keep their file order in both directions.
        {soModule, false, {"gamma", "epsilon", "beta", "alpha", "delta"}},
        {soModule, true, {"beta", "alpha", "delta", "gamma", "epsilon"}},
        {soOwner, false, {"delta", "alpha", "gamma", "beta", "epsilon"}},
        {soOwner, true, {"epsilon", "beta", "alpha", "gamma", "delta"}},
        {soCategory, false, {"gamma", "alpha", "epsilon", "beta", "delta"}},
        {soCategory, true, {"beta", "delta", "alpha", "epsilon", "gamma"}},
    };
    for (const TCase& C : Cases) {
        TSortFixture F;
        SortBy(*F.List, soActionItem, C.TextDescending);
        SortBy(*F.List, C.Order, C.Descending);
        EXPECT_EQ(Texts(*F.List), C.Expected)
            << "order " << int(C.Order) << " desc " << C.Descending;
        F.List->UpdateList(); // a collation sorts the same way
        EXPECT_EQ(Texts(*F.List), C.Expected) << "collated, order " << int(C.Order);
    }
}

TEST(ToDoListSortTest, DirectionsAreRememberedPerOrderAndIndexesChecked) {
    TSortFixture F;
    EXPECT_EQ(F.List->GetSortOrder(), soModule);
    F.List->SetSortOrder(soModule); // a fresh list given the module order sorts descending
    EXPECT_FALSE(F.List->SortAscending());
    F.List->SetSortOrder(soOwner);
    EXPECT_TRUE(F.List->SortAscending());
    F.List->SetSortOrder(soOwner);
    EXPECT_FALSE(F.List->SortAscending());
    F.List->SetSortOrder(soModule);
    EXPECT_FALSE(F.List->SortAscending()) << "module keeps its former direction";
    EXPECT_EQ(Texts(*F.List),
              (std::vector<std::string>{"beta", "alpha", "delta", "gamma", "epsilon"}));
    // Each sort tells the window the count.
    auto Messages = F.Display.Window.TakeMessages();
    ASSERT_FALSE(Messages.empty());
    EXPECT_EQ(Messages.back(), (TWindowMessage{IDEMUpdate, 0, 5}));
    for (int Index : {-1, 5, 105})
        EXPECT_THROW(F.List->GetItem(Index), EListError) << Index;
}

// The sort fetches every key once; it must give the order the comparison itself gives, ties
// and all, for any mix of values.
TEST(ToDoListSortTest, KeyedSortMatchesTheComparison) {
    TListFixture F;
    std::mt19937 Rng(11);
    const char* Words[] = {"a", "b", "B", "\xC3\xA4", ""};
    for (int File = 0; File < 6; ++File) {
        std::string Text;
        for (int I = 0; I < 25; ++I) {
            auto W = [&] { return std::string(Words[Rng() % 5]); };
            Text += std::string("{ ") + (Rng() % 3 ? "TODO" : "DONE") + " " +
                    std::to_string(Rng() % 6) + (Rng() % 2 ? " -o" + W() + "x" : "") +
                    (Rng() % 2 ? " -c" + W() + "y" : "") + " : " + W() + W() + " }\n";
        }
        F.AddFile("/virtual/f" + std::to_string(File % 4) + (File < 4 ? ".pas" : ".inc"), Text);
    }
    F.List->SetShowChecked(true);
    F.Parse();
    ASSERT_EQ(F.List->GetItemCount(), 150);
    for (int Step = 0; Step < 30; ++Step) {
        TSortableList<INTAToDoItem> Expected;
        for (int I = 0; I < F.List->GetItemCount(); ++I)
            Expected.Add(F.List->GetItem(I));
        auto Order = static_cast<TToDoSortOrder>(Rng() % SortOrderCount);
        F.List->SetSortOrder(Order);
        Expected.Sort([&](const auto& A, const auto& B) { return F.List->SortCompare(A, B); });
        for (int I = 0; I < Expected.Count(); ++I)
            ASSERT_EQ(Expected.Get(I), F.List->GetItem(I)) << "step " << Step << " at " << I;
    }
}

// --- Filters and counters -------------------------------------------------------------------

std::string Joined(const std::vector<std::string>& Texts) {
    std::string Out;
    for (const auto& T : Texts)
        Out += (Out.empty() ? "" : " ") + T;
    return Out;
}

// A hidden key stays hidden through the collation. Hiding an origin is checked with an open file
// (OriginsOfOpenFilesAndProjectFiles).
TEST(ToDoListFilterTest, FiltersHoldItemsBackAndCount) {
    using TFilter = TToDoFilterList& (TToDoList::*)();
    const struct {
        const char* Name;
        TFilter Filter;
        const wchar_t* Key;
        const char* Listed;
        int Hidden;
    } Cases[] = {
        {"completed held back", nullptr, nullptr, "gamma epsilon beta delta", 1},
        {"completed shown", nullptr, nullptr, "gamma epsilon beta alpha delta", 0},
        {"category", &TToDoList::CategoryFilter, L"UI", "gamma epsilon", 3},
        {"empty category", &TToDoList::CategoryFilter, L"", "epsilon beta delta", 2},
        {"owner", &TToDoList::OwnerFilter, L"Ann", "epsilon beta delta", 2},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TSortFixture F; // shows completed items; undo that but in the one case
        F.List->SetShowChecked(C.Name == Cases[1].Name);
        if (C.Filter) {
            std::scoped_lock Lock(F.List->ItemsLock());
            (F.List.get()->*C.Filter)().Add(C.Key, -1);
        }
        F.List->UpdateList();
        EXPECT_EQ(Joined(Texts(*F.List)), C.Listed);
        EXPECT_EQ(F.List->GetTotalCount(), 5);
        EXPECT_EQ(F.List->GetHiddenCount(), C.Hidden);
        EXPECT_EQ(F.List->GetPendingCount(), 4) << "pending counts hidden items too";
        if (C.Filter) {
            std::scoped_lock Lock(F.List->ItemsLock());
            EXPECT_EQ((F.List.get()->*C.Filter)().Find(C.Key)->Value, -1);
        }
    }
}

// An open file outside the project is listed through "Open source files" only.
TEST(ToDoListFilterTest, OriginsOfOpenFilesAndProjectFiles) {
    TListFixture F;
    std::string Open = F.Dir.Write("open.pas", "{ TODO : in an editor }\n");
    ASSERT_TRUE(CallDefaultOpenProc(Open, false));
    F.AddFile(Open, "{ TODO : in an editor }\n");
    F.AddFile("/virtual/p.pas", "{ TODO : in the project }\n");
    F.Parse();
    struct {
        std::vector<const wchar_t*> Hidden;
        std::vector<std::string> Listed;
    } Cases[] = {
        {{}, {"in an editor", "in the project"}},
        {{L"Open source files"}, {"in the project"}},
        {{L"Current project source files"}, {"in an editor"}},
        {{L"Open source files", L"Current project source files"}, {}},
    };
    for (const auto& C : Cases) {
        {
            F.List->ReadFilters(); // every origin shown again
            std::scoped_lock Lock(F.List->ItemsLock());
            for (const wchar_t* Key : C.Hidden)
                F.List->OriginFilter().Add(Key, -1);
        }
        F.List->UpdateList();
        auto Listed = Texts(*F.List);
        std::sort(Listed.begin(), Listed.end());
        EXPECT_EQ(Listed, C.Listed);
    }
    CloseEditorView(Open);
    CloseModule(Open);
}

// --- Managers of other packages, notifiers --------------------------------------------------

/// Counts its calls; given a list, refreshes it from Modified as some packages do.
struct TCountingNotifier : IOTANotifier {
    int Calls = 0;
    TToDoList* Refreshes = nullptr;
    void Modified() override {
        ++Calls;
        if (Refreshes)
            Refreshes->UpdateList();
    }
};

TEST(ToDoListServicesTest, OtherPackagesManagersAndNotifiers) {
    TListFixture F;
    auto P1 = std::make_shared<TPluginManager>();
    P1->Items.push_back(std::make_shared<TPluginItem>(TPluginFields{"lint one", "", "", "Linter"}));
    auto P2 = std::make_shared<TPluginManager>();
    P2->Items.push_back(
        std::make_shared<TPluginItem>(TPluginFields{"review two", "", "", "Review"}));
    auto N1 = std::make_shared<TCountingNotifier>(), N2 = std::make_shared<TCountingNotifier>();
    N2->Refreshes = F.List.get(); // hears of the outer collations only

    // The service is found the way another package finds it.
    auto Services = FindOTAService<IOTAToDoServices>();
    ASSERT_EQ(Services.get(), static_cast<IOTAToDoServices*>(F.List.get()));
    EXPECT_EQ(Services->AddNotifier(N1), 0);
    EXPECT_EQ(Services->AddNotifier(N2), 1);
    Services->RemoveNotifier(0);
    EXPECT_EQ(Services->AddManager(P1), 0);
    EXPECT_EQ(Services->AddManager(P2), 1);
    Services->UpdateList();
    EXPECT_EQ(Texts(*F.List), (std::vector<std::string>{"lint one", "review two"}));
    EXPECT_EQ(N1->Calls, 0);
    EXPECT_EQ(N2->Calls, 1) << "a removed notifier keeps the other's index";

    {
        std::scoped_lock Lock(F.List->ItemsLock());
        TFilterEntry* Linter = F.List->OriginFilter().Find(L"Linter");
        ASSERT_NE(Linter, nullptr) << "a new kind joins the origin filter";
        EXPECT_EQ(Linter->Value, 1);
        Linter->Value = -1;
    }
    Services->UpdateList();
    EXPECT_EQ(Texts(*F.List), std::vector<std::string>{"review two"});
    F.List->WriteFilters();
    EXPECT_EQ(AppIniFile().ReadString("ToDo List", "HiddenItems", "?"), "Linter");

    Services->RemoveManager(0); // P2 moves to index 0
    EXPECT_EQ(Texts(*F.List), std::vector<std::string>{"review two"});
    Services->RemoveManager(0);
    EXPECT_EQ(Services->GetItemCount(), 0);
    EXPECT_THROW(Services->RemoveManager(0), EListError);
    EXPECT_EQ(N2->Calls, 4);
}

// A package takes its manager back before it is unloaded, and its items' code goes with it: the
// service must hold none of them afterwards, whether or not the window shows the list then.
TEST(ToDoListServicesTest, RemovingAManagerLetsGoOfItsItems) {
    for (const bool Hidden : {false, true}) {
        SCOPED_TRACE(Hidden ? "window hidden" : "window shown");
        TListFixture F;
        F.AddFile("/virtual/a.pas", "{ TODO : own }\n");
        auto Kept = std::make_shared<TPluginManager>();
        Kept->Items.push_back(std::make_shared<TPluginItem>(TPluginFields{"kept", "", "", "Lint"}));
        auto Going = std::make_shared<TPluginManager>();
        Going->Items.push_back(
            std::make_shared<TPluginItem>(TPluginFields{"going", "", "", "Markdown"}));
        const std::weak_ptr<INTAToDoItem> GoingItem = Going->Items.front();
        const std::weak_ptr<TPluginManager> GoingManager = Going;
        F.List->AddManager(Kept);
        const int Index = F.List->AddManager(Going);
        F.Parse();
        ASSERT_EQ(F.List->GetItemCount(), 3);

        F.Display.Window.SetVisible(!Hidden);
        F.List->RemoveManager(Index);
        Going.reset(); // the package's own references go with its state
        EXPECT_TRUE(GoingManager.expired());
        EXPECT_TRUE(GoingItem.expired()) << "the list still holds an item of the removed manager";

        // Shown again, the list has everything else.
        F.Display.Window.SetVisible(true);
        EXPECT_EQ(F.List->GetParsePending(), Hidden);
        F.Parse();
        auto Listed = Texts(*F.List);
        std::sort(Listed.begin(), Listed.end());
        EXPECT_EQ(Listed, (std::vector<std::string>{"kept", "own"}));
    }
}

TEST(ToDoListServicesTest, CreatorRegistry) {
    TListFixture F;
    TMemoryCreator Extra;
    RegisterToDoManagerCreator(&Extra);
    RegisterToDoManagerCreator(&Extra);
    EXPECT_EQ(ToDoManagerCreators(), (std::vector<TToDoManagerCreator*>{F.Creator, &Extra}));
    TMemoryCreator Unknown;
    UnRegisterToDoManagerCreator(&Unknown);
    UnRegisterToDoManagerCreator(&Extra);
    EXPECT_EQ(ToDoManagerCreators(), std::vector<TToDoManagerCreator*>{F.Creator});
    EXPECT_EQ(F.List->CreateManager("/virtual/none.pas", true), nullptr);
    EXPECT_TRUE(F.List->Managers().empty());
    EXPECT_EQ(F.List->AddItem("no project manager without a creator for it").Ok(), true);
}

// --- Parsing and the window -----------------------------------------------------------------

TEST(ToDoListParseTest, HiddenWindowParsesNothing) {
    TSortFixture F; // parsed and collated while visible
    F.Display.Window.TakeMessages();
    F.Display.Window.SetVisible(false);
    auto Late = F.AddFile("/virtual/late.pas", "{ TODO : late }");
    F.Parse();
    EXPECT_EQ(F.List->GetItemCount(), 0);
    EXPECT_TRUE(F.List->GetParsePending());
    EXPECT_FALSE(Late->GetIsParsed());
    EXPECT_EQ(F.List->GetTotalCount(), 5) << "counters stay";
    EXPECT_EQ(F.Display.Window.TakeMessages(), (std::vector<TWindowMessage>{{IDEMUpdate, 0, 0}}));
    F.List->UpdateList();
    EXPECT_TRUE(F.Display.Window.TakeMessages().empty()) << "a hidden window hears nothing";
    F.Display.Window.SetVisible(true);
    F.Parse();
    EXPECT_FALSE(F.List->GetParsePending());
    EXPECT_EQ(F.List->GetItemCount(), 6) << "the skipped file is parsed once shown";
    EXPECT_EQ(F.Display.Window.TakeMessages(), (std::vector<TWindowMessage>{{IDEMUpdate, 0, 6}}));
}

/// A manager that drops itself from the list while the list walks the managers.
struct TSelfDeletingManager : TSourceToDoManager {
    using TSourceToDoManager::TSourceToDoManager;
    TToDoList* List = nullptr;
    void Parse() override {
        TSourceToDoManager::Parse();
        List->DeleteManager(shared_from_this());
    }
};

TEST(ToDoListParseTest, ManagerDeletedFromInsideAParse) {
    TListFixture F;
    F.AddFile("/virtual/a.pas", "{ TODO : stays }");
    auto Self = std::make_shared<TSelfDeletingManager>("/virtual/gone.pas", "");
    Self->List = F.List.get();
    Self->SetUpdater(std::make_shared<TFakeUpdater>("{ TODO : gone }", TLanguage::Pascal));
    struct TOne : TToDoManagerCreator {
        TRef<IToDoManager> M;
        bool CanHandleFile(const std::string& N) override { return N == "/virtual/gone.pas"; }
        TRef<IToDoManager> CreateManager(const std::string&) override { return M; }
    };
    auto* One = new TOne; // owned by the registry
    One->M = Self;
    RegisterToDoManagerCreator(One);
    ASSERT_EQ(F.List->CreateManager("/virtual/gone.pas", false), Self);
    F.Parse();
    EXPECT_EQ(Texts(*F.List), std::vector<std::string>{"stays"});
    EXPECT_EQ(F.List->Managers().size(), 1u);
    EXPECT_FALSE(F.List->ManagerLock().GetLocked());
}

TEST(ToDoListParseTest, DeleteManagerFromAnotherThreadWaitsForTheParse) {
    TListFixture F;
    auto A = F.AddFile("/virtual/a.pas", "{ TODO : a }");
    std::atomic<bool> Deleted{false};
    std::thread Other;
    {
        std::scoped_lock Hold(F.List->ManagerLock()); // as a parse in progress holds it
        Other = std::thread([&] {
            F.List->DeleteManager(A);
            Deleted = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_FALSE(Deleted) << "the call from another thread must wait for the lock";
        EXPECT_EQ(F.List->Managers().size(), 1u);
    }
    Other.join();
    EXPECT_TRUE(Deleted);
    EXPECT_TRUE(F.List->Managers().empty());
}

// --- Settings -------------------------------------------------------------------------------

TEST(FilterKeysTest, StoredFormsAndRoundTrips) {
    struct {
        std::vector<std::wstring> Keys;
        std::string Stored;
    } Cases[] = {
        {{}, ""},
        {{L"UI"}, "UI"},
        {{L"UI", L"Docs"}, "UI,Docs"},
        {{L"a,b", L"c"}, "a\\,b,c"},
        {{L"C:\\temp"}, "C:\\\\temp"},
        {{L""}, "\\e"},
        {{L"", L"UI"}, ",UI"},
        {{L"\u00dcber", L"\u65e5\u672c"},
         "\xC3\x9C"
         "ber,\xE6\x97\xA5\xE6\x9C\xAC"},
        {{L" blank "}, " blank "},
    };
    for (const auto& C : Cases) {
        EXPECT_EQ(JoinFilterKeys(C.Keys), C.Stored);
        EXPECT_EQ(SplitFilterKeys(C.Stored), C.Keys) << C.Stored;
    }
    // Hand-written values read as well as they can.
    EXPECT_EQ(SplitFilterKeys("a,,b"), (std::vector<std::wstring>{L"a", L"", L"b"}));
    EXPECT_EQ(SplitFilterKeys("trailing\\"), std::vector<std::wstring>{L"trailing\\"});
}

TEST(ToDoListSettingsTest, HiddenKeysSurviveARestart) {
    const std::vector<std::wstring> Categories = {L"UI", L"a,b", L"back\\slash", L"\u00e9t\u00e9",
                                                  L""};
    TTempDir Keep; // the settings file as the first process left it
    {
        TSortFixture F;
        F.List->WriteFilters(); // nothing hidden: every value is written, empty
        for (const char* Key : {"HiddenCategories", "HiddenOwners", "HiddenItems"})
            EXPECT_EQ(AppIniFile().ReadString("ToDo List", Key, "?"), "") << Key;
        {
            std::scoped_lock Lock(F.List->ItemsLock());
            for (const auto& K : Categories)
                F.List->CategoryFilter().Add(K, -1);
            F.List->OwnerFilter().Add(L"Ann", -1);
        }
        F.List->WriteFilters();
        EXPECT_EQ(AppIniFile().ReadString("ToDo List", "HiddenItems", "?"), "");
        ASSERT_TRUE(AppIniFile().UpdateFile());
        std::filesystem::copy_file(F.Settings, Keep.File("kept.ini"));
    }
    TListFixture F;
    SetAppIniFileName(Keep.File("kept.ini")); // a new process reads the saved file
    F.List->ReadFilters();
    std::scoped_lock Lock(F.List->ItemsLock());
    for (const auto& K : Categories) {
        const TFilterEntry* E = F.List->CategoryFilter().Find(K);
        ASSERT_NE(E, nullptr) << WideToUtf8(K);
        EXPECT_EQ(E->Value, -1);
    }
    EXPECT_EQ(F.List->OwnerFilter().Find(L"Ann")->Value, -1);
    EXPECT_EQ(F.List->OriginFilter().Find(L"Open source files")->Value, 1);
}

// --- Copy as text ---------------------------------------------------------------------------

std::wstring ReadExpected(const std::string& Name) {
    std::ifstream In(std::string(TODO_TEST_DATA_DIR) + "/list/" + Name, std::ios::binary);
    std::stringstream S;
    S << In.rdbuf();
    return Utf8ToWide(S.str());
}

TEST(ToDoListCopyTest, TextOfTheListedItems) {
    {
        TListFixture F;
        EXPECT_EQ(F.List->GetTextOfItems(), ReadExpected("copy_empty.txt"));
    }
    TListFixture F;
    F.AddFile("/virtual/main.pas", "{ TODO 2 -oAnn -cUI : Fix the\r\n  splitter\tnow }\n"
                                   "{ TODO -oBen : no priority }\n"
                                   "{ DONE 1 : held back while completed items are hidden }\n"
                                   "{ TODO 3 -cHidden : held back by its category }\n");
    F.AddFile("/virtual/caf\xC3\xA9.c", "/* TODO 1 -o\xC3\x89lise -cCore : \xC3\xA9t\xC3\xA9 */");
    {
        std::scoped_lock Lock(F.List->ItemsLock());
        F.List->CategoryFilter().Add(L"Hidden", -1);
    }
    F.Parse();
    F.List->CopyTextToClipboard();
    EXPECT_EQ(Clipboard().AsWideText(), ReadExpected("copy.txt"));
}

} // namespace
