#pragma once

#include "host/todo_intf.h"

/// The host's manager creator for Pascal source files.
class TPascalManagerCreator : public TToDoManagerCreator {
public:
    TRef<IToDoManager> CreateManager(const std::string& FileName) override;
    bool CanHandleFile(const std::string& FileName) override;
};

/// The host's manager creator for the files a registered C-file handler class accepts.
class TCFileManagerCreator : public TToDoManagerCreator {
public:
    TRef<IToDoManager> CreateManager(const std::string& FileName) override;
    bool CanHandleFile(const std::string& FileName) override;
};

/// Registers one creator of each kind through RegisterToDoManagerCreatorProc, Pascal first, as
/// the host does once the package has started; nothing when the hook is not set. The to-do list
/// owns them from then on and frees them when it shuts down.
void RegisterSourceManagerCreators();
