#include "list/todo_units.h"

#include "comments/cfile_handler.h"
#include "items/todo_mgr.h"
#include "list/todo_list.h"
#include "todofile/todo_updaters.h"

#include <cstddef>
#include <exception>

std::vector<TToDoUnit> ToDoUnits(const TToDoWidgetUnits* Widgets) {
    std::vector<TToDoUnit> Units;
    auto Widget = [&](const char* Name, const TToDoUnitProcs& Procs) {
        Units.push_back({Name, Procs.Initialize, Procs.Finalize});
    };
    // The manager unit registers its creator before the list unit, whose registry it is: the
    // registry comes into being on first registration, so this order is safe.
    Units.push_back({"IDEToDoUtils", &InitializeToDoUtils, &FinalizeToDoUtils});
    Units.push_back({"IDEToDoTable", nullptr, nullptr});
    Units.push_back({"IDEToDoUpdaters", &InitializeToDoUpdaters, &FinalizeToDoUpdaters});
    if (Widgets)
        Widget("IDEToDoAddDlg", Widgets->AddDlg);
    Units.push_back({"IDEToDoMgr", &InitializeToDoMgr, &FinalizeToDoMgr});
    Units.push_back({"IDEToDoList", &InitializeToDoList, &FinalizeToDoList});
    Units.push_back({"IDEToDoFilter", nullptr, nullptr});
    if (Widgets) {
        Widget("IDEToDoForm", Widgets->Form);
        Widget("IDEToDoCmd", Widgets->Cmd);
    }
    return Units;
}

void StartUnits(const std::vector<TToDoUnit>& Units) {
    std::size_t Started = 0;
    try {
        for (; Started < Units.size(); ++Started)
            if (Units[Started].Initialize)
                Units[Started].Initialize();
    } catch (...) {
        // The failed unit itself did not start: undo only those before it.
        StopUnits(std::vector<TToDoUnit>(Units.begin(),
                                         Units.begin() + static_cast<std::ptrdiff_t>(Started)));
        throw;
    }
}

void StopUnits(const std::vector<TToDoUnit>& Units) {
    std::exception_ptr First;
    for (auto It = Units.rbegin(); It != Units.rend(); ++It) {
        if (!It->Finalize)
            continue;
        try {
            It->Finalize();
        } catch (...) {
            if (!First)
                First = std::current_exception();
        }
    }
    if (First)
        std::rethrow_exception(First);
}
