// Collation and sorting of a big to-do list: 1,000 files of a project with 100 to-do comments
// each (every item listed), parsed once. BM_Collate is one collation (count, filter, list, then
// sort by the default module order), BM_CollateBy the same ending in another order, BM_SortBy a
// change of the sort column, BM_ParseAll a parse of every file followed by the collation.
// Comparisons go through the process locale, set from the environment, so the figures depend on
// LC_ALL / LC_COLLATE.
#include "list_fixture.h"

#include "bench_random.h"

#include <benchmark/benchmark.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kFiles = 1000;
constexpr int kItemsPerFile = 100;

// Owners and categories as a team writes them: a few frequent ones, some accented, some absent.
const char* const Owners[] = {"Ann",           "Ben",        "Cid",  "Dora", "\xC3\x89lise",
                              "J\xC3\xBCrgen", "Zo\xC3\xAB", "Mika", "ann",  "Omar",
                              "Priya",         "",           "",     ""};
const char* const Categories[] = {"UI",   "Core", "IO",       "Docs",     "Build", "Tests",
                                  "Perf", "i18n", "Refactor", "Security", "",      ""};

const char* const Verbs[] = {"Fix",      "Handle",   "Check",    "Remove", "Rename", "Cache",
                             "Document", "Split",    "Simplify", "Test",   "Move",   "Validate",
                             "Log",      "Speed up", "Support",  "Replace"};
const char* const Objects[] = {"the splitter position",
                               "an empty buffer",
                               "TParser.ReadToken",
                               "the recent-files list",
                               "Unicode file names",
                               "the status bar",
                               "the undo stack",
                               "tab stops",
                               "the import dialog",
                               "a missing updater",
                               "the HTML export",
                               "line endings",
                               "the config reader",
                               "stale handles",
                               "the grid columns",
                               "the \xC3\xBC"
                               "bersicht page"};
const char* const Tails[] = {"",
                             "",
                             " before the release",
                             " when the window is hidden",
                             " (see the crash report)",
                             " on slow disks",
                             " for big projects",
                             " after the rename",
                             " - twice as slow as it should be",
                             " once the new parser lands"};

/// Appends every part to Out (strings built by += rather than operator+ chains).
template <class... TPart> void Append(std::string& Out, const TPart&... Parts) {
    (Out += ... += Parts);
}

/// One unit with kItemsPerFile to-do comments in the comment forms people use, among code.
std::string MakeUnit(int Serial, TRandom& Random) {
    const std::string Number = std::to_string(Serial);
    std::string Text;
    Append(Text, "unit Module", Number, ";\n\ninterface\n\nimplementation\n");
    for (int I = 0; I < kItemsPerFile; ++I) {
        std::string Head = Random.Chance(15) ? "DONE" : Random.Chance(10) ? "todo" : "TODO";
        if (const uint32_t Priority = Random.Below(7); Priority > 0 && Priority <= 5)
            Append(Head, " ", std::to_string(Priority));
        if (const char* Owner = Random.Pick(Owners); *Owner)
            Append(Head, " -o", Owner);
        if (const char* Category = Random.Pick(Categories); *Category)
            Append(Head, " -c", Category);
        // Texts repeat across files now and then, as copied notes do.
        std::string Body;
        Append(Body, Random.Pick(Verbs), " ", Random.Pick(Objects), Random.Pick(Tails));
        if (Random.Chance(70))
            Append(Body, " #", std::to_string(Random.Below(5000)));
        const std::string Step = std::to_string(I);
        Append(Text, "\nprocedure TModule", Number, ".Step", Step, ";\nbegin\n");
        switch (Random.Below(3)) {
        case 0:
            Append(Text, "  { ", Head, " : ", Body, " }\n");
            break;
        case 1:
            Append(Text, "  // ", Head, ": ", Body, "\n");
            break;
        default:
            Append(Text, "  (* ", Head, " : ", Body, " *)\n");
            break;
        }
        Append(Text, "  FCount := FCount + ", Step, "; // keep the running total\nend;\n");
    }
    Append(Text, "\nend.\n");
    return Text;
}

/// The project, parsed once per process; every benchmark starts from it.
struct TBigList {
    TListFixture F;
    std::vector<TRef<IToDoManager>> Managers;

    TBigList() {
        TRandom Random(2024);
        // Managers come in the order files are opened or met in the project, not by name: a
        // list in name order would hand the module sort its best case.
        std::vector<int> Serials(kFiles);
        for (int I = 0; I < kFiles; ++I)
            Serials[size_t(I)] = I;
        for (size_t I = Serials.size() - 1; I > 0; --I)
            std::swap(Serials[I], Serials[Random.Below(uint32_t(I + 1))]);
        char Name[64];
        for (int Serial : Serials) {
            std::snprintf(Name, sizeof Name, "/virtual/src/module_%04d.pas", Serial);
            TRandom Text{uint32_t(Serial)}; // a file's text does not depend on its turn
            Managers.push_back(F.AddFile(Name, MakeUnit(Serial, Text)));
        }
        F.List->SetShowChecked(true); // every item listed, so every item is sorted
        F.Parse();
        F.Display.Window.TakeMessages();
    }
};

TBigList& BigList() {
    static TBigList List;
    return List;
}

/// Chooses Order ascending, as the window's Sort menu would, so each benchmark starts alike.
void SortAscending(TToDoList& List, TToDoSortOrder Order) {
    if (List.GetSortOrder() != Order)
        List.SetSortOrder(Order);
    if (!List.SortAscending())
        List.SetSortOrder(Order);
}

void ReportItems(benchmark::State& State, TToDoList& List) {
    State.counters["items"] = benchmark::Counter(List.GetItemCount());
    State.SetItemsProcessed(static_cast<int64_t>(State.iterations()) * List.GetItemCount());
}

/// One collation, which ends in a sort by Order (the window's default is the module order).
void BM_Collate(benchmark::State& State, TToDoSortOrder Order) {
    TBigList& B = BigList();
    TToDoList& List = *B.F.List;
    SortAscending(List, Order);
    for (auto _ : State) {
        List.UpdateList();
        B.F.Display.Window.TakeMessages();
    }
    ReportItems(State, List);
}

/// The user picks the Order column while the list is sorted by another: every iteration sorts a
/// list that is in the module order (in the action-item order when Order is the module), so the
/// input is as unordered by the new key as after a collation. Re-sorting by the other order is
/// not timed.
void BM_SortBy(benchmark::State& State, TToDoSortOrder Order) {
    TBigList& B = BigList();
    TToDoList& List = *B.F.List;
    const TToDoSortOrder Other = Order == soModule ? soActionItem : soModule;
    SortAscending(List, Order);
    for (auto _ : State) {
        State.PauseTiming();
        List.SetSortOrder(Other);
        State.ResumeTiming();
        List.SetSortOrder(Order); // a new order keeps its direction
        B.F.Display.Window.TakeMessages();
    }
    ReportItems(State, List);
}

/// Every manager out of date, as after opening the project: parse all 1,000 files, then collate.
void BM_ParseAll(benchmark::State& State) {
    TBigList& B = BigList();
    for (auto _ : State) {
        for (const auto& M : B.Managers)
            M->SetIsParsed(false);
        B.F.Parse(); // parses every manager, then collates
        B.F.Display.Window.TakeMessages();
    }
    ReportItems(State, *B.F.List);
}

void RegisterAll() {
    benchmark::RegisterBenchmark("BM_Collate", BM_Collate, soModule)->Unit(benchmark::kMillisecond);
    const struct {
        TToDoSortOrder Order;
        const char* Name;
    } Orders[] = {{soActionItem, "action_item"}, {soChecked, "checked"}, {soKind, "kind"},
                  {soPriority, "priority"},      {soModule, "module"},   {soOwner, "owner"},
                  {soCategory, "category"}};
    for (const auto& O : Orders)
        benchmark::RegisterBenchmark((std::string("BM_SortBy/") + O.Name).c_str(), BM_SortBy,
                                     O.Order)
            ->Unit(benchmark::kMillisecond);
    for (const auto& O : Orders)
        if (O.Order != soModule)
            benchmark::RegisterBenchmark((std::string("BM_CollateBy/") + O.Name).c_str(),
                                         BM_Collate, O.Order)
                ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_ParseAll", BM_ParseAll)->Unit(benchmark::kMillisecond);
}

} // namespace

int main(int argc, char** argv) {
    // Sorting compares through strcoll and wcscoll: measure under the user's locale.
    const char* Locale = std::setlocale(LC_ALL, "");
    benchmark::AddCustomContext("locale", Locale ? Locale : "(not set: C)");
    RegisterAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
