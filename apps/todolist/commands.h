#pragma once

#include "host/todo_intf.h"

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
};
int RunEdit(const TEditOptions& Options);

struct TDeleteOptions {
    std::string Location;
};
int RunDelete(const TDeleteOptions& Options);

enum class TListFormat { Table, Tsv };

struct TListOptions {
    std::vector<std::string> Paths;
    TToDoSortOrder Sort = soModule;
    bool Descending = false;
    bool ShowCompleted = false;
    TListFormat Format = TListFormat::Table;
};
int RunList(const TListOptions& Options);

struct TFilterOptions {
    std::vector<std::string> Paths;
    std::vector<std::string> HideCategories, ShowCategories;
    std::vector<std::string> HideOwners, ShowOwners;
    std::vector<std::string> HideOrigins, ShowOrigins;
    bool ShowAll = false;
    bool List = false;
};
int RunFilter(const TFilterOptions& Options);
