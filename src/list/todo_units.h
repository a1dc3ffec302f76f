#pragma once

// The package's units in the one order they start in. Whoever hosts the package (the desktop
// program loading it, the command-line session, the tests) starts them through here, so that
// the order is spelled once.

#include <vector>

/// One unit: its name and its start-up and shut-down. Either routine may be null for a unit
/// that has nothing to do (it is still listed, so the order stays complete).
struct TToDoUnit {
    const char* Name;
    void (*Initialize)();
    void (*Finalize)();
};

/// The start-up and shut-down of one widget unit.
struct TToDoUnitProcs {
    void (*Initialize)() = nullptr;
    void (*Finalize)() = nullptr;
};

/// The units that live in the widget library, which this Qt-free library cannot name itself:
/// the Add dialog (IDEToDoAddDlg), the To-Do window (IDEToDoForm) and the commands
/// (IDEToDoCmd).
struct TToDoWidgetUnits {
    TToDoUnitProcs AddDlg;
    TToDoUnitProcs Form;
    TToDoUnitProcs Cmd;
};

/// The package's units in start-up order: IDEToDoUtils, IDEToDoTable, IDEToDoUpdaters,
/// IDEToDoAddDlg, IDEToDoMgr, IDEToDoList, IDEToDoFilter, IDEToDoForm, IDEToDoCmd. Without
/// Widgets the three widget units are left out (a host without windows). IDEToDoTable and
/// IDEToDoFilter are listed with null routines: their texts are compiled in, so there is
/// nothing to prepare or release. Every routine listed is counted by its unit (only the first
/// start-up and the balancing shut-down act), so a unit started by two hosts is started once.
std::vector<TToDoUnit> ToDoUnits(const TToDoWidgetUnits* Widgets = nullptr);

/// Runs the start-ups of Units in order. When one throws, the units already started are shut
/// down again in reverse order and the exception is passed on: nothing stays half started.
void StartUnits(const std::vector<TToDoUnit>& Units);

/// Runs the shut-downs of Units in exactly the reverse order. A shut-down that throws does not
/// stop the others; the first exception is passed on after all of them ran.
void StopUnits(const std::vector<TToDoUnit>& Units);
