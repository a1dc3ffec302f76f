#pragma once

#include "host/todo_intf.h"

/// The host's C-language unit: supplies a TSourceUpdater for every C-family source file
/// (IsCFamily of the file's language) through the C-file handler registry.
class TCLanguageHandlerClass : public TCFileHandlerClass {
public:
    bool HandlesFile(const std::string& FileName) const override;
    /// A TSourceUpdater for FileName.
    TRef<IInterface> Create(const std::string& FileName) const override;
};

/// The unit's one handler class (a static object that lives for the whole program).
const TCLanguageHandlerClass& CLanguageHandlerClass();

/// Registers the handler class through RegisterCFileHandlerProc (nothing when that hook is not
/// set). Calls nest: only the first registers, and only the matching last FinalizeCLanguage
/// unregisters. Call both after the comments unit started and before it shuts down.
void InitializeCLanguage();
void FinalizeCLanguage();
