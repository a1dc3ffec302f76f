// The file watcher as a user feels it: the time from one file's write until the front end is told
// (with the default debounce, which dominates), and the processor time the watcher takes while
// nothing changes (it should sleep in poll, not wake up on a timer).
#include "host/file_watcher.h"

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include <sys/resource.h>
#include <time.h>

namespace {

/// A fresh folder under the system's temporary folder, removed at the end.
struct TScratch {
    TScratch() {
        std::string Template =
            (std::filesystem::temp_directory_path() / "todolist-bench-watch-XXXXXX").string();
        Path = ::mkdtemp(Template.data());
    }
    ~TScratch() {
        std::error_code Ec;
        std::filesystem::remove_all(Path, Ec);
    }
    std::string Path;
};

/// Counts ChangesReady calls.
struct TSignal {
    std::mutex Lock;
    std::condition_variable Called;
    long Calls = 0;
    void Notify() {
        std::scoped_lock L(Lock);
        ++Calls;
        Called.notify_all();
    }
    void WaitBeyond(long Seen) {
        std::unique_lock L(Lock);
        Called.wait(L, [&] { return Calls > Seen; });
    }
};

/// Processor time of the process minus that of the calling thread: with nothing else running,
/// the watcher's thread.
double OtherThreadsCpuSeconds() {
    rusage Usage{};
    ::getrusage(RUSAGE_SELF, &Usage);
    auto Seconds = [](const timeval& T) { return double(T.tv_sec) + double(T.tv_usec) / 1e6; };
    timespec Own{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &Own);
    return Seconds(Usage.ru_utime) + Seconds(Usage.ru_stime) - double(Own.tv_sec) -
           double(Own.tv_nsec) / 1e9;
}

void BM_WriteToChangesReady(benchmark::State& State) {
    TScratch Dir;
    TFileWatcher Watcher;
    TSignal Signal;
    if (!Watcher.AddTree(Dir.Path).Ok() || !Watcher.Start([&] { Signal.Notify(); }).Ok()) {
        State.SkipWithError("cannot watch the scratch folder");
        return;
    }
    const std::string File = Dir.Path + "/file.txt";
    long Value = 0;
    for (auto _ : State) {
        long Seen;
        {
            std::scoped_lock L(Signal.Lock);
            Seen = Signal.Calls;
        }
        std::ofstream(File) << ++Value;
        Signal.WaitBeyond(Seen);
        benchmark::DoNotOptimize(Watcher.TakeChanges());
    }
}
BENCHMARK(BM_WriteToChangesReady)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

void BM_IdleWatcherCpu(benchmark::State& State) {
    TScratch Dir;
    TFileWatcher Watcher;
    if (!Watcher.AddTree(Dir.Path).Ok() || !Watcher.Start([] {}).Ok()) {
        State.SkipWithError("cannot watch the scratch folder");
        return;
    }
    double Cpu = 0;
    for (auto _ : State) {
        const double Before = OtherThreadsCpuSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        Cpu += OtherThreadsCpuSeconds() - Before;
    }
    State.counters["cpu_us_per_s"] = benchmark::Counter(Cpu * 1e6 / double(State.iterations()));
}
BENCHMARK(BM_IdleWatcherCpu)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
