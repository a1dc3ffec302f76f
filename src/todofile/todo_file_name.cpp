#include "todofile/todo_file_name.h"

namespace {

/// The position of the extension's "." in FileName, or npos when the last name has none.
size_t ExtensionStart(std::string_view FileName) {
    const size_t Dot = FileName.find_last_of("./");
    return Dot != std::string_view::npos && FileName[Dot] == '.' ? Dot : std::string_view::npos;
}

char LowerAscii(char C) {
    return C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C;
}

} // namespace

bool IsToDoFileName(std::string_view FileName) {
    const size_t Dot = ExtensionStart(FileName);
    if (Dot == std::string_view::npos || FileName.size() - Dot != ToDoFileExt.size())
        return false;
    for (size_t I = 0; I < ToDoFileExt.size(); ++I)
        if (LowerAscii(FileName[Dot + I]) != ToDoFileExt[I])
            return false;
    return true;
}

std::string ToDoFileNameOf(std::string_view FileName) {
    std::string Result(FileName.substr(0, ExtensionStart(FileName)));
    Result += ToDoFileExt;
    return Result;
}
