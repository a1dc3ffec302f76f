#pragma once

#include "host/status.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <memory>

class INTAToDoItem;
class TEditBuffer;
class TSourceToDoItem;
class TSourceToDoManager;

/// Exit codes of every command.
enum TExitCode { ecSuccess = 0, ecFailed = 1, ecUsage = 2 };

/// Prints "todolist: MESSAGE" on standard error and returns Code.
int Fail(TExitCode Code, const std::string& Message);

/// Prints "todolist: warning: MESSAGE" on standard error.
void Warn(const std::string& Message);

/// Starts the units the commands need (locale, C-file handler registry, C-language handlers),
/// in the order the package starts them; undone at exit.
void StartUnits();

/// A place in a file, as the user wrote it: FILE@OFFSET or FILE:LINE[:COL].
struct TLocation {
    std::string File;
    std::optional<int> Offset; ///< 0-based byte offset of the comment's first byte
    int Line = 0;              ///< 1-based, when Offset is absent
    int Column = 0;            ///< 1-based byte column; 0 when not given
    std::string Text;          ///< the location as written, for messages
};

/// Parses FILE@OFFSET or FILE:LINE[:COL]; the error says what is expected.
TResult<TLocation> ParseLocation(const std::string& Text);

/// 1-based line and byte column of each offset in Offsets (which must be ascending) in Text;
/// lines end at LF, so a CR LF file counts like an LF file.
std::vector<std::pair<int, int>> LineColumns(std::string_view Text,
                                             const std::vector<int>& Offsets);

/// An item of a parsed file and where its comment starts (1-based line and byte column).
struct TPlacedItem {
    std::shared_ptr<TSourceToDoItem> Item;
    int Line = 0;
    int Column = 0;
};

/// The items of a parsed manager in file order, placed in the text of Buffer.
std::vector<TPlacedItem> PlacedItems(TSourceToDoManager& Manager, const TEditBuffer& Buffer);

/// A file name as a user reads it best: relative to the current folder when it lies inside
/// it, else as given (also for an empty name).
std::string ShownFileName(const std::string& FileName);

/// The 0-based offset of the 1-based Line and byte Column (0 or 1: the line's start) in Text;
/// the error says when the line does not exist or is shorter.
TResult<int> OffsetOfLine(std::string_view Text, int Line, int Column);

/// The message for a file whose extension is not one of a recognised language.
std::string NotASourceFile(const std::string& File);

/// The one-line form of an item: "FILE:LINE:COL: TODO|DONE [N] [-oOWNER] [-cCATEGORY]: TEXT".
std::string ItemLine(const std::string& File, int Line, int Column, INTAToDoItem& Item);

/// The JSON Lines form of an item (no final line break).
std::string ItemJson(const std::string& File, int Line, int Column, TSourceToDoItem& Item);

/// Walks Paths and calls Found for each file, in order and without duplicates: a file is taken
/// as given (even with an unknown extension, which is reported later); a folder is walked
/// recursively in name order for recognised source files, skipping hidden folders (.git among
/// them). Problems are reported as warnings and make the result false.
bool CollectFiles(const std::vector<std::string>& Paths,
                  const std::function<void(const std::string& File, bool Given)>& Found);
