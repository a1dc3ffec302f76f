// The To-Do List package as the desktop host loads it: its entry points start and stop the
// package's units in their fixed order. IDERegister, the third entry point, is the commands
// unit's (src/ui/todo_commands.h); the link keeps and exports it.

#include "list/todo_units.h"
#include "ui/todo_commands.h"

namespace {

std::vector<TToDoUnit> PackageUnits() {
    const TToDoWidgetUnits Widgets = ToDoWidgetUnits();
    return ToDoUnits(&Widgets);
}

} // namespace

/// Starts the package's units; one that fails leaves none started and the error passes on.
extern "C" __attribute__((visibility("default"))) void PackageInitialize() {
    StartUnits(PackageUnits());
}

/// Stops the units in reverse order, then frees what the host or on-demand use may have kept
/// alive (windows, shared dialogs): nothing of the package may survive its unloading.
extern "C" __attribute__((visibility("default"))) void PackageFinalize() {
    StopUnits(PackageUnits());
    FreePackageWidgets();
}
