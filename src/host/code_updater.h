#pragma once

#include "host/imodule.h"
#include "host/status.h"

#include <mutex>
#include <string>
#include <vector>

/// Base of the updaters that edit a module's text through the code manager: edits are recorded
/// first, in 0-based byte offsets of the text as it is before the commit, and CommitUpdates
/// applies them together in one step under the buffer's lock, so no reader ever sees half of a
/// change. The edits of one commit must together replace one contiguous range: deletions that
/// cover it without gaps and insertions anywhere in it (or a lone insertion point); UpdateText
/// is a deletion plus an insertion at its start. Insertions land in the order of their
/// positions, those at the same position in the order they were recorded.
///
/// Thread-safe: recording and committing take UpdateLock (recursive), which a subclass holds
/// across record-and-commit so that edits of two threads do not mix.
class TCodeUpdater {
public:
    /// Works on Module (kept for the updater's lifetime; may be null, then every commit fails).
    explicit TCodeUpdater(TRef<IModule> Module);
    virtual ~TCodeUpdater() = default;
    TCodeUpdater(const TCodeUpdater&) = delete;
    TCodeUpdater& operator=(const TCodeUpdater&) = delete;

    /// Records removing the bytes [StartPos, EndPos). The module has one section; Section is
    /// accepted for the callers' sake and ignored.
    void DeleteBySection(int Section, int StartPos, int EndPos);
    /// Records inserting Text before the byte at Pos.
    void AddBySection(int Section, int Pos, std::string Text);
    /// Applies and forgets the recorded edits. Fails, changing nothing, when the module is gone,
    /// when a range lies outside the text or is reversed, or when the edits leave a gap; the
    /// edits are forgotten then too. After a change it calls the module's Modified (holding
    /// UpdateLock but no host lock), so an edit made here marks the module and its owners.
    TStatus CommitUpdates();
    /// True when there is no module to edit any more.
    bool GetReadOnly();

    const TRef<IModule>& GetModule() const { return FModule; }

protected:
    std::recursive_mutex& UpdateLock() { return FUpdateLock; }

private:
    struct TEdit {
        int StartPos;
        int EndPos; ///< equals StartPos for an insertion
        std::string Text;
        bool Insert;
    };

    const TRef<IModule> FModule;
    std::recursive_mutex FUpdateLock; // guards FPending
    std::vector<TEdit> FPending;
};
