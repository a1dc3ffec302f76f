#pragma once

#include "host/errors.h"
#include "host/iinterface.h"

#include <functional>
#include <mutex>
#include <utility>
#include <vector>

/// Sorts Items[L..R] (0-based, inclusive) with the classic Hoare partition around the middle
/// element, the pivot held as its own copy. Its exact sequence of comparisons and swaps is what
/// callers observe (the order of equal elements), so every list of the program sorts with this
/// one routine rather than std::sort. Only the sign of Compare's result counts. An inconsistent
/// comparison that drives an index off the range throws EListError instead of reading past it.
template <class TElement, class TCompareFn>
void QuickSortRange(std::vector<TElement>& Items, int L, int R, TCompareFn& Compare) {
    auto At = [&Items](int Index) -> TElement& {
        if (Index < 0 || Index >= static_cast<int>(Items.size()))
            throw EListError(Index);
        return Items[static_cast<size_t>(Index)];
    };
    int I;
    do {
        I = L;
        int J = R;
        const TElement Pivot = At((L + R) / 2);
        do {
            while (Compare(At(I), Pivot) < 0)
                ++I;
            while (Compare(At(J), Pivot) > 0)
                --J;
            if (I <= J) {
                std::swap(At(I), At(J));
                ++I;
                --J;
            }
        } while (I <= J);
        if (L < J)
            QuickSortRange(Items, L, J, Compare);
        L = I;
    } while (I < R);
}

/// A thread-safe list of interface references of type T that can be sorted with a comparison
/// function. Every operation takes the list's own recursive lock, so a caller may hold it (Lock,
/// or LockList) across several operations, and a comparison may read the list while it sorts.
template <class T> class TSortableList {
public:
    using TElement = TRef<T>;
    /// Negative when A comes before B, 0 when they rank equal, positive when A comes after B.
    using TCompare = std::function<int(const TElement& A, const TElement& B)>;

    /// Appends Item and returns its 0-based index.
    int Add(TElement Item) {
        std::scoped_lock Guard(FLock);
        FItems.push_back(std::move(Item));
        return static_cast<int>(FItems.size()) - 1;
    }
    /// The element at the 0-based Index; throws EListError when Index is out of range.
    TElement Get(int Index) const {
        std::scoped_lock Guard(FLock);
        return At(Index);
    }
    /// Replaces the element at Index; throws EListError when Index is out of range.
    void Put(int Index, TElement Item) {
        std::scoped_lock Guard(FLock);
        At(Index) = std::move(Item);
    }
    /// Number of elements.
    int Count() const {
        std::scoped_lock Guard(FLock);
        return static_cast<int>(FItems.size());
    }
    /// Removes every element.
    void Clear() {
        std::scoped_lock Guard(FLock);
        FItems.clear();
    }
    /// Removes the element at Index, moving the later ones down; throws EListError when Index
    /// is out of range.
    void Delete(int Index) {
        std::scoped_lock Guard(FLock);
        At(Index);
        FItems.erase(FItems.begin() + Index);
    }

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
    void Sort(const TCompare& Compare) {
        std::scoped_lock Guard(FLock);
        if (!FItems.empty())
            QuickSortRange(FItems, 0, static_cast<int>(FItems.size()) - 1, Compare);
    }

    /// Sorts exactly as Sort would with a comparison of the same sign, but compares keys that
    /// MakeKeys computes once per sort from the whole list (a vector of keys, one per element)
    /// instead of fetching them twice per comparison: for keys that are costly to fetch. The
    /// quicksort moves the keys themselves (keep them small); IndexOf tells the element a key
    /// was made from (its 0-based index in the list before the sort). An exception leaves the
    /// list as it was.
    template <class TMakeKeys, class TKeyCompare, class TIndexOf>
    void SortByKeys(TMakeKeys&& MakeKeys, TKeyCompare&& Compare, TIndexOf&& IndexOf) {
        std::scoped_lock Guard(FLock);
        if (FItems.empty())
            return;
        auto Keys = MakeKeys(static_cast<const std::vector<TElement>&>(FItems));
        QuickSortRange(Keys, 0, static_cast<int>(Keys.size()) - 1, Compare);
        std::vector<TElement> Sorted;
        Sorted.reserve(FItems.size());
        for (const auto& K : Keys)
            Sorted.push_back(FItems[static_cast<size_t>(IndexOf(K))]);
        FItems.swap(Sorted);
    }

private:
    TElement& At(int Index) {
        CheckIndex(Index);
        return FItems[static_cast<size_t>(Index)];
    }
    const TElement& At(int Index) const {
        CheckIndex(Index);
        return FItems[static_cast<size_t>(Index)];
    }
    void CheckIndex(int Index) const {
        if (Index < 0 || Index >= static_cast<int>(FItems.size()))
            throw EListError(Index);
    }

    mutable std::recursive_mutex FLock;
    std::vector<TElement> FItems;
};

/// The list of plain interface references.
using TSortableInterfaceList = TSortableList<IInterface>;
