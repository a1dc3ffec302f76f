// The to-do list service under concurrent use: a real parse thread parses and collates while the
// main thread and a reader thread change managers, filters, the sort order and the completed-items
// setting and read the list. Meant to run under ThreadSanitizer; the checks at the end compare the
// settled list with what the texts that were put in say it must hold.
#include "list_fixture.h"

#include "host/errors.h"
#include "host/parse_thread.h"
#include "host/utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

/// Only keeps a broken build from hanging; never a speed requirement.
constexpr auto Patience = 30s;

const std::vector<std::string> Owners = {"Ann", "Ben", "\xC3\x89lise", ""};
const std::vector<std::string> Categories = {"UI", "Core", "IO", ""};
const std::vector<std::string> PluginKinds = {"Linter", "Review"};
const std::vector<std::string> Origins = {ToDoStrings::_ikInProject, ToDoStrings::_ikHasView,
                                          ToDoStrings::_ikProjectItem, "Linter", "Review"};

/// What one to-do comment says, as the test wrote it.
struct TSpec {
    std::string Text, Owner, Category;
    int Priority = 0;
    bool Checked = false;
    std::string Origin; // the origin filter key that decides whether it is listed
};

std::string TrimRight(std::string S) {
    while (!S.empty() && S.back() == ' ')
        S.pop_back();
    return S;
}

/// Another package's manager that also remembers what its items say.
struct TSpecPlugin : TPluginManager {
    std::vector<TSpec> Specs;
};

/// Checks the counters where they must agree: a notifier runs right after a collation, with the
/// caller's ManagerLock held, so no other collation can change them meanwhile.
struct TCheckingNotifier : IOTANotifier {
    TToDoList* List; // not owned
    std::atomic<int> Calls{0};
    std::atomic<int> Mismatches{0};
    explicit TCheckingNotifier(TToDoList* L) : List(L) {}
    void Modified() override {
        ++Calls;
        if (List->GetTotalCount() != List->GetItemCount() + List->GetHiddenCount())
            ++Mismatches;
    }
};

/// The list's own client of the parse thread (the fixture's service is not the program's
/// global one, which the unit's client parses).
struct TListParser : IParseThreadParser {
    TToDoList* List; // not owned; removed from the thread before the list goes
    explicit TListParser(TToDoList* L) : List(L) {}
    void ParseThreadParse() override { List->Parse(); }
};

/// A running parse thread installed as the host's one, with a service over in-memory files
/// whose parse the thread runs. The thread is installed before the service starts.
struct TThreadedList {
    TParseThread Thread;
    struct TInstall {
        explicit TInstall(IParseThread* T) { SetParseThread(T); }
        ~TInstall() { SetParseThread(nullptr); }
    } Install{&Thread};
    TListFixture F;
    std::vector<std::string> Errors; // written on the parse thread, read once it stopped

    TThreadedList() {
        Thread.SetErrorHandler([this](const std::string& Message) { Errors.push_back(Message); });
        Thread.Add(std::make_shared<TListParser>(F.List.get()));
    }
    ~TThreadedList() { Thread.Stop(); } // before the service goes
};

/// Reads the list as the window does, tolerating a collation that shrinks it meanwhile.
/// Returns the number of items that did not read back sensibly.
int ReadItems(TToDoList& List) {
    int Bad = 0;
    const int Count = List.GetItemCount();
    for (int I = 0; I < Count; ++I) {
        TRef<INTAToDoItem> Item;
        try {
            Item = List.GetItem(I);
        } catch (const EListError&) {
            break; // a collation emptied the list under us
        }
        const std::string Text = Item->GetText();
        const int Priority = Item->GetPriority();
        if (Text.rfind("file ", 0) != 0 && Text.rfind("plugin ", 0) != 0)
            ++Bad;
        if (Priority < 0 || Priority > 5)
            ++Bad;
        (void)Item->GetOwner();
        (void)Item->GetCategory();
        (void)Item->GetChecked();
        (void)Item->GetModuleName();
        (void)Item->GetKind();
        (void)Item->GetData();
        (void)Item->IsValid();
    }
    return Bad;
}

/// Under ItemsLock the list holds still: every index below the count reads. Returns the number
/// of reads that failed.
int ReadItemsLocked(TToDoList& List) {
    std::scoped_lock Lock(List.ItemsLock());
    const int Count = List.GetItemCount();
    int Failed = 0;
    for (int I = 0; I < Count; ++I) {
        try {
            (void)List.GetItem(I)->GetText();
        } catch (const EListError&) {
            ++Failed;
        }
    }
    return Failed + (List.GetItemCount() != Count ? 1 : 0);
}

/// The files, other packages' managers and filters the test has put in, and the list they imply.
class TModel {
public:
    struct TFile {
        int Serial = 0;
        TRef<IToDoManager> Manager;
        std::vector<TSpec> Specs;
    };
    struct TFilter {
        TToDoFilterList& (TToDoList::*List)();
        const std::vector<std::string>* Keys;
        int ShownValue; // what the filter dialog stores for a shown key
        std::set<std::string> Hidden;
    };

    std::map<std::string, TFile> Files;
    std::vector<TRef<TSpecPlugin>> Plugins; // in the service's OTAManagers order
    TFilter Filters[3] = {{&TToDoList::CategoryFilter, &Categories, 0, {}},
                          {&TToDoList::OwnerFilter, &Owners, 0, {}},
                          {&TToDoList::OriginFilter, &Origins, 1, {}}};
    bool ShowChecked = false;

    explicit TModel(unsigned Seed) : FRng(Seed) {}

    unsigned Random(unsigned N) { return static_cast<unsigned>(FRng() % N); }

    /// A Pascal unit with a few to-do comments among code; every item text is unique.
    std::string MakeUnit(int Serial, int Generation, std::vector<TSpec>& Specs) {
        std::string Text = "unit u" + std::to_string(Serial) + ";\ninterface\nimplementation\n";
        const unsigned Count = Random(9);
        for (unsigned I = 0; I < Count; ++I) {
            TSpec S = RandomSpec("file " + std::to_string(Serial) + " gen " +
                                 std::to_string(Generation) + " item " + std::to_string(I));
            S.Origin = ToDoStrings::_ikInProject;
            Text += "procedure P" + std::to_string(I) + ";\nbegin\n  { " +
                    (S.Checked ? std::string("DONE") : std::string("TODO"));
            if (S.Priority)
                Text += " " + std::to_string(S.Priority);
            if (!S.Owner.empty())
                Text += " -o" + S.Owner;
            if (!S.Category.empty())
                Text += " -c" + S.Category;
            Text += " : " + S.Text + " }\n  Count := Count + 1; // not a to-do\nend;\n";
            Specs.push_back(std::move(S));
        }
        return Text + "end.\n";
    }

    TRef<TSpecPlugin> MakePlugin(int Serial) {
        auto P = std::make_shared<TSpecPlugin>();
        for (unsigned I = 0, N = 1 + Random(4); I < N; ++I) {
            TSpec S = RandomSpec("plugin " + std::to_string(Serial) + " item " + std::to_string(I));
            S.Origin = PluginKinds[Random(2)];
            P->Items.push_back(std::make_shared<TPluginItem>(
                TPluginFields{S.Text, S.Owner, S.Category, S.Origin, S.Priority, S.Checked}));
            P->Specs.push_back(std::move(S));
        }
        return P;
    }

    std::vector<const TSpec*> AllSpecs() const {
        std::vector<const TSpec*> All;
        for (const auto& [Name, File] : Files)
            for (const TSpec& S : File.Specs)
                All.push_back(&S);
        for (const auto& P : Plugins)
            for (const TSpec& S : P->Specs)
                All.push_back(&S);
        return All;
    }

    bool Listed(const TSpec& S) const {
        return (!S.Checked || ShowChecked) && !Filters[0].Hidden.count(S.Category) &&
               !Filters[1].Hidden.count(S.Owner) && !Filters[2].Hidden.count(S.Origin);
    }

private:
    TSpec RandomSpec(std::string Text) {
        TSpec S;
        S.Text = std::move(Text);
        S.Owner = Owners[Random(unsigned(Owners.size()))];
        S.Category = Categories[Random(unsigned(Categories.size()))];
        S.Priority = int(Random(6));
        S.Checked = Random(4) == 0;
        return S;
    }

    std::mt19937 FRng;
};

std::vector<TRef<INTAToDoItem>> Snapshot(TToDoList& List) {
    std::scoped_lock Lock(List.ItemsLock());
    std::vector<TRef<INTAToDoItem>> Items;
    for (int I = 0; I < List.GetItemCount(); ++I)
        Items.push_back(List.GetItem(I));
    return Items;
}

/// Checks a list that no thread changes any more: its counters agree, a fresh collation finds
/// the same list in the same order, and it holds exactly the items the model's texts and filters
/// call for, counted per category and owner.
void ExpectSettledList(TToDoList& List, const TModel& Model, const char* When) {
    SCOPED_TRACE(When);
    const int Total = List.GetTotalCount(), Hidden = List.GetHiddenCount();
    const int Pending = List.GetPendingCount();
    const auto Settled = Snapshot(List);
    EXPECT_EQ(Total, int(Settled.size()) + Hidden);

    // A fresh collation of the settled managers finds the same list in the same order.
    List.UpdateList();
    EXPECT_EQ(List.GetTotalCount(), Total);
    EXPECT_EQ(List.GetHiddenCount(), Hidden);
    EXPECT_EQ(List.GetPendingCount(), Pending);
    EXPECT_EQ(Snapshot(List), Settled);

    // And it is the list the texts and the final filters call for.
    int ExpectedTotal = 0, ExpectedPending = 0;
    std::vector<std::string> Expected, Listed;
    std::map<std::string, int> CategoryCounts, OwnerCounts;
    for (const TSpec* S : Model.AllSpecs()) {
        ++ExpectedTotal;
        ExpectedPending += S->Checked ? 0 : 1;
        if (Model.Listed(*S)) {
            Expected.push_back(S->Text);
            ++CategoryCounts[S->Category];
            ++OwnerCounts[S->Owner];
        }
    }
    for (const auto& Item : Settled)
        Listed.push_back(TrimRight(Item->GetText()));
    std::sort(Expected.begin(), Expected.end());
    std::sort(Listed.begin(), Listed.end());
    EXPECT_EQ(Listed, Expected);
    EXPECT_EQ(Total, ExpectedTotal);
    EXPECT_EQ(Pending, ExpectedPending);
    EXPECT_EQ(Hidden, ExpectedTotal - int(Expected.size()));

    // Listed in the current order: no neighbour pair the comparison would swap.
    for (size_t I = 1; I < Settled.size(); ++I)
        EXPECT_LE(List.SortCompare(Settled[I - 1], Settled[I]), 0)
            << "order " << int(List.GetSortOrder()) << " at " << I;

    // The category and owner filters count the listed items that carry each key (every key
    // existed before the fresh collation, so none carries a first-sighting count).
    std::scoped_lock Lock(List.ItemsLock());
    const std::pair<int, std::map<std::string, int>*> Counted[] = {{0, &CategoryCounts},
                                                                   {1, &OwnerCounts}};
    for (const auto& [FilterIndex, Counts] : Counted) {
        const TModel::TFilter& Filter = Model.Filters[FilterIndex];
        for (const std::string& Key : *Filter.Keys) {
            const TFilterEntry* E = (List.*Filter.List)().Find(Utf8ToWide(Key));
            const int Value = E ? E->Value : 0;
            const int Want = Filter.Hidden.count(Key) ? -1 : (*Counts)[Key];
            EXPECT_EQ(Value, Want) << "filter " << FilterIndex << " key '" << Key << "'";
        }
    }
}

TEST(ToDoListStressTest, ConcurrentChangesSettleToTheExpectedList) {
    constexpr int Iterations = 2000;
    TThreadedList T;
    TToDoList& List = *T.F.List;
    TModel Model(20240611);
    int NextSerial = 0;

    auto AddFile = [&] {
        const int Serial = NextSerial++;
        const std::string Name = "/virtual/src/stress_" + std::to_string(Serial) + ".pas";
        TModel::TFile File;
        File.Serial = Serial;
        T.F.Creator->SetText(Name, Model.MakeUnit(Serial, 0, File.Specs));
        File.Manager = List.CreateManager(Name, true); // wakes the parse thread
        ASSERT_NE(File.Manager, nullptr);
        Model.Files.emplace(Name, std::move(File));
    };
    auto PickFile = [&] {
        auto It = Model.Files.begin();
        std::advance(It, Model.Random(unsigned(Model.Files.size())));
        return It;
    };
    for (int I = 0; I < 12; ++I)
        AddFile();

    auto Checker = std::make_shared<TCheckingNotifier>(&List);
    List.AddNotifier(Checker);
    std::vector<int> Notifiers; // slots of the counting notifiers added below
    std::vector<TRef<TCheckingNotifier>> Extra;

    // The second thread reads the list as the window does and sometimes re-sorts it.
    std::atomic<bool> Done{false};
    std::atomic<int> ReaderBad{0}, LockedFailures{0}, Passes{0};
    std::thread Reader([&] {
        std::mt19937 Rng(7);
        for (int Pass = 0; !Done.load(); ++Pass) {
            ReaderBad += ReadItems(List);
            if (Pass % 4 == 0)
                LockedFailures += ReadItemsLocked(List);
            if (Pass % 16 == 0)
                (void)List.GetTextOfItems();
            if (Pass % 32 == 0)
                List.SetSortOrder(static_cast<TToDoSortOrder>(Rng() % SortOrderCount));
            ++Passes;
            std::this_thread::yield();
        }
    });

    int MainBad = 0, MainLockedFailures = 0, PluginSerial = 0, Generation = 1;
    for (int Step = 0; Step < Iterations; ++Step) {
        const unsigned Op = Model.Random(100);
        if (Op < 8) {
            if (Model.Files.size() < 40)
                AddFile();
        } else if (Op < 15) {
            if (Model.Files.size() > 4) {
                auto It = PickFile();
                List.DeleteManager(It->second.Manager);
                Model.Files.erase(It);
            }
        } else if (Op < 30) {
            PickFile()->second.Manager->SetIsParsed(false);
        } else if (Op < 38) {
            // The file is edited: new text behind the manager, then the editor's change report.
            TModel::TFile& File = PickFile()->second;
            std::vector<TSpec> Specs;
            const std::string Text = Model.MakeUnit(File.Serial, Generation++, Specs);
            File.Manager->SetUpdater(std::make_shared<TFakeUpdater>(Text, TLanguage::Pascal));
            File.Specs = std::move(Specs);
            File.Manager->SetIsParsed(false);
        } else if (Op < 50) {
            auto& Filter = Model.Filters[Model.Random(3)];
            const std::string& Key = (*Filter.Keys)[Model.Random(unsigned(Filter.Keys->size()))];
            // Hiding the project origin empties most of the list; keep that rarer.
            const bool Hide = Model.Random(Key == ToDoStrings::_ikInProject ? 4 : 2) == 0;
            {
                std::scoped_lock Lock(List.ItemsLock());
                (List.*Filter.List)().Add(Utf8ToWide(Key), Hide ? -1 : Filter.ShownValue);
            }
            if (Hide)
                Filter.Hidden.insert(Key);
            else
                Filter.Hidden.erase(Key);
            List.UpdateList();
        } else if (Op < 60) {
            List.SetSortOrder(static_cast<TToDoSortOrder>(Model.Random(SortOrderCount)));
        } else if (Op < 65) {
            Model.ShowChecked = !Model.ShowChecked;
            List.SetShowChecked(Model.ShowChecked);
        } else if (Op < 74) {
            MainBad += ReadItems(List);
            MainLockedFailures += ReadItemsLocked(List);
        } else if (Op < 78) {
            (void)List.GetTextOfItems();
        } else if (Op < 86) {
            if (Model.Plugins.size() < 4 || (Model.Random(2) && Model.Plugins.size() < 8)) {
                auto P = Model.MakePlugin(PluginSerial++);
                EXPECT_EQ(List.AddManager(P), int(Model.Plugins.size()));
                Model.Plugins.push_back(P);
            } else {
                const unsigned Index = Model.Random(unsigned(Model.Plugins.size()));
                List.RemoveManager(int(Index));
                Model.Plugins.erase(Model.Plugins.begin() + Index);
            }
        } else if (Op < 92) {
            if (Notifiers.empty() || Model.Random(2)) {
                auto N = std::make_shared<TCheckingNotifier>(&List);
                Notifiers.push_back(List.AddNotifier(N));
                Extra.push_back(N);
            } else {
                const unsigned I = Model.Random(unsigned(Notifiers.size()));
                List.RemoveNotifier(Notifiers[I]);
                Notifiers.erase(Notifiers.begin() + I);
            }
        } else {
            List.UpdateList();
        }
        if (Step % 100 == 0)
            (void)T.F.Display.Window.TakeMessages(); // the window keeps up with its queue
    }

    // Settle: no more changes, one more pass over whatever is still out of date.
    Done = true;
    Reader.join();
    T.Thread.Modified();
    ASSERT_TRUE(T.Thread.WaitIdle(Patience));

    EXPECT_EQ(MainBad + ReaderBad.load(), 0) << "items read back with impossible fields";
    EXPECT_EQ(MainLockedFailures + LockedFailures.load(), 0)
        << "the list changed while ItemsLock was held";
    EXPECT_GT(Passes.load(), 0);
    EXPECT_GT(Checker->Calls.load(), 0);
    EXPECT_EQ(Checker->Mismatches.load(), 0) << "counters disagreed right after a collation";
    for (const auto& N : Extra)
        EXPECT_EQ(N->Mismatches.load(), 0);
    EXPECT_EQ(T.Errors, std::vector<std::string>{});
    EXPECT_FALSE(List.ManagerLock().GetLocked());
    for (const auto& [Name, File] : Model.Files)
        EXPECT_TRUE(File.Manager->GetIsParsed()) << Name;
    ASSERT_EQ(List.Managers().size(), Model.Files.size());

    ExpectSettledList(List, Model, "with the final filters");

    // Everything shown: every item the texts hold is listed.
    {
        std::scoped_lock Lock(List.ItemsLock());
        for (auto& Filter : Model.Filters) {
            for (const std::string& Key : Filter.Hidden)
                (List.*Filter.List)().Add(Utf8ToWide(Key), Filter.ShownValue);
            Filter.Hidden.clear();
        }
    }
    Model.ShowChecked = true;
    List.SetShowChecked(true);
    List.UpdateList();
    EXPECT_EQ(List.GetItemCount(), int(Model.AllSpecs().size()));
    ExpectSettledList(List, Model, "with nothing hidden");
}

/// A file's manager that holds the parse thread inside its Parse until shut-down begins, so the
/// test knows a pass is in progress with every later manager still pending.
struct TGateManager : TSourceToDoManager {
    using TSourceToDoManager::TSourceToDoManager;
    std::mutex Lock;
    std::condition_variable Cond;
    bool Entered = false; // guarded by Lock

    void Parse() override {
        TSourceToDoManager::Parse();
        {
            std::scoped_lock L(Lock);
            Entered = true;
        }
        Cond.notify_all();
        const auto Deadline = std::chrono::steady_clock::now() + Patience;
        while (!ParseThread()->Terminated() && std::chrono::steady_clock::now() < Deadline)
            std::this_thread::sleep_for(1ms);
    }
    bool WaitEntered() {
        std::unique_lock L(Lock);
        return Cond.wait_for(L, Patience, [&] { return Entered; });
    }
};

struct TGateCreator : TToDoManagerCreator {
    TRef<TGateManager> Gate;
    bool CanHandleFile(const std::string& Name) override { return Name == "/virtual/gate.pas"; }
    TRef<IToDoManager> CreateManager(const std::string&) override { return Gate; }
};

/// A big unit: Items to-do comments among lines of code.
std::string BigUnit(int Serial, int Items) {
    std::string Text;
    for (int I = 0; I < Items; ++I)
        Text += "  Total := Total + Values[" + std::to_string(I) +
                "]; // running sum\n  { TODO 2 -oAnn -cCore : big " + std::to_string(Serial) +
                " item " + std::to_string(I) + " }\n";
    return Text;
}

TEST(ToDoListStressTest, StopInTheMiddleOfAPassLeavesTheRestPending) {
    TThreadedList T;
    TToDoList& List = *T.F.List;
    T.F.AddFile("/virtual/first.pas", "{ TODO : first }\n{ TODO : second }\n");
    T.Thread.Modified();
    ASSERT_TRUE(T.Thread.WaitIdle(Patience));
    ASSERT_EQ(List.GetItemCount(), 2);

    auto* Creator = new TGateCreator; // owned by the creator registry
    Creator->Gate = std::make_shared<TGateManager>("/virtual/gate.pas", "");
    Creator->Gate->SetUpdater(std::make_shared<TFakeUpdater>("{ TODO : gate }", TLanguage::Pascal));
    RegisterToDoManagerCreator(Creator);
    ASSERT_EQ(List.CreateManager("/virtual/gate.pas", false), Creator->Gate);
    std::vector<TRef<IToDoManager>> Big;
    for (int I = 0; I < 200; ++I)
        Big.push_back(T.F.AddFile("/virtual/big_" + std::to_string(I) + ".pas", BigUnit(I, 200)));

    T.Thread.Modified();
    ASSERT_TRUE(Creator->Gate->WaitEntered());
    T.Thread.Stop(); // returns once the gate sees the shut-down; the test's timeout bounds it

    EXPECT_TRUE(Creator->Gate->GetIsParsed());
    for (const auto& M : Big)
        EXPECT_FALSE(M->GetIsParsed()) << "a stopped pass went on to the next manager";
    EXPECT_EQ(List.GetItemCount(), 2) << "a stopped pass does not collate";
    EXPECT_FALSE(List.ManagerLock().GetLocked());
    EXPECT_TRUE(T.Thread.WaitIdle(Patience));
    EXPECT_EQ(T.Errors, std::vector<std::string>{});
}

} // namespace
