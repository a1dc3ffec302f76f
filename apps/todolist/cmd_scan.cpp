// todolist scan: every to-do comment of the given files and folders.
//
// Files are parsed on one worker thread per core through the same objects the list uses (a host
// module per file, a source manager, the file's updater); each file's output is printed in file
// order as soon as it and all files before it are done, and its module is closed right after,
// so memory stays flat however large the tree is.
#include "cli_common.h"
#include "commands.h"

#include "host/comment_syntax.h"
#include "host/module.h"
#include "items/source_todo_item.h"
#include "items/source_todo_manager.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

namespace {

struct TFileResult {
    std::string Output;  ///< the item lines of the file
    std::string Problem; ///< a warning to print instead, when the file could not be scanned
    bool Failed = false;
};

/// Files are handed to the workers in batches, so that the threads meet at the shared lock once
/// per batch rather than once per (often tiny) file.
constexpr size_t BatchFiles = 32;

/// How many finished batches may wait for the printer: bounds the memory that output not yet
/// printed can take.
constexpr size_t AheadLimit = 64;

TFileResult ScanFile(const std::string& File, bool Given, bool Json) {
    TFileResult R;
    if (LanguageOfFile(File) == TLanguage::None) {
        R.Problem = NotASourceFile(File);
        R.Failed = true;
        return R;
    }
    auto Opened = OpenModule(File);
    if (!Opened) {
        R.Problem = Opened.Status().Message();
        R.Failed = true;
        return R;
    }
    auto Module = Opened.Value();
    auto Buffer = Module->GetBuffer();
    bool Binary = false;
    if (!Given) {
        // A NUL byte near the start marks a binary file that merely has a source extension.
        Buffer->WithText([&](std::string_view Text) {
            Binary = std::memchr(Text.data(), 0, std::min<size_t>(Text.size(), 8192)) != nullptr;
        });
    }
    if (!Binary) {
        auto Manager = TSourceToDoManager::Create(File);
        Manager->Parse();
        for (const auto& P : PlacedItems(*Manager, *Buffer)) {
            R.Output += Json ? ItemJson(File, P.Line, P.Column, *P.Item)
                             : ItemLine(File, P.Line, P.Column, *P.Item);
            R.Output += '\n';
        }
    }
    CloseModule(File);
    return R;
}

} // namespace

int RunScan(const TScanOptions& Options) {
    std::mutex Lock;
    std::condition_variable Work;   // more files were found, or the printer moved on
    std::condition_variable Ready;  // the oldest unprinted batch may be finished
    std::vector<std::string> Files; // found so far, in output order
    std::vector<bool> Given;
    bool WalkDone = false;
    std::deque<std::optional<std::vector<TFileResult>>> Window; // batches from Base on
    size_t Base = 0;
    size_t Next = 0;

    // The tree is walked on a thread of its own, so scanning starts with the first batch found.
    bool WalkOk = true;
    std::thread Walker([&] {
        WalkOk = CollectFiles(Options.Paths, [&](const std::string& File, bool IsGiven) {
            std::lock_guard Guard(Lock);
            Files.push_back(File);
            Given.push_back(IsGiven);
            if (Files.size() % BatchFiles == 0)
                Work.notify_all();
        });
        std::lock_guard Guard(Lock);
        WalkDone = true;
        Work.notify_all();
        Ready.notify_one();
    });

    // Under Lock: whether batch B can be handed out, and whether B is past the last one.
    auto BatchReady = [&](size_t B) {
        return Files.size() >= (B + 1) * BatchFiles || (WalkDone && B * BatchFiles < Files.size());
    };
    auto PastEnd = [&](size_t B) { return WalkDone && B * BatchFiles >= Files.size(); };

    auto Worker = [&] {
        std::unique_lock Guard(Lock);
        for (;;) {
            Work.wait(Guard, [&] {
                return PastEnd(Next) || (Next < Base + AheadLimit && BatchReady(Next));
            });
            if (PastEnd(Next))
                return;
            const size_t Batch = Next++;
            const size_t First = Batch * BatchFiles;
            const size_t Last = std::min(Files.size(), First + BatchFiles);
            std::vector<std::string> Names(Files.begin() + First, Files.begin() + Last);
            std::vector<bool> AreGiven(Given.begin() + First, Given.begin() + Last);
            Guard.unlock();
            std::vector<TFileResult> Results;
            for (size_t I = 0; I < Names.size(); ++I)
                Results.push_back(ScanFile(Names[I], AreGiven[I], Options.Json));
            Guard.lock();
            const size_t Slot = Batch - Base;
            if (Window.size() <= Slot)
                Window.resize(Slot + 1);
            Window[Slot] = std::move(Results);
            if (Slot == 0)
                Ready.notify_one();
        }
    };
    unsigned Jobs = Options.Jobs ? Options.Jobs : std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> Threads;
    for (unsigned I = 0; I < Jobs; ++I)
        Threads.emplace_back(Worker);

    bool Ok = true;
    for (;;) {
        std::vector<TFileResult> Results;
        {
            std::unique_lock Guard(Lock);
            Ready.wait(Guard, [&] {
                return (!Window.empty() && Window.front().has_value()) || PastEnd(Base);
            });
            if (Window.empty() || !Window.front().has_value())
                break; // past the last batch
            Results = std::move(*Window.front());
            Window.pop_front();
            ++Base;
        }
        Work.notify_all();
        for (const auto& R : Results) {
            if (!R.Problem.empty())
                Warn(R.Problem);
            if (R.Failed)
                Ok = false;
            std::fwrite(R.Output.data(), 1, R.Output.size(), stdout);
        }
    }
    Walker.join();
    for (auto& T : Threads)
        T.join();
    if (std::fflush(stdout) != 0)
        return Fail(ecFailed, "cannot write the output");
    return Ok && WalkOk ? ecSuccess : ecFailed;
}
