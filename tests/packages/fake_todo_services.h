// A to-do service that only records what a package asks of it, for tests that load a package
// without the To-Do List package.
#pragma once

#include "host/errors.h"
#include "host/tools_api.h"

#include <utility>
#include <vector>

/// Records the managers a package adds and removes, and how often it asks for an update.
struct TFakeServices : IOTAToDoServices {
    int AddManager(TRef<IOTAToDoManager> Manager) override {
        Managers.push_back(std::move(Manager));
        ++Added;
        return static_cast<int>(Managers.size()) - 1;
    }
    int AddNotifier(TRef<IOTANotifier>) override { return 0; }
    TRef<INTAToDoItem> GetItem(int Index) override { throw EListError(Index); }
    int GetItemCount() override { return 0; }
    void RemoveManager(int Index) override {
        if (Index < 0 || Index >= static_cast<int>(Managers.size()))
            throw EListError(Index);
        Managers.erase(Managers.begin() + Index);
        ++Removed;
    }
    void RemoveNotifier(int) override {}
    void UpdateList() override { ++Updates; }

    std::vector<TRef<IOTAToDoManager>> Managers;
    int Added = 0, Removed = 0, Updates = 0;
};
