#include "comments/sortable_interface_list.h"

#include "host/errors.h"

#include <utility>

const TRef<IInterface>& TSortableInterfaceList::At(int Index) const {
    if (Index < 0 || Index >= static_cast<int>(FItems.size()))
        throw EListError(Index);
    return FItems[static_cast<size_t>(Index)];
}

int TSortableInterfaceList::Add(TRef<IInterface> Item) {
    std::scoped_lock Guard(FLock);
    FItems.push_back(std::move(Item));
    return static_cast<int>(FItems.size()) - 1;
}

TRef<IInterface> TSortableInterfaceList::Get(int Index) const {
    std::scoped_lock Guard(FLock);
    return At(Index);
}

void TSortableInterfaceList::Put(int Index, TRef<IInterface> Item) {
    std::scoped_lock Guard(FLock);
    At(Index);
    FItems[static_cast<size_t>(Index)] = std::move(Item);
}

int TSortableInterfaceList::Count() const {
    std::scoped_lock Guard(FLock);
    return static_cast<int>(FItems.size());
}

void TSortableInterfaceList::Clear() {
    std::scoped_lock Guard(FLock);
    FItems.clear();
}

void TSortableInterfaceList::Delete(int Index) {
    std::scoped_lock Guard(FLock);
    At(Index);
    FItems.erase(FItems.begin() + Index);
}

void TSortableInterfaceList::Sort(const TCompare& Compare) {
    std::scoped_lock Guard(FLock);
    if (!FItems.empty())
        QuickSort(0, static_cast<int>(FItems.size()) - 1, Compare);
}

// The classic Hoare partition with the pivot held as its own reference. Its exact sequence of
// comparisons is what callers observe (an unstable order among equal elements), so it is kept
// as it is rather than replaced by std::sort. At throws EListError should an inconsistent
// comparison drive an index off the list.
void TSortableInterfaceList::QuickSort(int L, int R, const TCompare& Compare) {
    int I;
    do {
        I = L;
        int J = R;
        const TRef<IInterface> Pivot = At((L + R) / 2);
        do {
            while (Compare(At(I), Pivot) < 0)
                ++I;
            while (Compare(At(J), Pivot) > 0)
                --J;
            if (I <= J) {
                TRef<IInterface> T = At(I);
                FItems[static_cast<size_t>(I)] = At(J);
                FItems[static_cast<size_t>(J)] = std::move(T);
                ++I;
                --J;
            }
        } while (I <= J);
        if (L < J)
            QuickSort(L, J, Compare);
        L = I;
    } while (I < R);
}
