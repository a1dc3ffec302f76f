#pragma once

#include "host/status.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

class INTAToDoItem;
class IOTAToDoServices;

/// A colour as the table options keep it: 0x00BBGGRR (red in the low byte) for a plain colour.
/// A value whose top byte is 0xFF names a system colour by the index in its low byte.
using TColor = std::int32_t;

/// The plain colour of the three bytes 0 to 255 each.
constexpr TColor RGBColor(int Red, int Green, int Blue) {
    return static_cast<TColor>((Red & 0xFF) | (Green & 0xFF) << 8 | (Blue & 0xFF) << 16);
}

/// Color as 0x00BBGGRR. A system colour reads as its light-theme value (there is no desktop
/// theme to ask); an unknown system colour reads as black. Other bits above the low 24 are
/// dropped.
std::uint32_t ColorToRGB(TColor Color);

/// How colours are written into HTML attributes: a double quote, "#", red, green and blue as two
/// upper-case hex digits each, a double quote. White gives "\"#FFFFFF\"".
std::string ColorText(TColor Color);

/// Horizontal alignment (ordinals 0 to 2); HTML words "LEFT", "RIGHT", "CENTER".
enum TAlignment : unsigned char { taLeft, taRight, taCenter };

/// Vertical cell alignment (ordinals 0 to 3); HTML words "TOP", "MIDDLE", "BOTTOM", "BASELINE".
enum TVAlignment : unsigned char { vaTop, vaMiddle, vaBottom, vaBaseline };

/// The item value a column shows (ordinals 0 to 5, the columns' order in the table).
enum TColType : unsigned char { ctActionItem, ctStatus, ctPriority, ctOwner, ctCategory, ctModule };

/// The user-visible texts of the table: the default column titles and the status words.
namespace TableStrings {
inline constexpr const char* _sActionItem = "Action Item";
inline constexpr const char* _sStatus = "Status";
inline constexpr const char* _sPriority = "Priority";
inline constexpr const char* _sOwner = "Owner";
inline constexpr const char* _sCategory = "Category";
inline constexpr const char* _sModule = "Module";
inline constexpr const char* _sStatusPending = "Pending";
inline constexpr const char* _sStatusDone = "Completed";
} // namespace TableStrings

/// A column's cell font. The options stream stores this record as its 76 raw bytes (integers
/// little-endian), so its layout is fixed: Size at 0, Face at 4, Bold at 68, Italic at 69, two
/// zero bytes, Color at 72. Size 3, no face and colour 0 is the browser's own font.
struct THTMLFont {
    static constexpr size_t RecordSize = 76;
    static constexpr size_t MaxFaceLength = 63;

    /// HTML font size (1 to 7 in browsers; any value is written as it is).
    std::int32_t Size = 3;
    /// Face[0] is the length (0 to 63); Face[1..] the name in the table's 8-bit code page
    /// (table/code_page.h). Bytes past the length are zero.
    std::array<unsigned char, 64> Face{};
    bool Bold = false;
    bool Italic = false;
    std::array<unsigned char, 2> Reserved{};
    /// 0 means no colour, so a black font cannot be asked for.
    TColor Color = 0;

    /// The face name as 8-bit text (Face[1 .. Face[0]]).
    std::string FaceName() const;
    /// Sets the face name, cut to its first 63 bytes.
    void SetFaceName(std::string_view Name);

    /// The 76 bytes the options stream stores.
    std::array<unsigned char, RecordSize> ToBytes() const;
    /// The font of 76 stored bytes: a length byte above 63 reads as 63, a non-zero Bold or
    /// Italic byte as true, the reserved bytes as 0.
    static THTMLFont FromBytes(std::span<const unsigned char, RecordSize> Bytes);

    bool operator==(const THTMLFont&) const = default;
};
static_assert(sizeof(bool) == 1, "THTMLFont stores Bold and Italic as one byte each");
static_assert(sizeof(THTMLFont) == THTMLFont::RecordSize, "the stored font record has 76 bytes");
static_assert(offsetof(THTMLFont, Face) == 4 && offsetof(THTMLFont, Bold) == 68 &&
                  offsetof(THTMLFont, Italic) == 69 && offsetof(THTMLFont, Color) == 72,
              "the stored font record's layout is fixed");

/// One column of the HTML table: which item value it shows and how its cells look. Every
/// setter of a look property rebuilds the cell template (BuildTags), so the template always
/// matches the properties; ColType and Visible do not take part in it. Not thread-safe.
class THTMLColumn {
public:
    /// A column titled Title; Title is also its RefString. Name is the name the options stream
    /// records for it ("a" to "f" in a table). Cells are centred, 0% wide, wrapped and visible.
    explicit THTMLColumn(std::wstring Title, std::string Name = {});
    THTMLColumn(const THTMLColumn&) = delete;
    THTMLColumn& operator=(const THTMLColumn&) = delete;

    /// Rebuilds the cell template from the look properties.
    void BuildTags();
    /// The cell template: a format with three "%s" (opener, cell text, closer) and "%%" for a
    /// per-cent sign, in the 8-bit code page. A '%' of the face name is doubled in it.
    const std::string& TagTemplate() const { return FTags; }

    /// The cell text of Item (UTF-8 fields decoded, the module name widened byte by byte);
    /// the Title when Item is null; "-" for an empty text. Item is only read.
    std::wstring GetData(INTAToDoItem* Item) const;
    /// One data cell line: "  <TD" and the attributes, GetData(Item), "</TD>", CR LF.
    std::wstring Tags(INTAToDoItem* Item) const;
    /// One header cell line: "  <TH" and the attributes, the Title, "</TH>", CR LF, as 8-bit
    /// text: title characters outside the code page come out as '?'.
    std::string TitleTags() const;

    /// Copies every property but ColType (and the name) into Dest and rebuilds its template.
    void AssignTo(THTMLColumn& Dest) const;

    /// The title the column was made with; the options dialog lists columns by it.
    const std::wstring& RefString() const { return FRefString; }
    const std::string& Name() const { return FName; }

    TColType ColType() const { return FColType; }
    void SetColType(TColType Value) { FColType = Value; }
    const THTMLFont& Font() const { return FFont; }
    void SetFont(const THTMLFont& Value);
    TAlignment Align() const { return FAlign; }
    void SetAlign(TAlignment Value);
    TVAlignment VAlign() const { return FVAlign; }
    void SetVAlign(TVAlignment Value);
    /// False writes NOWRAP.
    bool Wrap() const { return FWrap; }
    void SetWrap(bool Value);
    /// Cell height in pixels; 0 or less writes none.
    int Height() const { return FHeight; }
    void SetHeight(int Value);
    /// Cell width in per cent of the table; always written, 0 too.
    int Width() const { return FWidth; }
    void SetWidth(int Value);
    const std::wstring& Title() const { return FTitle; }
    void SetTitle(std::wstring Value);
    /// An invisible column is left out of the table.
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value) { FVisible = Value; }

    /// Equal stored state: every property, the RefString and the name.
    bool operator==(const THTMLColumn& Other) const;

private:
    TColType FColType = ctActionItem;
    std::wstring FRefString;
    std::string FName;
    std::string FTags;
    THTMLFont FFont;
    TAlignment FAlign = taCenter;
    TVAlignment FVAlign = vaMiddle;
    bool FWrap = true;
    int FHeight = 0;
    int FWidth = 0;
    std::wstring FTitle;
    bool FVisible = true;
};

/// The HTML table the to-do list is copied as: the table's look and its six columns, one per
/// TColType in ordinal order, which it owns. Not thread-safe: main thread only.
class THTMLTable {
public:
    static constexpr int ColumnCount = 6;

    /// Default look: left-aligned, border 1, spacing 2, padding 0, 100% wide, white, no
    /// caption; columns "Action Item" (left, 45%), "Status", "Priority" (centred, 5%),
    /// "Owner", "Category" (centred, 15%), "Module" (left, 15%), named "a" to "f".
    THTMLTable();
    THTMLTable(const THTMLTable&) = delete;
    THTMLTable& operator=(const THTMLTable&) = delete;

    /// The column at Index 0 to 5; throws EListError for any other index.
    THTMLColumn& GetColumn(int Index);
    const THTMLColumn& GetColumn(int Index) const;

    /// Builds the HTML of Items' listed items (GetItemCount, then GetItem(0 ..) in the list's
    /// order) into Text(), lines ending in CR LF. Nothing is escaped: "<" in a text reaches the
    /// HTML as it is. Items must not change meanwhile (hold the list's ItemsLock); an
    /// EListError of GetItem propagates.
    void GenerateTable(IOTAToDoServices& Items);
    /// GenerateTable, then empties the host clipboard and puts Text() on it.
    void CopyToClipboard(IOTAToDoServices& Items);
    /// GenerateTable, then replaces FileName by Text() as UTF-16LE after the byte order mark
    /// 0xFF 0xFE, atomically (a symbolic link is written through). An empty Text() gives the
    /// two bytes alone. The error names FileName.
    TStatus SaveToFile(const std::string& FileName, IOTAToDoServices& Items);
    /// The HTML of the last GenerateTable; empty before the first.
    const std::wstring& Text() const { return FText; }

    /// Copies the table's properties and assigns each column to Dest's column of the same index
    /// (THTMLColumn::AssignTo, so column types stay). Text() is not copied.
    void AssignTo(THTMLTable& Dest) const;

    /// Shown above the table when not empty.
    const std::wstring& Caption() const { return FCaption; }
    void SetCaption(std::wstring Value) { FCaption = std::move(Value); }
    TAlignment Align() const { return FAlign; }
    void SetAlign(TAlignment Value) { FAlign = Value; }
    /// In pixels; 0 or less writes no BORDER.
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int Value) { FBorderWidth = Value; }
    /// In pixels; 2, the browsers' default, is not written.
    int CellSpacing() const { return FCellSpacing; }
    void SetCellSpacing(int Value) { FCellSpacing = Value; }
    /// In pixels; 0 or less is not written.
    int CellPadding() const { return FCellPadding; }
    void SetCellPadding(int Value) { FCellPadding = Value; }
    /// In per cent of the page; 0 or less is not written.
    int Width() const { return FWidth; }
    void SetWidth(int Value) { FWidth = Value; }
    TColor BackgroundColor() const { return FBackgroundColor; }
    void SetBackgroundColor(TColor Value) { FBackgroundColor = Value; }

    /// Equal options: every property and every column (Text() aside).
    bool operator==(const THTMLTable& Other) const;

private:
    std::wstring FText;
    std::wstring FCaption;
    TAlignment FAlign = taLeft;
    int FBorderWidth = 1;
    int FCellSpacing = 2;
    int FCellPadding = 0;
    int FWidth = 100;
    TColor FBackgroundColor = RGBColor(0xFF, 0xFF, 0xFF);
    std::array<std::unique_ptr<THTMLColumn>, ColumnCount> FColumns;
};

/// The HTML word of an alignment ("LEFT", "RIGHT", "CENTER"); "LEFT" for a value out of range.
const char* AlignmentWord(TAlignment Value);
/// The HTML word of a vertical alignment; "MIDDLE" for a value out of range.
const char* VAlignmentWord(TVAlignment Value);
