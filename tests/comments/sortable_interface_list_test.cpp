#include "comments/sortable_interface_list.h"

#include "host/errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>

namespace {

struct TValue : IInterface {
    TValue(int V, int Id) : V(V), Id(Id) {}
    int V;
    int Id;
};

const TValue& Val(const TRef<IInterface>& P) {
    return static_cast<const TValue&>(*P);
}

int ByValue(const TRef<IInterface>& A, const TRef<IInterface>& B) {
    return Val(A).V - Val(B).V;
}

TEST(SortableInterfaceListTest, ListOperations) {
    TSortableInterfaceList L;
    EXPECT_EQ(L.Add(std::make_shared<TValue>(1, 0)), 0);
    EXPECT_EQ(L.Add(std::make_shared<TValue>(2, 1)), 1);
    EXPECT_EQ(L.Add(std::make_shared<TValue>(3, 2)), 2);
    L.Delete(1);
    ASSERT_EQ(L.Count(), 2);
    EXPECT_EQ(Val(L.Get(1)).V, 3);
    L.Put(0, std::make_shared<TValue>(9, 3));
    EXPECT_EQ(Val(L.Get(0)).V, 9);
    for (int Bad : {-1, 2})
        EXPECT_THROW(L.Get(Bad), EListError);
    EXPECT_THROW(L.Delete(2), EListError);
    EXPECT_THROW(L.Put(-1, nullptr), EListError);
    L.Clear();
    EXPECT_EQ(L.Count(), 0);
}

TEST(SortableInterfaceListTest, EmptyListCallsNoComparison) {
    TSortableInterfaceList L;
    int Calls = 0;
    L.Sort([&](const auto&, const auto&) { return ++Calls, 0; });
    EXPECT_EQ(Calls, 0);
}

TEST(SortableInterfaceListTest, SortsRandomListsWithDuplicates) {
    std::mt19937 Rng(7);
    for (int Round = 0; Round < 300; ++Round) {
        TSortableInterfaceList L;
        const int N = 1 + static_cast<int>(Rng() % 60);
        std::vector<int> Values;
        for (int I = 0; I < N; ++I) {
            Values.push_back(static_cast<int>(Rng() % (Round % 2 ? 4 : 1000)));
            L.Add(std::make_shared<TValue>(Values.back(), I));
        }
        L.Sort(ByValue);
        std::sort(Values.begin(), Values.end());
        std::vector<int> Ids;
        for (int I = 0; I < N; ++I) {
            ASSERT_EQ(Val(L.Get(I)).V, Values[static_cast<size_t>(I)]);
            Ids.push_back(Val(L.Get(I)).Id);
        }
        std::sort(Ids.begin(), Ids.end());
        for (int I = 0; I < N; ++I)
            ASSERT_EQ(Ids[static_cast<size_t>(I)], I); // every element kept once
    }
}

TEST(SortableInterfaceListTest, ComparisonPatternAndEqualOrder) {
    // Three equal elements: the outer two trade places and the middle one is compared with
    // itself, so equal elements come out reversed.
    TSortableInterfaceList L;
    for (int Id = 0; Id < 3; ++Id)
        L.Add(std::make_shared<TValue>(5, Id));
    std::vector<std::pair<int, int>> Calls;
    L.Sort([&](const TRef<IInterface>& A, const TRef<IInterface>& B) {
        Calls.emplace_back(Val(A).Id, Val(B).Id);
        return ByValue(A, B);
    });
    const std::vector<std::pair<int, int>> Expected = {{0, 1}, {2, 1}, {1, 1}, {1, 1}};
    EXPECT_EQ(Calls, Expected);
    EXPECT_EQ(Val(L.Get(0)).Id, 2);
    EXPECT_EQ(Val(L.Get(1)).Id, 1);
    EXPECT_EQ(Val(L.Get(2)).Id, 0);
}

TEST(SortableInterfaceListTest, SortHoldsTheLock) {
    TSortableInterfaceList L;
    L.Add(std::make_shared<TValue>(2, 0));
    L.Add(std::make_shared<TValue>(1, 1));
    auto LockedElsewhere = [&] {
        bool Got = true;
        std::thread T([&] {
            Got = L.TryLock();
            if (Got)
                L.Unlock();
        });
        T.join();
        return !Got;
    };
    int Locked = 0, Calls = 0;
    L.Sort([&](const TRef<IInterface>& A, const TRef<IInterface>& B) {
        ++Calls;
        Locked += LockedElsewhere();
        EXPECT_EQ(L.Count(), 2); // the comparison may read the list on the sorting thread
        return ByValue(A, B);
    });
    EXPECT_GT(Calls, 0);
    EXPECT_EQ(Locked, Calls);
    EXPECT_FALSE(LockedElsewhere());

    {
        auto Guard = L.LockList();
        EXPECT_TRUE(LockedElsewhere());
    }
    EXPECT_FALSE(LockedElsewhere());
}

TEST(SortableInterfaceListTest, ThrowingComparisonReleasesTheLock) {
    TSortableInterfaceList L;
    L.Add(std::make_shared<TValue>(2, 0));
    L.Add(std::make_shared<TValue>(1, 1));
    EXPECT_THROW(L.Sort([](const auto&, const auto&) -> int { throw EListError(9); }), EListError);
    std::thread T([&] {
        EXPECT_TRUE(L.TryLock());
        L.Unlock();
    });
    T.join();
}

} // namespace
