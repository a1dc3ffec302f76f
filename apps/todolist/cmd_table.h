#pragma once

#include <optional>
#include <string>
#include <vector>

/// The options of "todolist table". Every value is kept as typed; RunTable checks it.
struct TTableCommandOptions {
    bool Reset = false;                 ///< start from the default options
    bool Show = false;                  ///< print the options (after the changes)
    std::optional<std::string> Preview; ///< write the preview file here
    std::vector<std::string> Paths;     ///< files and folders whose items fill the preview

    // The table's look.
    std::optional<std::string> Caption;
    std::optional<std::string> Border;
    std::optional<std::string> CellSpacing;
    std::optional<std::string> CellPadding;
    std::optional<std::string> Background; ///< #RRGGBB

    /// The table's alignment and width, or the column's when Column is given.
    std::optional<std::string> Align;
    std::optional<std::string> Width;

    // One column's look.
    std::optional<std::string> Column; ///< action-item, status, priority, owner, category, module
    std::optional<std::string> Title;
    std::optional<std::string> VAlign;
    std::optional<std::string> Height;
    std::optional<bool> Wrap;
    std::optional<bool> Visible;
    std::optional<std::string> FontSize;
    std::optional<std::string> FontFace;
    std::optional<bool> FontBold;
    std::optional<bool> FontItalic;
    std::optional<std::string> FontColor; ///< #RRGGBB or none
};

/// Changes the stored HTML table options through the options dialog's logic and saves them,
/// prints them (Show) and writes the preview file (Preview). A value that is not valid is
/// refused with one line on stderr before anything is saved. Returns the exit code.
int RunTable(const TTableCommandOptions& Options);
