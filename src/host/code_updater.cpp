#include "host/code_updater.h"

#include "host/edit_buffer.h"
#include "host/module.h"

#include <algorithm>
#include <utility>

TCodeUpdater::TCodeUpdater(TRef<IModule> Module) : FModule(std::move(Module)) {}

void TCodeUpdater::DeleteBySection(int /*Section*/, int StartPos, int EndPos) {
    std::scoped_lock Lock(FUpdateLock);
    FPending.push_back({StartPos, EndPos, {}, false});
}

void TCodeUpdater::AddBySection(int /*Section*/, int Pos, std::string Text) {
    std::scoped_lock Lock(FUpdateLock);
    FPending.push_back({Pos, Pos, std::move(Text), true});
}

bool TCodeUpdater::GetReadOnly() {
    return !FModule || !FModule->GetSource();
}

TStatus TCodeUpdater::CommitUpdates() {
    std::scoped_lock Lock(FUpdateLock);
    std::vector<TEdit> Edits = std::exchange(FPending, {});
    if (Edits.empty())
        return {};
    auto Buffer = FModule ? FModule->GetSource() : nullptr;
    if (!Buffer)
        return TStatus::Error("the module of this updater is closed");

    int SpanStart = Edits.front().StartPos, SpanEnd = Edits.front().EndPos;
    for (const TEdit& E : Edits) {
        if (E.StartPos < 0 || E.EndPos < E.StartPos)
            return TStatus::Error("invalid range " + std::to_string(E.StartPos) + ".." +
                                  std::to_string(E.EndPos));
        SpanStart = std::min(SpanStart, E.StartPos);
        SpanEnd = std::max(SpanEnd, E.EndPos);
    }
    // Only the inserted bytes survive inside the span, so the deletions must cover all of it:
    // an untouched byte in between would need the old text, which only the buffer's lock
    // could read together with the change.
    std::stable_sort(Edits.begin(), Edits.end(),
                     [](const TEdit& A, const TEdit& B) { return A.StartPos < B.StartPos; });
    int Covered = SpanStart;
    std::string Replacement;
    for (const TEdit& E : Edits) {
        if (E.Insert) {
            Replacement += E.Text;
            continue;
        }
        if (E.StartPos > Covered)
            break;
        Covered = std::max(Covered, E.EndPos);
    }
    if (Covered < SpanEnd)
        return TStatus::Error("the edits of one commit must cover one contiguous range");
    if (SpanStart == SpanEnd && Replacement.empty())
        return {};
    if (TStatus S = Buffer->Replace(SpanStart, SpanEnd, Replacement); !S)
        return S;
    if (auto Module = FModule->GetDocModule())
        Module->Modified();
    return {};
}
