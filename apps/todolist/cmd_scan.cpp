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
        R.Problem = File + ": not a recognised source file (by its extension)";
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
        int Count = Manager->GetItemCount();
        if (Count > 0) {
            std::vector<std::shared_ptr<TSourceToDoItem>> Items;
            std::vector<int> Offsets;
            for (int I = 0; I < Count; ++I) {
                auto Item = std::dynamic_pointer_cast<TSourceToDoItem>(Manager->GetItem(I));
                Offsets.push_back(Item->GetComment().Start);
                Items.push_back(std::move(Item));
            }
            std::vector<std::pair<int, int>> Where;
            Buffer->WithText([&](std::string_view Text) { Where = LineColumns(Text, Offsets); });
            for (int I = 0; I < Count; ++I) {
                auto [Line, Column] = Where[I];
                R.Output += Json ? ItemJson(File, Line, Column, *Items[I])
                                 : ItemLine(File, Line, Column, *Items[I]);
                R.Output += '\n';
            }
        }
    }
    CloseModule(File);
    return R;
}

} // namespace

int RunScan(const TScanOptions& Options) {
    TFileList List = CollectFiles(Options.Paths);
    bool Ok = List.Ok;
    const size_t N = List.Files.size();
    const size_t Batches = (N + BatchFiles - 1) / BatchFiles;
    unsigned Jobs = Options.Jobs ? Options.Jobs : std::max(1u, std::thread::hardware_concurrency());
    Jobs = static_cast<unsigned>(std::min<size_t>(Jobs, std::max<size_t>(Batches, 1)));

    std::mutex Lock;
    std::condition_variable Ready;                              // a batch was finished
    std::condition_variable Printed;                            // the printer moved on
    std::deque<std::optional<std::vector<TFileResult>>> Window; // batches from Base on
    size_t Base = 0;
    size_t Next = 0;

    auto Worker = [&] {
        for (;;) {
            size_t Batch;
            {
                std::unique_lock Guard(Lock);
                Printed.wait(Guard, [&] { return Next >= Batches || Next < Base + AheadLimit; });
                if (Next >= Batches)
                    return;
                Batch = Next++;
            }
            std::vector<TFileResult> Results;
            for (size_t I = Batch * BatchFiles; I < std::min(N, (Batch + 1) * BatchFiles); ++I)
                Results.push_back(ScanFile(List.Files[I], List.Given[I], Options.Json));
            std::lock_guard Guard(Lock);
            size_t Slot = Batch - Base;
            if (Window.size() <= Slot)
                Window.resize(Slot + 1);
            Window[Slot] = std::move(Results);
            if (Slot == 0)
                Ready.notify_one();
        }
    };
    std::vector<std::thread> Threads;
    for (unsigned I = 0; I < Jobs; ++I)
        Threads.emplace_back(Worker);

    while (Base < Batches) {
        std::vector<TFileResult> Results;
        {
            std::unique_lock Guard(Lock);
            Ready.wait(Guard, [&] { return !Window.empty() && Window.front().has_value(); });
            Results = std::move(*Window.front());
            Window.pop_front();
            ++Base;
        }
        Printed.notify_all();
        for (const auto& R : Results) {
            if (!R.Problem.empty())
                Warn(R.Problem);
            if (R.Failed)
                Ok = false;
            std::fwrite(R.Output.data(), 1, R.Output.size(), stdout);
        }
    }
    for (auto& T : Threads)
        T.join();
    if (std::fflush(stdout) != 0)
        return Fail(ecFailed, "cannot write the output");
    return Ok ? ecSuccess : ecFailed;
}
