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

std::pair<int, int> Val(const TRef<IInterface>& P) {
    return {static_cast<const TValue&>(*P).V, static_cast<const TValue&>(*P).Id};
}

int ByValue(const TRef<IInterface>& A, const TRef<IInterface>& B) {
    return Val(A).first - Val(B).first;
}

TEST(SortableInterfaceListTest, ListOperationsCheckTheIndex) {
    TSortableInterfaceList L;
    for (int I = 0; I < 3; ++I)
        EXPECT_EQ(L.Add(std::make_shared<TValue>(I + 1, I)), I);
    L.Delete(1);
    L.Put(0, std::make_shared<TValue>(9, 3));
    EXPECT_EQ(L.Count(), 2);
    EXPECT_EQ(Val(L.Get(0)).first, 9);
    EXPECT_EQ(Val(L.Get(1)).first, 3);
    EXPECT_THROW(L.Get(-1), EListError);
    EXPECT_THROW(L.Get(2), EListError);
    EXPECT_THROW(L.Delete(2), EListError);
    EXPECT_THROW(L.Put(-1, nullptr), EListError);
}

TEST(SortableInterfaceListTest, SortsRandomListsAndLeavesAnEmptyOneAlone) {
    TSortableInterfaceList Empty;
    EXPECT_NO_THROW(Empty.Sort([](const auto&, const auto&) -> int { throw EListError(0); }));
    std::mt19937 Rng(7);
    for (int Round = 0; Round < 300; ++Round) {
        TSortableInterfaceList L;
        std::vector<std::pair<int, int>> Expected;
        for (int I = 0, N = 1 + static_cast<int>(Rng() % 60); I < N; ++I) {
            Expected.emplace_back(static_cast<int>(Rng() % (Round % 2 ? 4 : 1000)), I);
            L.Add(std::make_shared<TValue>(Expected.back().first, I));
        }
        L.Sort(ByValue);
        std::vector<std::pair<int, int>> Got;
        for (int I = 0; I < L.Count(); ++I)
            Got.push_back(Val(L.Get(I)));
        ASSERT_TRUE(std::is_sorted(Got.begin(), Got.end(),
                                   [](auto A, auto B) { return A.first < B.first; }));
        std::sort(Got.begin(), Got.end()); // equal values in any order, each element once
        std::sort(Expected.begin(), Expected.end());
        ASSERT_EQ(Got, Expected);
    }
}

TEST(SortableInterfaceListTest, SortHoldsTheLockUntilItEndsOrThrows) {
    TSortableInterfaceList L;
    L.Add(std::make_shared<TValue>(2, 0));
    L.Add(std::make_shared<TValue>(1, 1));
    auto LockedElsewhere = [&] {
        bool Got = true;
        std::thread([&] { Got = L.TryLock() && (L.Unlock(), true); }).join();
        return !Got;
    };
    int Calls = 0;
    L.Sort([&](const TRef<IInterface>& A, const TRef<IInterface>& B) {
        EXPECT_TRUE(LockedElsewhere());
        EXPECT_EQ(L.Count(), 2); // the comparison may read the list on the sorting thread
        return ++Calls, ByValue(A, B);
    });
    EXPECT_GT(Calls, 0);
    EXPECT_FALSE(LockedElsewhere());
    EXPECT_THROW(L.Sort([](const auto&, const auto&) -> int { throw EListError(9); }), EListError);
    EXPECT_FALSE(LockedElsewhere());
}

} // namespace
