#include "table/html_table.h"

#include "host/clipboard.h"
#include "host/errors.h"
#include "host/file_io.h"
#include "host/intatodo_item.h"
#include "host/tools_api.h"
#include "host/utf8.h"
#include "table/code_page.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

namespace {

/// Light-theme values (0xRRGGBB) of the system colours 0 to 30.
constexpr std::uint32_t SystemColors[] = {
    0xC8C8C8, 0x000000, 0x99B4D1, 0xBFCDDB, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000,
    0x000000, 0x000000, 0xB4B4B4, 0xF4F7FC, 0xABABAB, 0x3399FF, 0xFFFFFF, 0xF0F0F0,
    0xA0A0A0, 0x6D6D6D, 0x000000, 0x434E54, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000,
    0xFFFFE1, 0x000000, 0x0066CC, 0xB9D1EA, 0xD7E4F2, 0x3399FF, 0xF0F0F0};

/// Fills the "%s" of Template with the arguments in order and turns "%%" into "%". Any other
/// '%' is kept as it is, and a "%s" beyond the third argument gives nothing, so no template can
/// make the formatting fail.
template <class TChar>
std::basic_string<TChar> FormatTags(std::basic_string_view<TChar> Template,
                                    const std::basic_string_view<TChar> (&Args)[3]) {
    std::basic_string<TChar> Out;
    size_t Next = 0;
    for (size_t I = 0; I < Template.size(); ++I) {
        if (Template[I] == '%' && I + 1 < Template.size()) {
            if (Template[I + 1] == '%') {
                Out += TChar('%');
                ++I;
                continue;
            }
            if (Template[I + 1] == 's') {
                if (Next < 3)
                    Out += Args[Next++];
                ++I;
                continue;
            }
        }
        Out += Template[I];
    }
    return Out;
}

/// Text as UTF-16LE code units, characters above U+FFFF as surrogate pairs.
void AppendUtf16LE(std::string& Out, std::wstring_view Text) {
    auto Unit = [&Out](std::uint32_t U) {
        Out += static_cast<char>(U & 0xFF);
        Out += static_cast<char>(U >> 8 & 0xFF);
    };
    for (wchar_t C : Text) {
        auto Code = static_cast<std::uint32_t>(C);
        if (Code > 0x10FFFF)
            Code = 0xFFFD;
        if (Code >= 0x10000) {
            Code -= 0x10000;
            Unit(0xD800 | Code >> 10);
            Unit(0xDC00 | (Code & 0x3FF));
        } else {
            Unit(Code);
        }
    }
}

constexpr const char* ColumnNames[] = {"a", "b", "c", "d", "e", "f"};

} // namespace

std::uint32_t ColorToRGB(TColor Color) {
    const auto Value = static_cast<std::uint32_t>(Color);
    if ((Value >> 24) == 0xFF) {
        const std::uint32_t Index = Value & 0xFF;
        if (Index >= std::size(SystemColors))
            return 0;
        const std::uint32_t RGB = SystemColors[Index];
        return (RGB >> 16) | (RGB & 0xFF00) | (RGB & 0xFF) << 16;
    }
    return Value & 0xFFFFFF;
}

std::string ColorText(TColor Color) {
    const std::uint32_t BGR = ColorToRGB(Color);
    char Text[16];
    std::snprintf(Text, sizeof Text, "\"#%02X%02X%02X\"", BGR & 0xFF, BGR >> 8 & 0xFF,
                  BGR >> 16 & 0xFF);
    return Text;
}

const char* AlignmentWord(TAlignment Value) {
    static constexpr const char* Words[] = {"LEFT", "RIGHT", "CENTER"};
    return Value < std::size(Words) ? Words[Value] : Words[0];
}

const char* VAlignmentWord(TVAlignment Value) {
    static constexpr const char* Words[] = {"TOP", "MIDDLE", "BOTTOM", "BASELINE"};
    return Value < std::size(Words) ? Words[Value] : Words[vaMiddle];
}

// THTMLFont

std::string THTMLFont::FaceName() const {
    const size_t Length = std::min<size_t>(Face[0], MaxFaceLength);
    return std::string(reinterpret_cast<const char*>(Face.data() + 1), Length);
}

void THTMLFont::SetFaceName(std::string_view Name) {
    Face.fill(0);
    const size_t Length = std::min(Name.size(), MaxFaceLength);
    Face[0] = static_cast<unsigned char>(Length);
    std::memcpy(Face.data() + 1, Name.data(), Length);
}

std::array<unsigned char, THTMLFont::RecordSize> THTMLFont::ToBytes() const {
    std::array<unsigned char, RecordSize> Bytes{};
    auto PutInt = [&Bytes](size_t At, std::int32_t Value) {
        const auto U = static_cast<std::uint32_t>(Value);
        for (int I = 0; I < 4; ++I)
            Bytes[At + I] = static_cast<unsigned char>(U >> (8 * I));
    };
    PutInt(0, Size);
    std::copy(Face.begin(), Face.end(), Bytes.begin() + 4);
    Bytes[68] = Bold ? 1 : 0;
    Bytes[69] = Italic ? 1 : 0;
    PutInt(72, Color);
    return Bytes;
}

THTMLFont THTMLFont::FromBytes(std::span<const unsigned char, RecordSize> Bytes) {
    auto GetInt = [&Bytes](size_t At) {
        std::uint32_t U = 0;
        for (int I = 0; I < 4; ++I)
            U |= std::uint32_t(Bytes[At + I]) << (8 * I);
        return static_cast<std::int32_t>(U);
    };
    THTMLFont Font;
    Font.Size = GetInt(0);
    Font.SetFaceName(std::string_view(reinterpret_cast<const char*>(Bytes.data() + 5),
                                      std::min<size_t>(Bytes[4], MaxFaceLength)));
    Font.Bold = Bytes[68] != 0;
    Font.Italic = Bytes[69] != 0;
    Font.Color = GetInt(72);
    return Font;
}

// THTMLColumn

THTMLColumn::THTMLColumn(std::wstring Title, std::string Name)
    : FRefString(Title), FName(std::move(Name)), FTitle(std::move(Title)) {
    BuildTags();
}

void THTMLColumn::BuildTags() {
    std::string T = "%s";
    T += " ALIGN=";
    T += AlignmentWord(FAlign);
    if (FVAlign != vaMiddle) {
        T += " VALIGN=";
        T += VAlignmentWord(FVAlign);
    }
    if (!FWrap)
        T += " NOWRAP";
    if (FHeight > 0)
        T += " HEIGHT=" + std::to_string(FHeight);
    T += " WIDTH=\"" + std::to_string(FWidth) + "%%\">";
    const std::string Face = FFont.FaceName();
    const bool WithFont = FFont.Size != 3 || !Face.empty() || FFont.Color != 0;
    if (WithFont) {
        T += "<FONT";
        if (FFont.Size != 3)
            T += " SIZE=" + std::to_string(FFont.Size);
        if (!Face.empty()) {
            // Doubled, so that a '%' of the face reaches the HTML as one '%'.
            T += " FACE=\"";
            for (char C : Face)
                T += C == '%' ? std::string("%%") : std::string(1, C);
            T += "\"";
        }
        if (FFont.Color != 0)
            T += " COLOR=" + ColorText(FFont.Color);
        T += ">";
    }
    if (FFont.Bold)
        T += "<B>";
    if (FFont.Italic)
        T += "<I>";
    T += "%s";
    if (FFont.Italic)
        T += "</I>";
    if (FFont.Bold)
        T += "</B>";
    if (WithFont)
        T += "</FONT>";
    T += "%s";
    FTags = std::move(T);
}

std::wstring THTMLColumn::GetData(INTAToDoItem* Item) const {
    std::wstring Text;
    if (!Item) {
        Text = FTitle;
    } else {
        switch (FColType) {
        case ctActionItem:
            Text = Utf8ToWide(Item->GetText());
            break;
        case ctStatus:
            Text = Utf8ToWide(Item->GetChecked() ? TableStrings::_sStatusDone
                                                 : TableStrings::_sStatusPending);
            break;
        case ctPriority:
            if (const int Priority = Item->GetPriority() & 0x7F; Priority != 0)
                Text = std::to_wstring(Priority);
            break;
        case ctOwner:
            Text = Utf8ToWide(Item->GetOwner());
            break;
        case ctCategory:
            Text = Utf8ToWide(Item->GetCategory());
            break;
        case ctModule:
            Text = WidenBytes(Item->GetModuleName());
            break;
        }
    }
    return Text.empty() ? std::wstring(L"-") : Text;
}

std::wstring THTMLColumn::Tags(INTAToDoItem* Item) const {
    const std::wstring Template = AnsiToWide(FTags);
    const std::wstring Data = GetData(Item);
    const std::wstring_view Args[3] = {L"  <TD", Data, L"</TD>"};
    return FormatTags<wchar_t>(Template, Args) + L"\r\n";
}

std::string THTMLColumn::TitleTags() const {
    const std::string Title = WideToAnsi(FTitle);
    const std::string_view Args[3] = {"  <TH", Title, "</TH>"};
    return FormatTags<char>(FTags, Args) + "\r\n";
}

void THTMLColumn::AssignTo(THTMLColumn& Dest) const {
    Dest.FRefString = FRefString;
    Dest.FFont = FFont;
    Dest.FAlign = FAlign;
    Dest.FVAlign = FVAlign;
    Dest.FWrap = FWrap;
    Dest.FHeight = FHeight;
    Dest.FWidth = FWidth;
    Dest.FTitle = FTitle;
    Dest.FVisible = FVisible;
    Dest.BuildTags();
}

void THTMLColumn::SetFont(const THTMLFont& Value) {
    FFont = Value;
    BuildTags();
}

void THTMLColumn::SetAlign(TAlignment Value) {
    FAlign = Value;
    BuildTags();
}

void THTMLColumn::SetVAlign(TVAlignment Value) {
    FVAlign = Value;
    BuildTags();
}

void THTMLColumn::SetWrap(bool Value) {
    FWrap = Value;
    BuildTags();
}

void THTMLColumn::SetHeight(int Value) {
    FHeight = Value;
    BuildTags();
}

void THTMLColumn::SetWidth(int Value) {
    FWidth = Value;
    BuildTags();
}

void THTMLColumn::SetTitle(std::wstring Value) {
    FTitle = std::move(Value);
    BuildTags();
}

bool THTMLColumn::operator==(const THTMLColumn& O) const {
    return FColType == O.FColType && FRefString == O.FRefString && FName == O.FName &&
           FFont == O.FFont && FAlign == O.FAlign && FVAlign == O.FVAlign && FWrap == O.FWrap &&
           FHeight == O.FHeight && FWidth == O.FWidth && FTitle == O.FTitle &&
           FVisible == O.FVisible;
}

// THTMLTable

THTMLTable::THTMLTable() {
    struct TDefault {
        const char* Title;
        TAlignment Align;
        int Width;
    };
    static constexpr TDefault Defaults[ColumnCount] = {
        {TableStrings::_sActionItem, taLeft, 45}, {TableStrings::_sStatus, taCenter, 5},
        {TableStrings::_sPriority, taCenter, 5},  {TableStrings::_sOwner, taCenter, 15},
        {TableStrings::_sCategory, taCenter, 15}, {TableStrings::_sModule, taLeft, 15}};
    for (int I = 0; I < ColumnCount; ++I) {
        auto Column = std::make_unique<THTMLColumn>(Utf8ToWide(Defaults[I].Title), ColumnNames[I]);
        Column->SetAlign(Defaults[I].Align);
        Column->SetWidth(Defaults[I].Width);
        Column->SetColType(static_cast<TColType>(I));
        FColumns[static_cast<size_t>(I)] = std::move(Column);
    }
}

THTMLColumn& THTMLTable::GetColumn(int Index) {
    if (Index < 0 || Index >= ColumnCount)
        throw EListError(Index);
    return *FColumns[static_cast<size_t>(Index)];
}

const THTMLColumn& THTMLTable::GetColumn(int Index) const {
    return const_cast<THTMLTable*>(this)->GetColumn(Index);
}

void THTMLTable::GenerateTable(IOTAToDoServices& Items) {
    std::wstring T = L"<TABLE ";
    if (FAlign != taLeft)
        T += L" ALIGN=" + AnsiToWide(AlignmentWord(FAlign));
    T += L" BGCOLOR=" + AnsiToWide(ColorText(FBackgroundColor));
    if (FBorderWidth > 0)
        T += L" BORDER=" + std::to_wstring(FBorderWidth);
    if (FCellSpacing != 2)
        T += L" CELLSPACING=" + std::to_wstring(FCellSpacing);
    if (FCellPadding > 0)
        T += L" CELLPADDING=" + std::to_wstring(FCellPadding);
    if (FWidth > 0)
        T += L" WIDTH=\"" + std::to_wstring(FWidth) + L"%\"";
    T += L">\r\n";
    if (!FCaption.empty())
        T += L"<CAPTION>" + FCaption + L"</CAPTION>\r\n";
    T += L"<TR>\r\n";
    for (const auto& Column : FColumns)
        if (Column->Visible())
            T += AnsiToWide(Column->TitleTags());
    T += L"</TR>\r\n";
    const int Count = Items.GetItemCount();
    for (int I = 0; I < Count; ++I) {
        const auto Item = Items.GetItem(I);
        T += L"<TR>\r\n";
        for (const auto& Column : FColumns)
            if (Column->Visible())
                T += Column->Tags(Item.get());
        T += L"</TR>\r\n";
    }
    T += L"</TABLE>\r\n";
    FText = std::move(T);
}

void THTMLTable::CopyToClipboard(IOTAToDoServices& Items) {
    GenerateTable(Items);
    Clipboard().Clear();
    ClipboardSetAsWideText(FText);
}

TStatus THTMLTable::SaveToFile(const std::string& FileName, IOTAToDoServices& Items) {
    GenerateTable(Items);
    std::string Bytes = "\xFF\xFE";
    AppendUtf16LE(Bytes, FText);
    auto Fail = [&](const std::string& Why) {
        return TStatus::Error("cannot save " + FileName + ": " + Why);
    };
    auto Target = FollowSymlink(FileName);
    if (!Target)
        return Fail(Target.Status().Message());
    struct stat St;
    const bool Exists = ::stat(Target.Value().c_str(), &St) == 0;
    if (Exists && S_ISDIR(St.st_mode))
        return Fail("it is a folder");
    TAtomicWriteOptions Options;
    Options.Existing = Exists ? &St : nullptr; // a replaced file keeps its permissions
    if (auto S = WriteFileAtomically(Target.Value(), Bytes, Options); !S)
        return Fail(S.Message());
    return {};
}

void THTMLTable::AssignTo(THTMLTable& Dest) const {
    Dest.FCaption = FCaption;
    Dest.FAlign = FAlign;
    Dest.FBorderWidth = FBorderWidth;
    Dest.FCellSpacing = FCellSpacing;
    Dest.FCellPadding = FCellPadding;
    Dest.FWidth = FWidth;
    Dest.FBackgroundColor = FBackgroundColor;
    for (size_t I = 0; I < FColumns.size(); ++I)
        FColumns[I]->AssignTo(*Dest.FColumns[I]);
}

bool THTMLTable::operator==(const THTMLTable& O) const {
    for (size_t I = 0; I < FColumns.size(); ++I)
        if (!(*FColumns[I] == *O.FColumns[I]))
            return false;
    return FCaption == O.FCaption && FAlign == O.FAlign && FBorderWidth == O.FBorderWidth &&
           FCellSpacing == O.FCellSpacing && FCellPadding == O.FCellPadding && FWidth == O.FWidth &&
           FBackgroundColor == O.FBackgroundColor;
}
