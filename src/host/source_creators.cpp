#include "host/source_creators.h"

#include "host/comment_syntax.h"

namespace {

TRef<IToDoManager> CreateSourceManager(const std::string& FileName) {
    if (!CreateSourceToDoManagerProc)
        return nullptr;
    return CreateSourceToDoManagerProc(FileName, {});
}

} // namespace

TRef<IToDoManager> TPascalManagerCreator::CreateManager(const std::string& FileName) {
    return CreateSourceManager(FileName);
}

bool TPascalManagerCreator::CanHandleFile(const std::string& FileName) {
    return LanguageOfFile(FileName) == TLanguage::Pascal;
}

TRef<IToDoManager> TCFileManagerCreator::CreateManager(const std::string& FileName) {
    return CreateSourceManager(FileName);
}

bool TCFileManagerCreator::CanHandleFile(const std::string& FileName) {
    auto GetHandler = GetCFileHandlerProc;
    return GetHandler && GetHandler(FileName);
}

void RegisterSourceManagerCreators() {
    if (auto Register = RegisterToDoManagerCreatorProc) {
        Register(new TPascalManagerCreator);
        Register(new TCFileManagerCreator);
    }
}
