// The to-do list service under concurrent use, meant for ThreadSanitizer: a real parse thread
// parses and collates while the main thread changes the list and a reader thread reads it.
#include "list_fixture.h"

#include "host/errors.h"
#include "host/parse_thread.h"
#include "host/utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <random>
#include <set>
#include <thread>
#include <tuple>

namespace {

/// Only keeps a broken build from hanging; never a speed requirement.
constexpr std::chrono::seconds Patience{30};

/// The keys of the category, owner and origin filters; files have origin Keys[2][0].
const std::string Keys[3][3] = {{"UI", "Core", "IO"},
                                {"Ann", "\xC3\x89lise", "Ben"},
                                {ToDoStrings::_ikInProject, "Linter", "Review"}};
TToDoFilterList& FilterList(TToDoList& List, int Filter) {
    return Filter == 0   ? List.CategoryFilter()
           : Filter == 1 ? List.OwnerFilter()
                         : List.OriginFilter();
}

/// What the item with Text says ("file ..." for a file's, "plugin ..." for another manager's).
TPluginFields Fields(const std::string& Text) {
    const size_t H = std::hash<std::string>{}(Text);
    const std::string& Kind = Keys[2][Text[0] == 'f' ? 0 : 1 + H / 9 % 2];
    return {Text, Keys[1][H % 3], Keys[0][H / 3 % 3], Kind, int(H / 18 % 6), H / 108 % 4 == 0};
}

/// Replaces Texts by Count new texts of a file and returns a Pascal unit holding them.
std::string MakeUnit(int Serial, unsigned Count, std::vector<std::string>& Texts) {
    std::string Unit = "unit u;\n";
    Texts.clear();
    for (unsigned I = 0; I < Count; ++I) {
        const TPluginFields F = Fields(
            Texts.emplace_back("file " + std::to_string(Serial) + " item " + std::to_string(I)));
        Unit += (F.Checked ? "{ DONE " : "{ TODO ") + std::to_string(F.Priority) + " -o" + F.Owner +
                " -c" + F.Category + " : " + F.Text + "}\nX := 1; // not a to-do\n";
    }
    return Unit + "end.\n";
}

/// Checks the counters where they must agree: right after a collation, under its ManagerLock.
struct TCheckingNotifier : IOTANotifier {
    TToDoList* List; // not owned
    std::atomic<int> Calls{0}, Mismatches{0};
    explicit TCheckingNotifier(TToDoList* L) : List(L) {}
    void Modified() override {
        ++Calls;
        Mismatches += List->GetTotalCount() != List->GetItemCount() + List->GetHiddenCount();
    }
};

/// A running parse thread, installed as the host's one before the service starts, and the
/// service's own client of it (the fixture's service is not the program's one).
struct TThreadedList : IParseThreadParser {
    struct TInstalledThread : TParseThread {
        TInstalledThread() { SetParseThread(this); }
        ~TInstalledThread() override { SetParseThread(nullptr); } // before the thread goes
    } Thread;
    TListFixture F;
    std::vector<std::string> Errors; // written on the parse thread, read once it stopped
    TThreadedList() {
        Thread.SetErrorHandler([this](const std::string& Message) { Errors.push_back(Message); });
        Thread.Add(std::shared_ptr<IParseThreadParser>(this, [](IParseThreadParser*) {}));
    }
    ~TThreadedList() override { Thread.Stop(); } // before the service goes
    void ParseThreadParse() override { F.List->Parse(); }
};

/// The listed texts in order and the total, hidden and pending counters.
auto State(TToDoList& List) {
    std::scoped_lock Lock(List.ItemsLock());
    std::vector<std::string> Texts;
    for (int I = 0; I < List.GetItemCount(); ++I)
        Texts.push_back(List.GetItem(I)->GetText());
    return std::tuple(Texts, List.GetTotalCount(), List.GetHiddenCount(), List.GetPendingCount());
}

TEST(ToDoListStressTest, ConcurrentChangesSettleToTheExpectedList) {
    TThreadedList T;
    TToDoList& List = *T.F.List;
    auto Random = [Rng = std::mt19937(20240611)](size_t N) mutable { return unsigned(Rng() % N); };
    int Serial = 0; // of the next file or batch of texts; keeps every text unique
    std::map<std::string, std::pair<TRef<IToDoManager>, std::vector<std::string>>> Files;
    std::vector<TRef<TPluginManager>> Plugins;
    std::set<std::pair<int, std::string>> Hidden; // filter index and key
    bool ShowChecked = false;
    auto SetFilter = [&](int Filter, const std::string& Key, bool Hide) {
        std::unique_lock Lock(List.ItemsLock());
        // A shown key holds what the filter dialog stores: 1 for an origin, a count else.
        FilterList(List, Filter).Add(Utf8ToWide(Key), Hide ? -1 : int(Filter == 2));
        Hide ? (void)Hidden.insert({Filter, Key}) : (void)Hidden.erase({Filter, Key});
        Lock.unlock();
        List.UpdateList();
    };
    std::vector<TRef<TCheckingNotifier>> Notifiers{std::make_shared<TCheckingNotifier>(&List)};
    List.AddNotifier(Notifiers[0]); // stays; the later ones come and go through Slots
    std::vector<int> Slots;
    std::atomic<bool> Done{false};
    std::atomic<int> Bad{0};
    std::thread Reader([&] { // reads the list as the window does
        for (int Pass = 0; !Done.load(); ++Pass, std::this_thread::yield()) {
            const bool Locked = Pass % 4 == 0; // then the list must hold still
            auto Lock = Locked ? std::unique_lock(List.ItemsLock())
                               : std::unique_lock<std::recursive_mutex>();
            const int Count = List.GetItemCount();
            try {
                for (int I = 0; I < Count; ++I) {
                    const auto Item = List.GetItem(I);
                    const TPluginFields F = Fields(Item->GetText());
                    Bad += F.Priority != Item->GetPriority() || F.Owner != Item->GetOwner();
                    (void)Item->GetCategory(), (void)Item->GetChecked(), (void)Item->GetKind();
                    (void)Item->GetModuleName(), (void)Item->IsValid();
                }
            } catch (const EListError&) {
                Bad += Locked; // without ItemsLock a collation may shrink the list meanwhile
            }
            Bad += (Locked && List.GetItemCount() != Count) + List.GetTextOfItems().empty();
        }
    });
    for (int Step = 0; Step < 2000; ++Step) {
        const unsigned Op = Random(9);
        if (Files.size() < 12 || (Op == 0 && Files.size() < 40)) {
            const std::string Name = "/virtual/stress_" + std::to_string(Serial) + ".pas";
            auto& [Manager, Texts] = Files[Name];
            T.F.Creator->SetText(Name, MakeUnit(Serial++, Random(9), Texts));
            Manager = List.CreateManager(Name, true); // wakes the parse thread
        } else if (Op == 1) {
            auto It = std::next(Files.begin(), Random(Files.size()));
            List.DeleteManager(It->second.first);
            Files.erase(It);
        } else if (Op <= 3) { // saved unchanged or edited, then the editor's change report
            auto& [Manager, Texts] = std::next(Files.begin(), Random(Files.size()))->second;
            if (Random(2))
                Manager->SetUpdater(std::make_shared<TFakeUpdater>(
                    MakeUnit(Serial++, Random(9), Texts), TLanguage::Pascal));
            Manager->SetIsParsed(false);
        } else if (Op <= 5) {
            const int Filter = int(Random(3)), Key = int(Random(3));
            // Hiding the files' origin empties most of the list; keep that rarer.
            SetFilter(Filter, Keys[Filter][Key], Random(Filter == 2 && Key == 0 ? 4 : 2) == 0);
        } else if (Op == 6) {
            List.SetShowChecked(ShowChecked = !ShowChecked);
            List.SetSortOrder(TToDoSortOrder(Random(SortOrderCount)));
        } else if (Op == 7 && Plugins.size() < 4 + Random(5)) {
            auto P = Plugins.emplace_back(std::make_shared<TPluginManager>());
            const std::string Name = "plugin " + std::to_string(Serial++) + " item ";
            for (unsigned I = 0, N = 1 + Random(4); I < N; ++I)
                P->Items.push_back(std::make_shared<TPluginItem>(Fields(Name + std::to_string(I))));
            EXPECT_EQ(List.AddManager(P), int(Plugins.size()) - 1);
        } else if (Op == 7) {
            const unsigned Index = Random(Plugins.size());
            List.RemoveManager(int(Index));
            Plugins.erase(Plugins.begin() + Index);
        } else if (Op == 8 && (Slots.empty() || Random(2))) {
            Slots.push_back(List.AddNotifier(
                Notifiers.emplace_back(std::make_shared<TCheckingNotifier>(&List))));
        } else if (Op == 8) {
            const unsigned I = Random(Slots.size());
            List.RemoveNotifier(Slots[I]);
            Slots.erase(Slots.begin() + I);
        }
        if (Step % 100 == 0)
            (void)T.F.Display.Window.TakeMessages(); // the window keeps up with its queue
    }

    // Settle: no more changes, one more pass over whatever is still out of date.
    Done = true;
    Reader.join();
    T.Thread.Modified();
    ASSERT_TRUE(T.Thread.WaitIdle(Patience));
    EXPECT_EQ(Bad.load(), 0) << "an item read back wrong, or the list moved under ItemsLock";
    EXPECT_GT(Notifiers[0]->Calls.load(), 0);
    for (const auto& N : Notifiers)
        EXPECT_EQ(N->Mismatches.load(), 0) << "counters disagreed right after a collation";
    EXPECT_EQ(T.Errors, std::vector<std::string>{});
    EXPECT_FALSE(List.ManagerLock().GetLocked());
    for (const auto& [Name, File] : Files)
        EXPECT_TRUE(File.first->GetIsParsed()) << Name;
    ASSERT_EQ(List.Managers().size(), Files.size());

    // Settled: a fresh collation changes nothing, and the list is what texts and filters call for.
    for (const char* When : {"with the final filters", "with nothing hidden"}) {
        SCOPED_TRACE(When);
        const auto Settled = State(List);
        List.UpdateList();
        EXPECT_EQ(State(List), Settled);
        const auto& [Texts, Total, HiddenCount, Pending] = Settled;
        std::multiset<std::string> Expected;
        int ExpectedTotal = 0, ExpectedPending = 0;
        auto Expect = [&](const std::string& Text) {
            const TPluginFields F = Fields(Text);
            ++ExpectedTotal, ExpectedPending += !F.Checked;
            if ((!F.Checked || ShowChecked) && !Hidden.count({0, F.Category}) &&
                !Hidden.count({1, F.Owner}) && !Hidden.count({2, F.Kind}))
                Expected.insert(Text);
        };
        for (const auto& [Name, File] : Files)
            std::for_each(File.second.begin(), File.second.end(), Expect);
        for (const auto& P : Plugins)
            for (const auto& Item : P->Items)
                Expect(Item->GetText());
        EXPECT_EQ(std::multiset<std::string>(Texts.begin(), Texts.end()), Expected);
        EXPECT_EQ(std::tuple(Total, HiddenCount, Pending),
                  std::tuple(ExpectedTotal, ExpectedTotal - int(Expected.size()), ExpectedPending));

        for (int Filter = 0; Filter < 3; ++Filter)
            for (int Key = 0; Key < 3; ++Key)
                SetFilter(Filter, Keys[Filter][Key], false);
        List.SetShowChecked(ShowChecked = true);
    }
}

/// Holds the parse thread inside its file's parse, later managers pending, until shut-down begins.
struct TGateUpdater : TFakeUpdater {
    using TFakeUpdater::TFakeUpdater;
    std::promise<void> Entered;
    void ParseItems(const TParseItemsProc& P) override {
        TFakeUpdater::ParseItems(P);
        Entered.set_value();
        for (auto End = std::chrono::steady_clock::now() + Patience;
             !ParseThread()->Terminated() && std::chrono::steady_clock::now() < End;)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
};

TEST(ToDoListStressTest, StopInTheMiddleOfAPassLeavesTheRestPending) {
    TThreadedList T;
    auto Gate = std::make_shared<TGateUpdater>("{ TODO : gate }", TLanguage::Pascal);
    auto Entered = Gate->Entered.get_future(); // before the parse thread can set it
    const auto GateFile = T.F.AddFile("/virtual/gate.pas", "");
    GateFile->SetUpdater(Gate);
    std::vector<TRef<IToDoManager>> Later;
    for (int I = 0; I < 20; ++I)
        Later.push_back(T.F.AddFile("/virtual/l" + std::to_string(I) + ".pas", "{ TODO : later }"));
    T.Thread.Modified();
    ASSERT_EQ(Entered.wait_for(Patience), std::future_status::ready);
    T.Thread.Stop(); // returns once the gate sees the shut-down

    EXPECT_TRUE(GateFile->GetIsParsed());
    for (const auto& M : Later)
        EXPECT_FALSE(M->GetIsParsed()) << "a stopped pass went on to the next manager";
    EXPECT_EQ(T.F.List->GetItemCount(), 0) << "a stopped pass does not collate";
    EXPECT_FALSE(T.F.List->ManagerLock().GetLocked());
    EXPECT_TRUE(T.Thread.WaitIdle(Patience));
    EXPECT_EQ(T.Errors, std::vector<std::string>{});
}

} // namespace
