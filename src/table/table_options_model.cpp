#include "table/table_options_model.h"

#include "host/errors.h"
#include "table/code_page.h"
#include "table/table_options.h"

#include <charconv>

std::optional<int> TextToInt(std::string_view Text) {
    const auto Blank = [](char C) { return C == ' ' || C == '\t'; };
    while (!Text.empty() && Blank(Text.front()))
        Text.remove_prefix(1);
    while (!Text.empty() && Blank(Text.back()))
        Text.remove_suffix(1);
    if (Text.size() > 1 && Text.front() == '+' && Text[1] != '-')
        Text.remove_prefix(1); // from_chars takes '-' only
    int Value = 0;
    const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    if (Error != std::errc() || End != Text.data() + Text.size())
        return std::nullopt;
    return Value;
}

TTableOptionsModel::TTableOptionsModel() {
    for (auto& Column : FScratch)
        Column = std::make_unique<THTMLColumn>(std::wstring());
    ReadData(FWorking);
}

void TTableOptionsModel::ReadData(const THTMLTable& Source) {
    if (&Source != &FWorking)
        Source.AssignTo(FWorking);
    for (int I = 0; I < THTMLTable::ColumnCount; ++I) {
        const THTMLColumn& Column = FWorking.GetColumn(I);
        Column.AssignTo(*FScratch[static_cast<size_t>(I)]);
        FListTexts[static_cast<size_t>(I)] = Column.RefString();
    }
    FColumnPage.Selected = 0;
    FCurrent = -1;
}

void TTableOptionsModel::SaveData(THTMLTable& Target, TIniFile& Ini) const {
    FWorking.AssignTo(Target);
    WriteTableOptions(Target, Ini);
}

void TTableOptionsModel::LoadTablePage() {
    FTablePage.Caption = FWorking.Caption();
    FTablePage.BorderWidth = std::to_string(FWorking.BorderWidth());
    FTablePage.Width = std::to_string(FWorking.Width());
    FTablePage.CellSpacing = std::to_string(FWorking.CellSpacing());
    FTablePage.CellPadding = std::to_string(FWorking.CellPadding());
    FTablePage.BackgroundColor = FWorking.BackgroundColor();
    FTablePage.Alignment = FWorking.Align();
}

void TTableOptionsModel::ColListClick() {
    if (FCurrent >= 0)
        StoreColumn(*FScratch[static_cast<size_t>(FCurrent)]);
    const int Selected = FColumnPage.Selected;
    if (Selected < 0 || Selected >= THTMLTable::ColumnCount)
        return;
    FCurrent = Selected;
    LoadColumn(*FScratch[static_cast<size_t>(FCurrent)]);
}

void TTableOptionsModel::StoreColumn(THTMLColumn& Column) const {
    const TColumnPage& P = FColumnPage;
    Column.SetTitle(P.Title);
    Column.SetWrap(P.Wrap);
    Column.SetVisible(P.Visible);
    if (P.VAlign >= vaTop && P.VAlign <= vaBaseline)
        Column.SetVAlign(static_cast<TVAlignment>(P.VAlign));
    if (P.Align >= taLeft && P.Align <= taCenter)
        Column.SetAlign(static_cast<TAlignment>(P.Align));
    // Guarded one by one: a box that holds no number keeps its property.
    if (const auto Width = TextToInt(P.Width))
        Column.SetWidth(*Width);
    if (const auto Height = TextToInt(P.Height))
        Column.SetHeight(*Height);
    THTMLFont Font;
    Font.Size = TextToInt(P.FontSize).value_or(0);
    Font.SetFaceName(WideToAnsi(P.FontFace));
    Font.Bold = P.Bold;
    Font.Italic = P.Italic;
    Font.Color = P.FontColor;
    Column.SetFont(Font);
}

void TTableOptionsModel::LoadColumn(const THTMLColumn& Column) {
    TColumnPage& P = FColumnPage;
    P.Title = Column.Title();
    P.Width = std::to_string(Column.Width());
    P.Height = std::to_string(Column.Height());
    P.Align = Column.Align();
    P.VAlign = Column.VAlign();
    P.Visible = Column.Visible();
    P.FontSize = std::to_string(Column.Font().Size);
    P.FontFace = AnsiToWide(Column.Font().FaceName());
    P.Bold = Column.Font().Bold;
    P.Italic = Column.Font().Italic;
    P.Wrap = Column.Wrap();
    P.FontColor = Column.Font().Color;
}

TStatus TTableOptionsModel::Apply() {
    ColListClick();
    for (int I = 0; I < THTMLTable::ColumnCount; ++I)
        FScratch[static_cast<size_t>(I)]->AssignTo(FWorking.GetColumn(I));
    const TTablePage& P = FTablePage;
    FWorking.SetCaption(P.Caption);
    // Not guarded: the first box that holds no number stops Apply there.
    const struct {
        const std::string& Text;
        void (THTMLTable::*Set)(int);
        const char* What;
    } Boxes[] = {{P.BorderWidth, &THTMLTable::SetBorderWidth, "border width"},
                 {P.Width, &THTMLTable::SetWidth, "table width"},
                 {P.CellSpacing, &THTMLTable::SetCellSpacing, "cell spacing"},
                 {P.CellPadding, &THTMLTable::SetCellPadding, "cell padding"}};
    for (const auto& Box : Boxes) {
        const auto Value = TextToInt(Box.Text);
        if (!Value)
            return TStatus::Error(std::string(Box.What) + ": '" + Box.Text + "' is not an integer");
        (FWorking.*Box.Set)(*Value);
    }
    if (P.Alignment >= taLeft && P.Alignment <= taCenter)
        FWorking.SetAlign(static_cast<TAlignment>(P.Alignment));
    FWorking.SetBackgroundColor(P.BackgroundColor);
    return {};
}

const THTMLColumn& TTableOptionsModel::ScratchColumn(int Index) const {
    if (Index < 0 || Index >= THTMLTable::ColumnCount)
        throw EListError(Index);
    return *FScratch[static_cast<size_t>(Index)];
}

const std::wstring& TTableOptionsModel::ColumnListText(int Index) const {
    if (Index < 0 || Index >= THTMLTable::ColumnCount)
        throw EListError(Index);
    return FListTexts[static_cast<size_t>(Index)];
}
