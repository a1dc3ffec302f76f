#pragma once

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
