#pragma once

#include <optional>
#include <string>
#include <vector>

/// The options of "todolist query", kept as typed; RunQuery checks them.
struct TQueryCommandOptions {
    std::optional<std::string> Socket; ///< the window's socket; found when not given
    std::vector<std::string> Args;     ///< the query's name, then its numbers
};

/// Asks the running window one query and prints its answer on one line: the result, the four
/// rectangle numbers of cell-rect, or the text of text. Bad arguments exit with ecUsage, a
/// window that cannot be reached or answers nonsense with ecFailed. Returns the exit code.
int RunQuery(const TQueryCommandOptions& Options);
