#pragma once

#include "host/todo_intf.h"
#include "rows.h"

#include <optional>
#include <string>
#include <vector>

struct TScanOptions {
    std::vector<std::string> Paths;
    bool Json = false;
    unsigned Jobs = 0; ///< worker threads; 0 means one per core
};
int RunScan(const TScanOptions& Options);

struct TEditOptions {
    std::string Location;
    std::optional<std::string> Text;
    std::optional<int> Priority;
    std::optional<std::string> Owner;
    std::optional<std::string> Category;
    std::optional<bool> Checked;
    TRowView View; ///< the list's order and filter when Location is #N
};
int RunEdit(const TEditOptions& Options);

struct TDeleteOptions {
    std::string Location;
    TRowView View;
};
int RunDelete(const TDeleteOptions& Options);

enum class TListFormat { Table, Tsv, Html };

struct TListOptions {
    std::vector<std::string> Paths;
    TRowView View;
    TListFormat Format = TListFormat::Table;
};
int RunList(const TListOptions& Options);

class TToDoList;
/// The listed items as `list` prints them in Format.
std::string ListText(TToDoList& List, TListFormat Format);

struct TFilterOptions {
    std::vector<std::string> Paths;
    std::vector<std::string> HideCategories, ShowCategories;
    std::vector<std::string> HideOwners, ShowOwners;
    std::vector<std::string> HideOrigins, ShowOrigins;
    bool ShowAll = false;
    bool List = false;
};
int RunFilter(const TFilterOptions& Options);

struct TAddOptions {
    std::string Text;
    std::optional<int> Priority;
    std::string Owner;
    std::string Category;
    std::optional<std::string> At; ///< FILE:LINE[:COL] or FILE@OFFSET: a comment in that file
};
int RunAdd(const TAddOptions& Options);

struct TWatchOptions {
    TListOptions List;
};
int RunWatch(const TWatchOptions& Options);
