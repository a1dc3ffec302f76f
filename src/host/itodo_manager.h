#pragma once

#include "host/iinterface.h"
#include "host/intatodo_item.h"
#include "host/itodo_updater.h"
#include "host/status.h"

#include <string>

/// The manager of the to-do items of one file.
class IToDoManager : public virtual IInterface {
public:
    virtual void Parse() = 0;
    virtual bool GetIsParsed() = 0;
    virtual void SetIsParsed(bool Value) = 0;
    virtual bool IsManager(const std::string& FileName) = 0;
    virtual void Rename(const std::string& OldName, const std::string& NewName) = 0;
    /// Throws EListError for an index outside 0 .. GetItemCount() - 1.
    virtual TRef<INTAToDoItem> GetItem(int Index) = 0;
    virtual int GetItemCount() = 0;
    virtual void ProjectChanged() = 0;
    virtual bool InProject() = 0;
    virtual TRef<IToDoUpdater> GetUpdater() = 0;
    virtual void SetUpdater(TRef<IToDoUpdater> Updater) = 0;
    virtual TStatus AddItem(int Pos, const std::string& Text) = 0;
};

/// The same manager as the host's source-manager interface (one table serves both).
class ISourceToDoManager : public virtual IToDoManager {};
