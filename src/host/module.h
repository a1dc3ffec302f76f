#pragma once

#include "host/edit_buffer.h"
#include "host/iinterface.h"
#include "host/itodo_updater.h"
#include "host/status.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <typeinfo>
#include <vector>

class IModule;
class IOTANotifier;
class ISourceCreator;

/// An object that answers interface queries made on something else: a module handler lends its
/// module the interfaces of the updater it holds.
class IInterfaceProvider : public virtual IInterface {
public:
    /// The object that offers the interface whose typeid is Type, or null when there is none.
    virtual TRef<IInterface> QueryInterface(const std::type_info& Type) = 0;
};

/// Self when Type is the typeid of one of TIntfs (all of which Self implements), else null: how
/// an IInterfaceProvider answers from its own interfaces.
template <class... TIntfs, class TSelf>
TRef<IInterface> OfferInterfaces(const std::shared_ptr<TSelf>& Self, const std::type_info& Type) {
    TRef<IInterface> Found;
    ((Found || Type != typeid(TIntfs) ? void() : void(Found = TRef<TIntfs>(Self))), ...);
    return Found;
}

/// A source module of the host: a file it has loaded, with its edit buffer, whether it is open
/// in an editor view, its owners (the project module of a project file) and the handlers other
/// packages attach to it. The host's table holds the modules it created through OpenModule,
/// Load and Create; FindDocModule finds only those. Every member is thread-safe.
///
/// Locks: the host's module table, then a module's own lock; nothing takes them the other way
/// round, and neither is held while the module calls out (events, handlers, the project).
class TModule : public std::enable_shared_from_this<TModule> {
public:
    /// Makes a module that is in no table (a project module, or the object a load path then
    /// registers). FileName should be NormalizeFileName's form.
    TModule(std::string FileName, std::shared_ptr<TEditBuffer> Buffer);
    virtual ~TModule();
    TModule(const TModule&) = delete;
    TModule& operator=(const TModule&) = delete;

    /// Constructs the module object of a load path: TModule or a subclass.
    using TFactory = std::function<std::shared_ptr<TModule>(std::string FileName,
                                                            std::shared_ptr<TEditBuffer> Buffer)>;

    /// Loads FileName as a module of the class Make builds, registers it and runs the module
    /// handler gauntlet on it; returns the module already loaded for the name (whatever its
    /// class) when there is one. With Existing the file must be readable; without it a missing
    /// file gives a new, empty and unsaved module (IsNew).
    static TResult<std::shared_ptr<TModule>> Load(const std::string& FileName, bool Existing,
                                                  const TFactory& Make);

    /// Creates the module of a new file from Creator: the file is named by the creator's source
    /// file (ISourceFile::GetFileName) and written with its text, unless a file of that name
    /// exists already, which is then loaded as it is and never overwritten (a module already
    /// loaded for the name is used as it is). Then Owner (may be null) becomes an owner, the
    /// file is added to the active project when GetIncludeInProject (IProject::AddFile), and an
    /// editor view is opened and made active when GetShowSource. Fails, creating no module, when
    /// the creator names no file or the file cannot be written or read.
    static TResult<std::shared_ptr<TModule>> Create(const TRef<ISourceCreator>& Creator,
                                                    const std::shared_ptr<TModule>& Owner,
                                                    const TFactory& Make);

    /// The current file name (changed by Rename).
    std::string GetFileName() const;
    std::shared_ptr<TEditBuffer> GetBuffer() const { return FBuffer; }
    /// True while the module is open in an editor view.
    bool HasView() const;
    void SetHasView(bool Value);

    /// The code-manager view of this module: the same object on every call. It refers to the
    /// module weakly, so holding it does not keep the module alive.
    TRef<IModule> GetModuleIntf();

    /// Asks the module handlers that implement IInterfaceProvider, in the order they were added,
    /// for the interface whose typeid is Type; the first answer wins. Null when none answers.
    /// The handlers are called without the module's lock.
    TRef<IInterface> QueryInterface(const std::type_info& Type);

    /// The module's tools interface asked for IToDoUpdater: first what a module handler offers
    /// (the .todo updater), else a Pascal updater over this module's buffer for Pascal files,
    /// else whatever the C-file handler registry supplies (through GetCFileHandlerProc); null
    /// when there is nothing.
    TRef<IToDoUpdater> QueryToDoUpdater();

    /// The module's own modified flag: set when its text or (for a project module) one of the
    /// modules it owns changed since the last save.
    bool GetModified() const;
    void SetModified(bool Value);
    /// The module's text was changed: sets the modified flag, then raises EvModuleModified with
    /// this module as sender, holding no lock.
    virtual void Modified();

    /// Writes the buffer to the file (see TEditBuffer::Save). With ChangeName, or when
    /// MustPromptForSaveName, the module first takes the name PromptForSaveNameProc returns
    /// (failing when there is no such hook or it returns ""). Without ForceSave an existing,
    /// unmodified module is not written. Clears the modified flags on success.
    virtual TStatus Save(bool ChangeName, bool ForceSave);
    /// Save(false, true): writes the buffer as it is.
    TStatus Save() { return Save(false, true); }
    /// True when saving must ask for a file name: here, for a new module never saved (IsNew).
    virtual bool MustPromptForSaveName();
    /// True when a closed module may go on the list of recently closed files.
    virtual bool CanAddClosedFile();
    /// True for a module made for a file that did not exist yet, until its first save.
    bool IsNew() const;

    /// Gives the module (and its buffer) the name NewFileName and re-keys it in the host's
    /// table. The files on disk are untouched: the next save writes the new name. Fails when
    /// another loaded module has that name.
    TStatus Rename(const std::string& NewFileName);

    /// Adds Owner (kept weakly; nothing for null, for this module or an owner already present).
    void AddOwner(const std::shared_ptr<TModule>& Owner);
    /// Number of owners added, those gone since included.
    int GetOwnerCount() const;
    /// The owner at Index (0-based), or null when it is gone. Throws EListError for an index
    /// outside 0 .. GetOwnerCount() - 1.
    std::shared_ptr<TModule> GetOwner(int Index) const;

    /// Attaches a handler; the module holds it until removed or until the module goes.
    void AddModuleHandler(TRef<IOTANotifier> Handler);
    /// Detaches Handler (nothing when it is not attached).
    void RemoveModuleHandler(const TRef<IOTANotifier>& Handler);
    /// The lock module handlers serialise their work on this module with; recursive. The module
    /// never takes it itself.
    std::recursive_mutex& GetCriticalSection() { return FCriticalSection; }

    /// Installed by a front end with a file dialog: the name to save Module under, "" for none.
    /// Called on the thread that saves, without locks.
    static inline std::function<std::string(TModule& Module)> PromptForSaveNameProc;

private:
    std::string FFileName;
    std::shared_ptr<TEditBuffer> FBuffer;
    bool FHasView = false;
    bool FModified = false;
    bool FNew = false;
    std::vector<std::weak_ptr<TModule>> FOwners;
    std::vector<TRef<IOTANotifier>> FHandlers;
    TRef<IModule> FModuleIntf;
    mutable std::mutex FLock; // guards every field above but FBuffer (set once)
    std::recursive_mutex FCriticalSection;
};

/// The host's updater of a source file by its language, loaded or not: a Pascal updater, or
/// what the C-file handler registry supplies; null for other files. It edits the file's loaded
/// module and reads the file from disk while none is loaded.
TRef<IToDoUpdater> SourceUpdaterOf(const std::string& FileName);

/// The canonical form under which the host keys files: absolute and lexically normal.
std::string NormalizeFileName(const std::string& FileName);

/// The loaded module of FileName, or null. Names are compared after NormalizeFileName.
std::shared_ptr<TModule> FindDocModule(const std::string& FileName);

/// Every loaded module (those FindDocModule finds), ordered by file name: a snapshot.
std::vector<std::shared_ptr<TModule>> LoadedModules();

/// Loads FileName as a module without an editor view (TModule::Load with a plain TModule), or
/// returns the module already loaded.
TResult<std::shared_ptr<TModule>> OpenModule(const std::string& FileName);

/// Forgets the module of FileName (unsaved changes are dropped); nothing when none is loaded.
/// A module with a view raises EvViewNotification (voRemove), and the active one
/// EvModuleActivated (null), after the table's lock is released.
void CloseModule(const std::string& FileName);

/// The module of the active editor view, or null.
std::shared_ptr<TModule> ActiveModule();
/// Makes Module (null for none) the active one; raises EvModuleActivated when that changed.
void SetActiveModule(std::shared_ptr<TModule> Module);

/// The edit buffer of FileName when the file is open in an editor view, else null.
std::shared_ptr<TEditBuffer> FindEditBuffer(const std::string& FileName);

/// Opens FileName in an editor view (loading the module when needed); with Show the view
/// becomes the active one. A new view raises EvViewNotification (voInsert), a newly active
/// module EvModuleActivated, both after the table's lock is released. A module that stayed
/// loaded without a view (its editor was closed) may have missed changes on disk: when it has
/// no unsaved changes and its file changed, it is read again (and EvModuleModified raised)
/// before the new view is announced.
TStatus CallDefaultOpenProc(const std::string& FileName, bool Show);

/// Closes the editor view of FileName; the module stays loaded. Raises EvViewNotification
/// (voRemove) when there was a view, and EvModuleActivated (null) when it was the active one.
void CloseEditorView(const std::string& FileName);

/// True when FileName names an existing regular file.
bool FileExists(const std::string& FileName);
