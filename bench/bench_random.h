#pragma once

#include <cstddef>
#include <cstdint>
#include <random>

/// A deterministic generator for the benchmarks' inputs: the same data on every machine (no
/// std distributions, whose results differ between standard libraries).
class TRandom {
public:
    explicit TRandom(uint32_t Seed) : FEngine(Seed) {}
    uint32_t Below(uint32_t N) { return static_cast<uint32_t>(FEngine() % N); }
    bool Chance(uint32_t Percent) { return Below(100) < Percent; }
    template <class T, size_t N> const T& Pick(const T (&Items)[N]) { return Items[Below(N)]; }

private:
    std::mt19937 FEngine;
};
