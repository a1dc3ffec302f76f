#pragma once

#include "host/iinterface.h"

#include <functional>
#include <mutex>
#include <vector>

/// A thread-safe list of interface references that can be sorted with a comparison function.
/// Every operation takes the list's own recursive lock, so a caller may hold it (Lock, or
/// LockList) across several operations, and a comparison may read the list while it sorts.
class TSortableInterfaceList {
public:
    /// Negative when A comes before B, 0 when they rank equal, positive when A comes after B.
    using TCompare = std::function<int(const TRef<IInterface>& A, const TRef<IInterface>& B)>;

    /// Appends Item and returns its 0-based index.
    int Add(TRef<IInterface> Item);
    /// The element at the 0-based Index; throws EListError when Index is out of range.
    TRef<IInterface> Get(int Index) const;
    /// Replaces the element at Index; throws EListError when Index is out of range.
    void Put(int Index, TRef<IInterface> Item);
    /// Number of elements.
    int Count() const;
    /// Removes every element.
    void Clear();
    /// Removes the element at Index, moving the later ones down; throws EListError when Index
    /// is out of range.
    void Delete(int Index);

    /// Takes the list's lock (recursive); pair each call with Unlock.
    void Lock() const { FLock.lock(); }
    /// Takes the list's lock when it is free or already held by this thread; false otherwise.
    bool TryLock() const { return FLock.try_lock(); }
    void Unlock() const { FLock.unlock(); }
    /// Holds the list's lock for the life of the returned object.
    [[nodiscard]] std::unique_lock<std::recursive_mutex> LockList() const {
        return std::unique_lock<std::recursive_mutex>(FLock);
    }

    /// Sorts the list with Compare under the list's lock. The sort is a quicksort that is not
    /// stable: elements that compare equal may change their order, so a comparison that must
    /// give one fixed order breaks ties itself. An empty list calls Compare never. An
    /// exception from Compare propagates with the lock released and the list in some order.
    void Sort(const TCompare& Compare);

private:
    void QuickSort(int L, int R, const TCompare& Compare);
    const TRef<IInterface>& At(int Index) const;

    mutable std::recursive_mutex FLock;
    std::vector<TRef<IInterface>> FItems;
};
