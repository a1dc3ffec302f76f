#pragma once

// Rows of the list as `todolist list` showed them last, so that `#N` names what the user saw.

#include "host/intatodo_item.h"
#include "host/status.h"
#include "host/todo_intf.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class TListSession;
class TSourceToDoItem;
class TToDoList;

/// How the rows are ordered and filtered: the options `list` was given.
struct TRowView {
    TToDoSortOrder Sort = soModule;
    bool Descending = false;
    bool ShowCompleted = false;
};

/// Applies View to the service (sort order and direction as the window's Sort menu sets them,
/// completed items shown or not).
void ApplyRowView(TToDoList& List, const TRowView& View);

/// Remembers the listed rows (file, offset and whole comment of each) for a later `#N`, in the
/// folder of the settings file. Only rows of items that come from files are kept. A record that
/// cannot be written is skipped silently.
void RecordRows(TToDoList& List);

/// "#N" → N (1-based); nullopt when Text is not of that form.
std::optional<int> RowNumber(const std::string& Text);

/// The item of row N (1-based) of the session's list as it is now: parsed with the saved filters
/// and View. When `list` recorded the rows before, row N must still be the same comment (same
/// file and text), else the error says that the list changed. The item's file is opened in an
/// editor view when it is a source file, so that it can be changed.
TResult<std::shared_ptr<TSourceToDoItem>> ItemOfRow(TListSession& Session, int N,
                                                    const TRowView& View);

/// Saves the module of the item's file (the source file or the project's to-do file).
TStatus SaveItemFile(TSourceToDoItem& Item);

/// The file an item belongs to: its source file, or the to-do file for a project item.
std::string ItemFile(TSourceToDoItem& Item);

/// The one-line form (ItemLine) of the item starting at Offset in File once the session's parse
/// thread has parsed it again, or empty when there is none there now.
std::string DescribeItemAt(TListSession& Session, TSourceToDoItem& Item, int Offset);
