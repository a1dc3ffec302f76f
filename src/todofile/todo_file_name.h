#pragma once

#include <string>
#include <string_view>

/// The extension of the project's to-do file.
inline constexpr std::string_view ToDoFileExt = ".todo";

/// True when FileName's extension (from its last "." after the last "/") is ".todo" in any
/// letter case: "a.TODO" and "a.Todo" are to-do files, "a.todo.bak" is not.
bool IsToDoFileName(std::string_view FileName);

/// FileName with its extension replaced by ".todo" (added when it has none): the to-do file
/// of the project file FileName, in the same folder with the same base name.
std::string ToDoFileNameOf(std::string_view FileName);
