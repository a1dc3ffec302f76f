// The package's unit order, starting and stopping it, and that nested start-ups by two hosts
// leave the host's hooks as they found them.

#include "host/todo_intf.h"
#include "items/todo_mgr.h"
#include "list/todo_units.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace {

std::vector<std::string> Names(const std::vector<TToDoUnit>& Units) {
    std::vector<std::string> Out;
    for (const TToDoUnit& U : Units)
        Out.emplace_back(U.Name);
    return Out;
}

// Recording units: which routine ran, in order; unit X throws from both.
std::vector<std::string> Log;
template <char Unit, char Sign> void Record() {
    Log.push_back({Sign, Unit});
    if (Unit == 'X')
        throw std::runtime_error("cannot start or stop");
}
constexpr auto InitA = &Record<'A', '+'>, FinA = &Record<'A', '-'>;
constexpr auto InitB = &Record<'B', '+'>, FinB = &Record<'B', '-'>;
constexpr auto InitC = &Record<'C', '+'>, FinC = &Record<'C', '-'>;

TEST(ToDoUnitsTest, OrderWithAndWithoutWidgets) {
    const TToDoWidgetUnits Widgets{{InitA, FinA}, {InitB, FinB}, {InitC, FinC}};
    struct {
        const TToDoWidgetUnits* Widgets;
        std::vector<std::string> Expected;
    } Cases[] = {
        {nullptr,
         {"IDEToDoUtils", "IDEToDoTable", "IDEToDoUpdaters", "IDEToDoMgr", "IDEToDoList",
          "IDEToDoFilter"}},
        {&Widgets,
         {"IDEToDoUtils", "IDEToDoTable", "IDEToDoUpdaters", "IDEToDoAddDlg", "IDEToDoMgr",
          "IDEToDoList", "IDEToDoFilter", "IDEToDoForm", "IDEToDoCmd"}},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(Names(ToDoUnits(C.Widgets)), C.Expected) << (C.Widgets ? "widgets" : "core");

    // The widget units carry the routines they were given.
    const auto Units = ToDoUnits(&Widgets);
    EXPECT_EQ(Units[3].Initialize, InitA);
    EXPECT_EQ(Units[7].Finalize, FinB);
    EXPECT_EQ(Units[8].Initialize, InitC);
}

// Stopping runs the reverse of starting; a failing start undoes the units before it (not the
// failed one, and nothing after it starts); a failing stop still stops the others.
TEST(ToDoUnitsTest, StartAndStopOrderAndFailures) {
    const TToDoUnit A{"A", InitA, FinA}, B{"B", InitB, FinB}, C{"C", InitC, FinC};
    const struct {
        std::vector<TToDoUnit> Units;
        bool Start, Stop, Throws;
        std::vector<std::string> Expected;
    } Cases[] = {
        {{A, {"none", nullptr, nullptr}, B, C},
         true,
         true,
         false,
         {"+A", "+B", "+C", "-C", "-B", "-A"}},
        {{A, B, {"X", &Record<'X', '+'>, &Record<'X', '-'>}, C},
         true,
         false,
         true,
         {"+A", "+B", "+X", "-B", "-A"}},
        {{A, {"X", nullptr, &Record<'X', '-'>}, C}, false, true, true, {"-C", "-X", "-A"}},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(testing::PrintToString(Case.Expected));
        Log.clear();
        auto Run = [&] {
            if (Case.Start)
                StartUnits(Case.Units);
            if (Case.Stop)
                StopUnits(Case.Units);
        };
        if (Case.Throws)
            EXPECT_THROW(Run(), std::runtime_error);
        else
            Run();
        EXPECT_EQ(Log, Case.Expected);
    }
}

/// The hooks the core units fill, as set or not: C-file handler, creator registration, source
/// manager, project manager; and the number of registered creators.
using THooks = std::tuple<bool, bool, bool, bool, size_t>;
THooks Hooks() {
    return {RegisterCFileHandlerProc != nullptr && GetCFileHandlerProc != nullptr,
            RegisterToDoManagerCreatorProc != nullptr &&
                UnRegisterToDoManagerCreatorProc != nullptr,
            static_cast<bool>(CreateSourceToDoManagerProc),
            static_cast<bool>(CreateProjectToDoManagerProc), ToDoManagerCreators().size()};
}

TEST(ToDoUnitsTest, NestedStartsActOnceAndLeaveTheHooksAsTheyWere) {
    const THooks None{false, false, false, false, 0};
    const THooks Filled{true, true, true, true, 1}; // the project manager's creator
    ASSERT_EQ(Hooks(), None);

    const auto Units = ToDoUnits();
    StartUnits(Units);
    EXPECT_EQ(Hooks(), Filled);
    StartUnits(Units); // a second host: counted, so no second creator
    EXPECT_EQ(Hooks(), Filled);
    StopUnits(Units);
    EXPECT_EQ(Hooks(), Filled) << "the first host still runs";
    StopUnits(Units);
    EXPECT_EQ(Hooks(), None);

    // And the units start again after a full stop (a package loaded a second time).
    StartUnits(Units);
    EXPECT_EQ(Hooks(), Filled);
    StopUnits(Units);
    EXPECT_EQ(Hooks(), None);
}

} // namespace
