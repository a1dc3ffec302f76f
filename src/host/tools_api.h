#pragma once

#include "host/iinterface.h"
#include "host/intatodo_item.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

/// A listener that other packages hand to a tools-API object.
class IOTANotifier : public virtual IInterface {
public:
    virtual void AfterSave() {}
    virtual void BeforeSave() {}
    virtual void Destroyed() {}
    /// The object changed (for the to-do service: a new list was collated).
    virtual void Modified() {}
};

/// A manager of to-do items that another package adds to the to-do service. Its items show in
/// the list; their GetKind is their origin in the origin filter.
class IOTAToDoManager : public virtual IInterface {
public:
    /// Throws EListError for an index outside 0 .. GetItemCount() - 1.
    virtual TRef<INTAToDoItem> GetItem(int Index) = 0;
    virtual int GetItemCount() = 0;
};

/// The to-do service other packages reach through FindOTAService.
class IOTAToDoServices : public virtual IInterface {
public:
    /// Appends Manager and returns its index; later removals of earlier managers shift it.
    virtual int AddManager(TRef<IOTAToDoManager> Manager) = 0;
    /// Adds Notifier and returns its index, which stays valid until RemoveNotifier.
    virtual int AddNotifier(TRef<IOTANotifier> Notifier) = 0;
    /// Throws EListError for an index outside 0 .. GetItemCount() - 1.
    virtual TRef<INTAToDoItem> GetItem(int Index) = 0;
    virtual int GetItemCount() = 0;
    virtual void RemoveManager(int Index) = 0;
    virtual void RemoveNotifier(int Index) = 0;
    /// Collates the list again without parsing.
    virtual void UpdateList() = 0;
};

/// The notifier list of a tools-API object. A removed notifier leaves its slot empty, so the
/// indexes handed out for the others keep their meaning. Thread-safe.
class TOTANotifierList {
public:
    /// Appends Notifier and returns its index.
    int AddToList(TRef<IOTANotifier> Notifier);
    /// Empties the slot at Index; nothing when Index is out of range.
    void RemoveFromList(int Index);
    /// The notifiers in their slots' order, without the empty slots.
    std::vector<TRef<IOTANotifier>> Notifiers() const;

private:
    mutable std::mutex FLock;
    std::vector<TRef<IOTANotifier>> FSlots;
};

/// Registers a tools-API extension (a service object other packages may look up) and returns
/// its index. The registry does not keep the object alive: it is found only while it lives.
int AddOTAExtension(const std::shared_ptr<IInterface>& Extension);
/// Forgets the extension at Index; nothing for an unknown index.
void RemoveOTAExtension(int Index);

/// The registered extensions in index order (empty slots included).
std::vector<std::weak_ptr<IInterface>> OTAExtensions();

/// The first live extension that offers T, or null.
template <class T> TRef<T> FindOTAService() {
    for (const auto& Weak : OTAExtensions())
        if (auto Strong = Weak.lock())
            if (auto Service = std::dynamic_pointer_cast<T>(Strong))
                return Service;
    return nullptr;
}
