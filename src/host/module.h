#pragma once

#include "host/edit_buffer.h"
#include "host/iinterface.h"
#include "host/itodo_updater.h"
#include "host/status.h"

#include <memory>
#include <string>

/// A file the host has loaded: its edit buffer, and whether it is open in an editor view.
/// Modules are created and found only through the functions below.
class TModule : public std::enable_shared_from_this<TModule> {
public:
    TModule(std::string FileName, std::shared_ptr<TEditBuffer> Buffer);

    std::string GetFileName() const;
    std::shared_ptr<TEditBuffer> GetBuffer() const { return FBuffer; }
    /// True while the module is open in an editor view.
    bool HasView() const;
    void SetHasView(bool Value);

    /// The module's tools interface asked for IToDoUpdater: a Pascal updater over this
    /// module's buffer for Pascal files; for other files whatever the C-file handler registry
    /// supplies (through GetCFileHandlerProc); null when there is nothing.
    TRef<IToDoUpdater> QueryToDoUpdater();

    /// The module's own modified flag: set when its text or (for a project module) one of the
    /// modules it owns changed since the last save.
    bool GetModified() const;
    void SetModified(bool Value);

    /// Saves the buffer (see TEditBuffer::Save).
    TStatus Save();

private:
    std::string FFileName;
    std::shared_ptr<TEditBuffer> FBuffer;
    bool FHasView = false;
    bool FModified = false;
    mutable std::mutex FLock;
};

/// The canonical form under which the host keys files: absolute and lexically normal.
std::string NormalizeFileName(const std::string& FileName);

/// The loaded module of FileName, or null. Names are compared after NormalizeFileName.
std::shared_ptr<TModule> FindDocModule(const std::string& FileName);

/// Loads FileName as a module without an editor view, or returns the module already loaded.
TResult<std::shared_ptr<TModule>> OpenModule(const std::string& FileName);

/// Forgets the module of FileName (unsaved changes are dropped); nothing when none is loaded.
void CloseModule(const std::string& FileName);

/// The module of the active editor view, or null.
std::shared_ptr<TModule> ActiveModule();
void SetActiveModule(std::shared_ptr<TModule> Module);

/// The edit buffer of FileName when the file is open in an editor view, else null.
std::shared_ptr<TEditBuffer> FindEditBuffer(const std::string& FileName);

/// Opens FileName in an editor view (loading the module when needed); with Show the view
/// becomes the active one.
TStatus CallDefaultOpenProc(const std::string& FileName, bool Show);

/// Closes the editor view of FileName; the module stays loaded.
void CloseEditorView(const std::string& FileName);

/// True when FileName names an existing regular file.
bool FileExists(const std::string& FileName);
