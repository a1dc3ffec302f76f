#pragma once

#include "host/creators.h"
#include "host/itodo_updater.h"
#include "host/module.h"

#include <memory>
#include <string>

/// The module of a project's to-do file: a text module that saves without asking for a name,
/// marks its owners (the project module) modified when its text changes, and stays off the
/// list of recently closed files.
class TToDoModule : public TModule {
public:
    /// Use Open or Create: they register the module and give it its handler.
    TToDoModule(std::string FileName, std::shared_ptr<TEditBuffer> Buffer);
    ~TToDoModule() override;

    /// Loads FileName as a to-do module (TModule::Load): Existing true requires the file,
    /// false starts a new, empty module when it is missing. CompanionFileName is accepted for
    /// the host's signature and unused: a text module has no companion file. Returns the module
    /// already loaded for the name (whatever its class) when there is one.
    static TResult<std::shared_ptr<TModule>>
    Open(const std::string& FileName, const std::string& CompanionFileName, bool Existing);
    /// Makes a to-do module from Creator (TModule::Create) owned by Owner.
    static TResult<std::shared_ptr<TModule>> Create(const TRef<ISourceCreator>& Creator,
                                                    const std::shared_ptr<TModule>& Owner);

    using TModule::Save;
    /// Ignores both arguments: always TModule::Save(false, true), so the file is written even
    /// when unchanged (a new to-do file exists on disk after its first save).
    TStatus Save(bool ChangeName, bool ForceSave) override;
    /// False: the name is always the project's.
    bool MustPromptForSaveName() override;
    /// TModule::Modified, then sets the modified flag of every owner still alive.
    void Modified() override;
    /// False.
    bool CanAddClosedFile() override;
};

/// The creator of a new, empty to-do file that is added to the project and not shown.
class TToDoFileCreator : public TDefaultCreator {
public:
    explicit TToDoFileCreator(std::string FileName) : FFileName(std::move(FileName)) {}
    /// A TStringFile named after the to-do file, with empty text.
    TRef<ISourceFile> GetSource() override;
    /// False.
    bool GetShowSource() override;
    /// True.
    bool GetIncludeInProject() override;

private:
    std::string FFileName;
};

/// Finds or makes the to-do module of the active project and returns its updater. ToDoFileName
/// becomes the project file's name with the extension ".todo" (empty without an active
/// project). When the project lists that file, its loaded module is used, else the file is
/// loaded as a TToDoModule; when the project does not list it, or loading fails, a TToDoModule
/// is made through TToDoFileCreator, owned by the project's module: the file is created empty
/// (an existing file is kept as it is), added to the project and not shown. Null without an
/// active project or when no module could be had. Main thread: it may raise project events.
TRef<IToDoUpdater> OpenProjectToDoUpdater(std::string& ToDoFileName);
