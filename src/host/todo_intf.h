#pragma once

#include "host/iinterface.h"
#include "host/itodo_manager.h"
#include "host/status.h"

#include <functional>
#include <string>

/// A C-file handler class: the metaclass through which a language package supplies updaters for
/// the C-family files it handles. Registered classes are static objects that live for the whole
/// program; the registry only keeps pointers to them.
class TCFileHandlerClass {
public:
    virtual ~TCFileHandlerClass() = default;
    /// True when this class handles FileName (decided from the name alone).
    virtual bool HandlesFile(const std::string& FileName) const = 0;
    /// Constructs a handler for FileName; the result offers IToDoUpdater.
    virtual TRef<IInterface> Create(const std::string& FileName) const = 0;
};

/// Hooks through which other packages reach the C-file handler registry. They are null until
/// the comments unit starts and again after it shuts down.
extern void (*RegisterCFileHandlerProc)(const TCFileHandlerClass* AClass);
extern void (*UnregisterCFileHandlerProc)(const TCFileHandlerClass* AClass);
extern const TCFileHandlerClass* (*GetCFileHandlerProc)(const std::string& FileName);

/// The key the to-do list is sorted by; the window's Sort menu items carry the value as tag.
enum TToDoSortOrder : unsigned char {
    soActionItem = 0,
    soChecked = 1,
    soKind = 2,
    soPriority = 3,
    soModule = 4,
    soOwner = 5,
    soCategory = 6,
};
inline constexpr int SortOrderCount = 7;

/// Makes to-do managers for the files it can handle. Creators are registered with the to-do
/// list through RegisterToDoManagerCreatorProc; the list asks them in registration order.
class TToDoManagerCreator {
public:
    virtual ~TToDoManagerCreator() = default;
    /// A new manager for FileName, or null.
    virtual TRef<IToDoManager> CreateManager(const std::string& FileName) = 0;
    virtual bool CanHandleFile(const std::string& FileName) = 0;
};

/// Hooks filled by the to-do list unit while it runs (null before start-up and after shut-down).
/// Register hands the creator over: the list frees every creator still registered when it shuts
/// down. Unregister takes it back without freeing it.
extern void (*RegisterToDoManagerCreatorProc)(TToDoManagerCreator* Creator);
extern void (*UnRegisterToDoManagerCreatorProc)(TToDoManagerCreator* Creator);

/// Makes the manager of a source file (SourceFileName empty means FileName); filled by the
/// manager unit, empty without it.
extern std::function<TRef<IToDoManager>(const std::string& FileName,
                                        const std::string& SourceFileName)>
    CreateSourceToDoManagerProc;

/// Makes the manager of the project's to-do file (file name in); filled by the manager unit,
/// empty without it.
extern std::function<TRef<IToDoManager>(const std::string& FileName)> CreateProjectToDoManagerProc;

/// Produces the body of a to-do comment (no opener or closer) from its fields, for example
/// "TODO 2 -oAnn -cUI : Fix the splitter". The to-do parser reads the body back to the same
/// text, owner, category, priority and checked state whenever CheckItemFields accepts them.
/// A priority of 0 is not written.
std::wstring FormatItem(const std::wstring& Text, const std::wstring& Owner,
                        const std::wstring& Category, unsigned char Priority, bool Checked);

/// Tells whether Value is a priority an item can have (0 to 5; 0 is none).
TStatus CheckPriority(long long Value);

/// Tells whether FormatItem can write these values so that they read back unchanged; the error
/// names the first value that cannot (an owner or category holding ":" or "-", a value with
/// leading or trailing blanks, a text starting with a character the grammar skips).
TStatus CheckItemFields(const std::wstring& Text, const std::wstring& Owner,
                        const std::wstring& Category);
