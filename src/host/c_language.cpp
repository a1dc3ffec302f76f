#include "host/c_language.h"

#include "host/comment_syntax.h"
#include "host/source_updater.h"

#include <cassert>
#include <mutex>

namespace {

std::mutex GInitLock;
int GInitCount = 0;       // guarded by GInitLock
bool GRegistered = false; // guarded by GInitLock; true when the first init found the hook

} // namespace

bool TCLanguageHandlerClass::HandlesFile(const std::string& FileName) const {
    return IsCFamily(LanguageOfFile(FileName));
}

TRef<IInterface> TCLanguageHandlerClass::Create(const std::string& FileName) const {
    return std::make_shared<TSourceUpdater>(FileName, LanguageOfFile(FileName));
}

const TCLanguageHandlerClass& CLanguageHandlerClass() {
    static const TCLanguageHandlerClass Class;
    return Class;
}

void InitializeCLanguage() {
    std::scoped_lock Lock(GInitLock);
    if (GInitCount++ > 0)
        return;
    if (auto Register = RegisterCFileHandlerProc) {
        Register(&CLanguageHandlerClass());
        GRegistered = true;
    }
}

void FinalizeCLanguage() {
    std::scoped_lock Lock(GInitLock);
    assert(GInitCount > 0 && "FinalizeCLanguage without InitializeCLanguage");
    if (GInitCount == 0 || --GInitCount > 0)
        return;
    // Unregister only what we registered; a registry already gone has nothing to remove.
    if (GRegistered) {
        if (auto Unregister = UnregisterCFileHandlerProc)
            Unregister(&CLanguageHandlerClass());
        GRegistered = false;
    }
}
