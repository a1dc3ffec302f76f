#include "comments/sortable_interface_list.h"

#include "host/errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>

namespace {

struct TValue : IInterface {
    TValue(int V, int Id) : V(V), Id(Id) {}
    int V, Id;
};

int ByValue(const TRef<IInterface>& A, const TRef<IInterface>& B) {
    return static_cast<TValue&>(*A).V - static_cast<TValue&>(*B).V;
}

TEST(SortableInterfaceListTest, SortsRandomListsAndChecksIndexes) {
    TSortableInterfaceList L;
    L.Sort([](const auto&, const auto&) -> int { throw EListError(0); }); // empty: not called
    std::mt19937 Rng(7);
    for (int Round = 0; Round < 300; ++Round) {
        std::vector<std::pair<int, int>> Expected, Got; // value and id of each element
        L.Clear();
        for (int I = 0, N = 1 + static_cast<int>(Rng() % 60); I < N; ++I) {
            Expected.emplace_back(static_cast<int>(Rng() % (Round % 2 ? 4 : 1000)), I);
            ASSERT_EQ(L.Add(std::make_shared<TValue>(Expected.back().first, I)), I);
        }
        L.Sort(ByValue);
        for (int I = 0; I < L.Count(); ++I)
            Got.emplace_back(static_cast<TValue&>(*L.Get(I)).V, static_cast<TValue&>(*L.Get(I)).Id);
        for (size_t I = 1; I < Got.size(); ++I)
            ASSERT_LE(Got[I - 1].first, Got[I].first);
        std::sort(Got.begin(), Got.end()); // equal values in any order, each element once
        std::sort(Expected.begin(), Expected.end());
        ASSERT_EQ(Got, Expected);
    }
    EXPECT_THROW(L.Get(L.Count()), EListError);
    EXPECT_THROW(L.Delete(-1), EListError);
    EXPECT_THROW(L.Put(L.Count(), nullptr), EListError);
    // Equal elements go where the partition around the middle element puts them (users see it).
    L.Clear();
    for (int V : {1, 0, 2, 0, 1, 1})
        L.Add(std::make_shared<TValue>(V, L.Count()));
    L.Sort(ByValue);
    for (int I = 0; I < L.Count(); ++I)
        EXPECT_EQ(static_cast<TValue&>(*L.Get(I)).Id, "314052"[I] - '0') << "at " << I;
}

TEST(SortableInterfaceListTest, SortHoldsTheLockUntilItEndsOrThrows) {
    TSortableInterfaceList L;
    L.Add(std::make_shared<TValue>(2, 0));
    L.Add(std::make_shared<TValue>(1, 1));
    auto LockedElsewhere = [&] {
        bool Free = false;
        std::thread([&] { Free = L.TryLock() && (L.Unlock(), true); }).join();
        return !Free;
    };
    L.Sort([&](const TRef<IInterface>& A, const TRef<IInterface>& B) {
        EXPECT_TRUE(LockedElsewhere());
        EXPECT_EQ(L.Count(), 2); // the comparison may read the list on the sorting thread
        return ByValue(A, B);
    });
    EXPECT_THROW(L.Sort([](const auto&, const auto&) -> int { throw EListError(9); }), EListError);
    EXPECT_FALSE(LockedElsewhere());
}

} // namespace
