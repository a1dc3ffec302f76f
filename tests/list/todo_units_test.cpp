// The package's unit order, starting and stopping it, and that nested start-ups by two hosts
// leave the host's hooks as they found them.

#include "host/todo_intf.h"
#include "items/todo_mgr.h"
#include "list/todo_units.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Names(const std::vector<TToDoUnit>& Units) {
    std::vector<std::string> Out;
    for (const TToDoUnit& U : Units)
        Out.emplace_back(U.Name);
    return Out;
}

// Recording units: which routine ran, in order.
std::vector<std::string> Log;
void InitA() {
    Log.push_back("+A");
}
void FinA() {
    Log.push_back("-A");
}
void InitB() {
    Log.push_back("+B");
}
void FinB() {
    Log.push_back("-B");
}
void InitC() {
    Log.push_back("+C");
}
void FinC() {
    Log.push_back("-C");
}
void InitFails() {
    Log.push_back("+X");
    throw std::runtime_error("cannot start");
}
void FinFails() {
    Log.push_back("-X");
    throw std::runtime_error("cannot stop");
}

TEST(ToDoUnitsTest, OrderWithAndWithoutWidgets) {
    const TToDoWidgetUnits Widgets{{&InitA, &FinA}, {&InitB, &FinB}, {&InitC, &FinC}};
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
    EXPECT_EQ(Units[3].Initialize, &InitA);
    EXPECT_EQ(Units[7].Finalize, &FinB);
    EXPECT_EQ(Units[8].Initialize, &InitC);
}

TEST(ToDoUnitsTest, StopRunsTheReverseOfStart) {
    const std::vector<TToDoUnit> Units = {{"A", &InitA, &FinA},
                                          {"none", nullptr, nullptr},
                                          {"B", &InitB, &FinB},
                                          {"C", &InitC, &FinC}};
    Log.clear();
    StartUnits(Units);
    StopUnits(Units);
    EXPECT_EQ(Log, (std::vector<std::string>{"+A", "+B", "+C", "-C", "-B", "-A"}));
}

TEST(ToDoUnitsTest, FailingStartUndoesTheUnitsBeforeIt) {
    const std::vector<TToDoUnit> Units = {{"A", &InitA, &FinA},
                                          {"B", &InitB, &FinB},
                                          {"X", &InitFails, &FinFails},
                                          {"C", &InitC, &FinC}};
    Log.clear();
    EXPECT_THROW(StartUnits(Units), std::runtime_error);
    // The failed unit is not stopped; nothing after it started.
    EXPECT_EQ(Log, (std::vector<std::string>{"+A", "+B", "+X", "-B", "-A"}));
}

TEST(ToDoUnitsTest, FailingStopStillStopsTheOthers) {
    const std::vector<TToDoUnit> Units = {
        {"A", &InitA, &FinA}, {"X", nullptr, &FinFails}, {"C", &InitC, &FinC}};
    Log.clear();
    EXPECT_THROW(StopUnits(Units), std::runtime_error);
    EXPECT_EQ(Log, (std::vector<std::string>{"-C", "-X", "-A"}));
}

/// The hooks the core units fill, as booleans: set or not.
struct THooks {
    bool CFileHandler, CreatorRegistration, SourceManager, ProjectManager;
    size_t Creators;
    bool operator==(const THooks&) const = default;
};

THooks Hooks() {
    return {RegisterCFileHandlerProc != nullptr && GetCFileHandlerProc != nullptr,
            RegisterToDoManagerCreatorProc != nullptr &&
                UnRegisterToDoManagerCreatorProc != nullptr,
            static_cast<bool>(CreateSourceToDoManagerProc),
            static_cast<bool>(CreateProjectToDoManagerProc), ToDoManagerCreators().size()};
}

std::ostream& operator<<(std::ostream& Out, const THooks& H) {
    return Out << "{cfile " << H.CFileHandler << ", registration " << H.CreatorRegistration
               << ", source " << H.SourceManager << ", project " << H.ProjectManager
               << ", creators " << H.Creators << "}";
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
