#pragma once

// The host's events: what an IDE tells its packages about projects, modules and editor views.
// Each event is one object for the whole program; handlers are added and removed by token.
// The host raises them on the main thread, after the change they report and outside its own
// locks, so a handler may call back into the host (find modules, ask the project).

#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class IProject;
class TCustomFileEntry;
class TEditBuffer;
class TModule;
class TProjectGroup;

/// One event: a set of handlers called in the order they were added.
template <class... TArgs> class TEvent {
public:
    using THandler = std::function<void(TArgs...)>;
    using TToken = unsigned;

    /// Adds Handler; the token removes it again.
    TToken Add(THandler Handler) {
        std::scoped_lock Lock(FLock);
        FHandlers.emplace(++FLast, std::move(Handler));
        return FLast;
    }
    /// Removes the handler of Token (nothing for an unknown token). A handler removed while
    /// the event is being raised is not called after Remove returns, unless it was already
    /// running.
    void Remove(TToken Token) {
        std::scoped_lock Lock(FLock);
        FHandlers.erase(Token);
    }
    /// Calls every handler. The lock is not held during the calls, so handlers may add or
    /// remove handlers (taking effect from the next raise, except that removed ones are
    /// skipped).
    void Raise(TArgs... Args) const {
        ForEachHandler([&](const THandler& Handler) { Handler(Args...); });
    }
    /// Raise, except that an exception from a handler does not stop the others: OnError is
    /// called with it (std::exception_ptr) and the next handler runs. For an event that several
    /// packages handle independently, where one failing must not keep the rest from running.
    template <class TOnError> void RaiseCatching(TOnError&& OnError, TArgs... Args) const {
        ForEachHandler([&](const THandler& Handler) {
            try {
                Handler(Args...);
            } catch (...) {
                OnError(std::current_exception());
            }
        });
    }
    bool Empty() const {
        std::scoped_lock Lock(FLock);
        return FHandlers.empty();
    }

private:
    /// Calls Call with each handler in turn, holding the lock only to find them.
    template <class TCall> void ForEachHandler(TCall&& Call) const {
        std::vector<TToken> Tokens;
        {
            std::scoped_lock Lock(FLock);
            for (const auto& [Token, Handler] : FHandlers)
                Tokens.push_back(Token);
        }
        for (TToken Token : Tokens) {
            THandler Handler;
            {
                std::scoped_lock Lock(FLock);
                auto It = FHandlers.find(Token);
                if (It == FHandlers.end())
                    continue;
                Handler = It->second;
            }
            Call(Handler);
        }
    }

    mutable std::mutex FLock;
    std::map<TToken, THandler> FHandlers; // ordered by token, so by the order of Add
    TToken FLast = 0;
};

/// An editor view of a module, as the view events hand it over.
class TEditView {
public:
    explicit TEditView(std::shared_ptr<TModule> Module) : FModule(std::move(Module)) {}
    /// The module the view shows; null for none.
    const std::shared_ptr<TModule>& GetModule() const { return FModule; }
    /// The view's edit buffer; null when the view has none.
    std::shared_ptr<TEditBuffer> GetBuffer() const;

private:
    std::shared_ptr<TModule> FModule;
};

/// The operation a view notification reports.
enum TViewOperation : unsigned char { voInsert = 0, voRemove = 1 };

/// The active project changed (also to none, and when a project was reloaded).
TEvent<TProjectGroup&>& EvActiveProjectChanged();
/// A module's text changed: edited in an editor, saved, or changed on disk by another program.
/// The sender is the module when one is loaded, else null.
TEvent<TModule*, const std::string&>& EvModuleModified();
/// A file was removed from the project (file name).
TEvent<IProject&, const std::string&>& EvProjectModuleRemoved();
/// A file was added to the project (its entry).
TEvent<IProject&, TCustomFileEntry&>& EvProjectModuleAdded();
/// A file of the project was renamed (old and new file name).
TEvent<IProject&, const std::string&, const std::string&>& EvProjectModuleRenamed();
/// The project itself was renamed (old and new project file name).
TEvent<IProject&, const std::string&, const std::string&>& EvProjectRenamed();
/// An editor view was opened (voInsert) or closed (voRemove).
TEvent<TEditView*, TViewOperation>& EvViewNotification();
/// A module became the active one in the editor (null when none is active any more).
TEvent<TModule*>& EvModuleActivated();

/// The host's main window now exists (raised once, on the main thread, after the packages
/// loaded at start-up were registered). Packages create what needs the main window here.
TEvent<>& EvMainFormCreated();

/// Raises EvModuleModified for FileName with its loaded module (if any) as the sender.
void NotifyModuleModified(const std::string& FileName);
