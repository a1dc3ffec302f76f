// todolist table: the look of the HTML table that "Copy as table" makes. The changes go through
// the options dialog's own logic (the working table, the guarded column boxes, Apply), so the
// command stores exactly what the dialog would store for the same entries.
#include "cmd_table.h"

#include "cli_common.h"
#include "list_session.h"

#include "host/ini_file.h"
#include "host/utf8.h"
#include "table/code_page.h"
#include "table/html_table.h"
#include "table/table_options.h"
#include "table/table_options_model.h"

#include <iostream>
#include <mutex>

namespace {

constexpr const char* ColumnKeys[] = {"action-item", "status",   "priority",
                                      "owner",       "category", "module"};
constexpr const char* AlignKeys[] = {"left", "right", "center"};
constexpr const char* VAlignKeys[] = {"top", "middle", "bottom", "baseline"};

/// The index of Value in Keys, or -1.
template <size_t N> int IndexOf(const char* const (&Keys)[N], const std::string& Value) {
    for (size_t I = 0; I < N; ++I)
        if (Value == Keys[I])
            return static_cast<int>(I);
    return -1;
}

template <size_t N> std::string KeyList(const char* const (&Keys)[N]) {
    std::string List;
    for (size_t I = 0; I < N; ++I)
        List += (I == 0 ? "" : I + 1 == N ? " or " : ", ") + std::string(Keys[I]);
    return List;
}

/// What the options asked for, checked.
struct TChecked {
    int Column = -1;
    int Align = -1;
    int VAlign = -1;
    std::optional<TColor> Background;
    std::optional<TColor> FontColor;
};

/// A colour written #RRGGBB (the '#' may be left out); "none" too when NoneAllowed (colour 0).
std::optional<TColor> ParseColor(const std::string& Text, bool NoneAllowed) {
    if (NoneAllowed && Text == "none")
        return 0;
    std::string_view Hex = Text;
    if (!Hex.empty() && Hex.front() == '#')
        Hex.remove_prefix(1);
    if (Hex.size() != 6 || Hex.find_first_not_of("0123456789abcdefABCDEF") != Hex.npos)
        return std::nullopt;
    const unsigned long RGB = std::stoul(std::string(Hex), nullptr, 16);
    return RGBColor(static_cast<int>(RGB >> 16), static_cast<int>(RGB >> 8 & 0xFF),
                    static_cast<int>(RGB & 0xFF));
}

/// #RRGGBB, as the options take it.
std::string RGBText(TColor Color) {
    const std::string Quoted = ColorText(Color);
    return Quoted.substr(1, Quoted.size() - 2);
}

/// Checks every value; the first bad one gives the error.
TResult<TChecked> Check(const TTableCommandOptions& O) {
    TChecked C;
    const bool ForColumn = O.Column.has_value();
    if (ForColumn && (C.Column = IndexOf(ColumnKeys, *O.Column)) < 0)
        return TStatus::Error("--column: '" + *O.Column + "' is not a column (" +
                              KeyList(ColumnKeys) + ")");
    if (O.Align && (C.Align = IndexOf(AlignKeys, *O.Align)) < 0)
        return TStatus::Error("--align: '" + *O.Align + "' is not " + KeyList(AlignKeys));
    if (O.VAlign && (C.VAlign = IndexOf(VAlignKeys, *O.VAlign)) < 0)
        return TStatus::Error("--valign: '" + *O.VAlign + "' is not " + KeyList(VAlignKeys));
    // The limits of the dialog's up-down buttons.
    const struct {
        const std::optional<std::string>& Text;
        const char* Name;
        int Min, Max;
    } Numbers[] = {{O.Border, "--border", 0, 100},
                   {O.CellSpacing, "--cell-spacing", 0, 100},
                   {O.CellPadding, "--cell-padding", 0, 100},
                   {O.Width, "--width", 0, 100},
                   {O.Height, "--height", 0, 1000},
                   {O.FontSize, "--font-size", 1, 7}};
    for (const auto& N : Numbers) {
        if (!N.Text)
            continue;
        const auto Value = TextToInt(*N.Text);
        if (!Value)
            return TStatus::Error(std::string(N.Name) + ": '" + *N.Text + "' is not an integer");
        if (*Value < N.Min || *Value > N.Max)
            return TStatus::Error(std::string(N.Name) + ": " + std::to_string(*Value) +
                                  " is out of range (" + std::to_string(N.Min) + " to " +
                                  std::to_string(N.Max) + ")");
    }
    if (O.Background && !(C.Background = ParseColor(*O.Background, false)))
        return TStatus::Error("--background: '" + *O.Background + "' is not a colour (#RRGGBB)");
    if (O.FontColor && !(C.FontColor = ParseColor(*O.FontColor, true)))
        return TStatus::Error("--font-color: '" + *O.FontColor +
                              "' is not a colour (#RRGGBB or none)");
    return C;
}

/// Warns about text that the table writes as 8-bit text, where it loses characters.
void WarnNarrowed(const char* Option, const std::wstring& Text, size_t MaxLength) {
    const std::string Narrow = WideToAnsi(Text);
    if (AnsiToWide(Narrow) != Text)
        Warn(std::string(Option) +
             ": characters outside Windows-1252 are written as '?' in the HTML");
    if (Narrow.size() > MaxLength)
        Warn(std::string(Option) + ": cut to " + std::to_string(MaxLength) + " characters");
}

void PrintOptions(const THTMLTable& T) {
    auto Line = [](const char* Key, const std::string& Value) {
        std::cout << "  " << Key << ":" << (Value.empty() ? "" : " ") << Value << '\n';
    };
    auto YesNo = [](bool B) { return std::string(B ? "yes" : "no"); };
    std::cout << "table:\n";
    Line("caption", WideToUtf8(T.Caption()));
    Line("align", AlignKeys[T.Align()]);
    Line("border", std::to_string(T.BorderWidth()));
    Line("cell-spacing", std::to_string(T.CellSpacing()));
    Line("cell-padding", std::to_string(T.CellPadding()));
    Line("width", std::to_string(T.Width()));
    Line("background", RGBText(T.BackgroundColor()));
    for (int I = 0; I < THTMLTable::ColumnCount; ++I) {
        const THTMLColumn& C = T.GetColumn(I);
        std::cout << "column " << ColumnKeys[I] << ":\n";
        Line("title", WideToUtf8(C.Title()));
        Line("visible", YesNo(C.Visible()));
        Line("align", AlignKeys[C.Align()]);
        Line("valign", VAlignKeys[C.VAlign()]);
        Line("wrap", YesNo(C.Wrap()));
        Line("width", std::to_string(C.Width()));
        Line("height", std::to_string(C.Height()));
        Line("font-size", std::to_string(C.Font().Size));
        Line("font-face", WideToUtf8(AnsiToWide(C.Font().FaceName())));
        Line("font-bold", YesNo(C.Font().Bold));
        Line("font-italic", YesNo(C.Font().Italic));
        Line("font-color", C.Font().Color == 0 ? "none" : RGBText(C.Font().Color));
    }
}

/// Writes the preview of Table over the items the list shows for Paths (and the project).
int WritePreview(THTMLTable& Table, const std::string& File,
                 const std::vector<std::string>& Paths) {
    TListSession Session;
    if (TStatus S = Session.OpenProject(); !S)
        return Fail(ecFailed, S.Message());
    bool Ok = Session.OpenFiles(Paths);
    Session.ParseAndWait();
    TToDoList& List = Session.List();
    std::scoped_lock Lock(List.ItemsLock());
    if (TStatus S = Table.SaveToFile(File, List); !S)
        return Fail(ecFailed, S.Message());
    return Ok ? ecSuccess : ecFailed;
}

} // namespace

int RunTable(const TTableCommandOptions& O) {
    auto Checked = Check(O);
    if (!Checked)
        return Fail(ecFailed, Checked.Status().Message());
    const TChecked& C = Checked.Value();
    const bool ForColumn = C.Column >= 0;

    TIniFile& Ini = AppIniFile();
    THTMLTable Stored;
    if (TStatus S = ReadTableOptions(Stored, Ini); !S)
        Warn(Ini.FileName() + ": " + S.Message() + "; defaults are used for the rest");
    const THTMLTable Defaults;
    TTableOptionsModel Model;
    Model.ReadData(O.Reset ? Defaults : Stored);

    // The "Table" page, as the dialog fills it when it opens.
    Model.LoadTablePage();
    TTablePage& Page = Model.TablePage();
    if (O.Caption)
        Page.Caption = Utf8ToWide(*O.Caption);
    if (O.Border)
        Page.BorderWidth = *O.Border;
    if (O.CellSpacing)
        Page.CellSpacing = *O.CellSpacing;
    if (O.CellPadding)
        Page.CellPadding = *O.CellPadding;
    if (C.Background)
        Page.BackgroundColor = *C.Background;
    if (!ForColumn && O.Width)
        Page.Width = *O.Width;
    if (!ForColumn && O.Align)
        Page.Alignment = C.Align;

    // The "Columns" page with the column picked in the list.
    if (ForColumn) {
        TColumnPage& Col = Model.ColumnPage();
        Col.Selected = C.Column;
        Model.ColListClick();
        if (O.Title) {
            Col.Title = Utf8ToWide(*O.Title);
            WarnNarrowed("--title", Col.Title, std::string::npos);
        }
        if (O.Align)
            Col.Align = C.Align;
        if (O.VAlign)
            Col.VAlign = C.VAlign;
        if (O.Width)
            Col.Width = *O.Width;
        if (O.Height)
            Col.Height = *O.Height;
        if (O.Wrap)
            Col.Wrap = *O.Wrap;
        if (O.Visible)
            Col.Visible = *O.Visible;
        if (O.FontSize)
            Col.FontSize = *O.FontSize;
        if (O.FontFace) {
            Col.FontFace = Utf8ToWide(*O.FontFace);
            WarnNarrowed("--font-face", Col.FontFace, THTMLFont::MaxFaceLength);
        }
        if (O.FontBold)
            Col.Bold = *O.FontBold;
        if (O.FontItalic)
            Col.Italic = *O.FontItalic;
        if (C.FontColor) {
            Col.FontColor = *C.FontColor;
            if (*O.FontColor != "none" && *C.FontColor == 0)
                Warn("--font-color: black is stored as no colour (the browser's own)");
        }
    }

    if (TStatus S = Model.Apply(); !S)
        return Fail(ecFailed, S.Message());
    const bool Changes = O.Reset || O.Caption || O.Border || O.CellSpacing || O.CellPadding ||
                         O.Background || O.Align || O.Width || O.Title || O.VAlign || O.Height ||
                         O.Wrap || O.Visible || O.FontSize || O.FontFace || O.FontBold ||
                         O.FontItalic || O.FontColor;
    if (Changes) {
        Model.SaveData(Stored, Ini);
        if (TStatus S = Ini.UpdateFile(); !S)
            return Fail(ecFailed, S.Message());
    }
    if (O.Show)
        PrintOptions(Model.WorkingTable());
    if (O.Preview)
        return WritePreview(Model.WorkingTable(), *O.Preview, O.Paths);
    return ecSuccess;
}
