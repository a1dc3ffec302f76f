#pragma once

#include "host/status.h"
#include "table/html_table.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class TIniFile;

/// Text as an integer: decimal digits with an optional sign, blanks around allowed, within the
/// range of int; nothing for any other text, the empty text included.
std::optional<int> TextToInt(std::string_view Text);

/// What the controls of the options dialog's "Table" page hold.
struct TTablePage {
    std::wstring Caption;
    /// The number boxes hold text: converting it is part of Apply.
    std::string BorderWidth = "0";
    std::string Width = "0"; ///< per cent
    std::string CellSpacing = "0";
    std::string CellPadding = "0";
    /// Index of the alignment group: 0 left, 1 right, 2 centre; any other value (no choice)
    /// leaves the table's alignment as it is.
    int Alignment = -1;
    TColor BackgroundColor = 0;
};

/// What the controls of the options dialog's "Columns" page hold.
struct TColumnPage {
    /// The selected entry of the column list, 0 to 5; -1 for none.
    int Selected = 0;
    std::wstring Title;
    std::string Width = "0";  ///< per cent
    std::string Height = "0"; ///< pixels
    std::string FontSize = "3";
    /// Stored in the font's 8-bit code page, cut to 63 characters.
    std::wstring FontFace;
    /// Index of the alignment group (0 left, 1 right, 2 centre) and of the vertical one (0 top,
    /// 1 middle, 2 bottom, 3 baseline); any other value leaves the column's value as it is.
    int Align = -1;
    int VAlign = -1;
    bool Wrap = false;
    bool Visible = false;
    bool Bold = false;
    bool Italic = false;
    TColor FontColor = 0;
};

/// The working side of the table options dialog, free of any widget library so that every
/// front end edits the options the same way: a working copy of the table, six scratch columns
/// (one per entry of the column list), the current column, and the values the controls hold.
/// A front end copies its controls into TablePage() and ColumnPage(), calls the operations its
/// events call, and shows what they leave there. Not thread-safe: main thread only.
///
/// Number boxes convert in two ways. The column boxes are guarded: a text that is not an integer
/// leaves that property as it is (the font size becomes 0). The table boxes are not: such a text
/// makes Apply fail there, after the caption and the boxes before it were taken.
class TTableOptionsModel {
public:
    TTableOptionsModel();
    TTableOptionsModel(const TTableOptionsModel&) = delete;
    TTableOptionsModel& operator=(const TTableOptionsModel&) = delete;

    /// Starts editing Source: the working table and the scratch columns become copies of it,
    /// the column list shows the columns' RefStrings, entry 0 is selected and no column is
    /// current. The controls are not filled: LoadTablePage and ColListClick do that.
    void ReadData(const THTMLTable& Source);
    /// Ends editing with OK: Target becomes a copy of the working table, and its options are
    /// stored in Ini (not saved to disk). Call after a successful Apply.
    void SaveData(THTMLTable& Target, TIniFile& Ini) const;

    /// Fills the "Table" page from the working table.
    void LoadTablePage();
    /// Stores the "Columns" page into the current column (when there is one), then makes the
    /// selected column current and loads the page from it. Nothing more when none is selected.
    void ColListClick();
    /// Takes every control into the working table: the shown column (ColListClick), the scratch
    /// columns, then the "Table" page. Fails with a one-line message naming the box when a table
    /// box does not hold an integer.
    TStatus Apply();

    TTablePage& TablePage() { return FTablePage; }
    TColumnPage& ColumnPage() { return FColumnPage; }
    const THTMLTable& WorkingTable() const { return FWorking; }
    /// The working table, for the preview (SaveToFile).
    THTMLTable& WorkingTable() { return FWorking; }
    /// The scratch column of list entry Index 0 to 5; throws EListError for any other.
    const THTMLColumn& ScratchColumn(int Index) const;
    /// The text of list entry Index 0 to 5 (the column's RefString); throws EListError.
    const std::wstring& ColumnListText(int Index) const;
    /// The list entry whose column the "Columns" page shows, or -1 before the first ColListClick.
    int CurrentColumn() const { return FCurrent; }

private:
    void StoreColumn(THTMLColumn& Column) const;
    void LoadColumn(const THTMLColumn& Column);

    THTMLTable FWorking;
    std::array<std::unique_ptr<THTMLColumn>, THTMLTable::ColumnCount> FScratch;
    std::array<std::wstring, THTMLTable::ColumnCount> FListTexts;
    int FCurrent = -1;
    TTablePage FTablePage;
    TColumnPage FColumnPage;
};
