#pragma once

#include "comments/todo_comment.h"
#include "host/itodo_manager.h"
#include "items/source_todo_item.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

/// Owns the to-do items of one source file: finds the file's updater, rebuilds the item list
/// from the updater's comments, and carries out the character rewrites items ask for.
/// Parse may run on the parse thread while other threads read items; the item list and the
/// names are guarded by the manager's own lock, the parsed flag is atomic.
class TSourceToDoManager : public ISourceToDoManager,
                           public std::enable_shared_from_this<TSourceToDoManager> {
public:
    /// An empty SourceFileName is replaced by FileName. Managers live in shared_ptrs (items keep
    /// a weak reference), so create them with Create or std::make_shared.
    TSourceToDoManager(std::string FileName, std::string SourceFileName);
    static std::shared_ptr<TSourceToDoManager> Create(std::string FileName,
                                                      std::string SourceFileName = {});

    /// A new item bound to this manager.
    virtual std::shared_ptr<TSourceToDoItem> CreateItem(std::string S, int Pos,
                                                        const TToDoCommentFields& Fields);
    /// Positions are 1-based file positions (the updater gets them minus 1). Both do nothing
    /// without an updater, clear the parsed flag directly and do not wake the parse thread.
    virtual TStatus Delete(int StartPos, int EndPos, int Section);
    virtual TStatus Add(int Pos, std::string_view Text, int Section);
    bool InProject() override;
    void Parse() override;
    void ProjectChanged() override;
    /// False also tells the host's parse thread that something was modified.
    void SetIsParsed(bool Value) override;
    /// Nothing for a source file.
    TStatus AddItem(int Pos, const std::string& Text) override;
    TRef<IToDoUpdater> GetUpdater() override;
    /// Parses one comment delivered by the updater and appends an item when it is a to-do.
    virtual void ParseComment(std::string_view S, int Pos);

    bool GetIsParsed() override;
    bool IsManager(const std::string& FileName) override;
    void Rename(const std::string& OldName, const std::string& NewName) override;
    TRef<INTAToDoItem> GetItem(int Index) override;
    int GetItemCount() override;
    void SetUpdater(TRef<IToDoUpdater> Updater) override;

    std::string GetFileName() const;
    std::string GetSourceFileName() const;
    /// The refusal of a change to a file without updater.
    TStatus NoUpdater() const;
    /// True when the host has a module for the file name and it is open in an editor view.
    bool HasView();
    /// Counts the parses begun; an item is valid only while this still equals the value it
    /// was made under. Any thread.
    unsigned GetParseSerial() const { return FParseSerial.load(); }

protected:
    /// The item list being built by the running Parse (ParseComment appends here).
    std::vector<TRef<INTAToDoItem>> FParsing;

private:
    /// Marks the file changed: the parsed flag goes false and a running Parse will not set it.
    void MarkChanged();

    // Lock order: FParseLock, then the updater's own locks (its ParseItems calls ParseComment),
    // then FLock. FLock is never held while calling the updater or the host.
    std::mutex FParseLock;    // one Parse at a time; guards FParsing
    mutable std::mutex FLock; // guards the names, the item list and the updater
    std::atomic<unsigned> FParseSerial{0};
    std::atomic<unsigned> FChangeCount{0}; // bumped under FLock whenever the flag is cleared
    std::vector<TRef<INTAToDoItem>> FItems;
    std::atomic<bool> FParsed{false};
    std::string FFileName;
    std::string FSourceFileName;
    TRef<IToDoUpdater> FUpdater;
};

/// Asks the to-do list to drop a manager; filled by the list service, null without one.
extern std::function<void(const TRef<IToDoManager>& Manager)> DeleteToDoManagerProc;
/// Sets the to-do list's project manager (null clears it); filled by the list service.
extern std::function<void(TRef<ISourceToDoManager> Manager)> SetProjectManagerProc;

/// True when two file names are equal without regard to case (compared as decoded text).
bool SameFileNameText(std::string_view A, std::string_view B);
