#pragma once

#include "host/status.h"

#include <string>
#include <string_view>

class IOTAToDoServices;
class THTMLTable;
class TIniFile;

/// The settings section of the to-do list and the key that holds the table options (the same
/// section the list service keeps its own settings in).
inline constexpr const char* TableSettingsSection = "ToDo List";
inline constexpr const char* TableOptionsKey = "HTMLTableOptions";

/// The name of the options dialog's preview file, written into the program's folder.
inline constexpr const char* PreviewFileBaseName = "ToDoTable.html";

/// The preview file of the options dialog: ProgramFolder (which ends with a '/') followed
/// directly by PreviewFileBaseName. The file is overwritten at each Apply and removed when the
/// dialog closes.
std::string PreviewFileName(std::string_view ProgramFolder);

/// Reads the stored table options (the component stream of Table, kept as binary data) into
/// Table. A missing or empty value leaves Table as it is and is no error. A value that is not
/// hex data, or a damaged stream, gives an error; what could be read stays in Table.
TStatus ReadTableOptions(THTMLTable& Table, const TIniFile& Ini);

/// Stores Table's options in Ini (not saved to disk: call Ini.UpdateFile()).
void WriteTableOptions(const THTMLTable& Table, TIniFile& Ini);

/// The program's table: the one whose options every copy as HTML uses. Null until CreateTable
/// and after FreeTable. The to-do list service creates it when it is built and frees it when
/// it is destroyed. Main thread only, like all three.
THTMLTable* Table();
/// Creates the program's table with the default options when there is none; returns it.
THTMLTable& CreateTable();
/// Frees the program's table; nothing when there is none.
void FreeTable();

/// Copies Items as the program's table to the clipboard, when the main project group has an
/// active project and the table exists; otherwise leaves the clipboard alone. Items must not
/// change meanwhile (hold the list's ItemsLock). Main thread only.
void CopyTableToClipboard(IOTAToDoServices& Items);
