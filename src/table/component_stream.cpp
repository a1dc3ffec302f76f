// The property stream of the table options.
//
//   stream    = "HTBL" version:u8(1) component
//   component = short(class name) short(component name) { property } 0x00
//   property  = short(property name, 1 to 255 bytes) value
//   short     = length:u8 bytes
//   value     = 0x01 int32le                     integer
//             | 0x02 | 0x03                      false | true
//             | 0x04 length:u32le bytes          text (UTF-8)
//             | 0x05 short                       enumeration value by name ("taLeft")
//             | 0x06 length:u32le bytes          binary data
//
// Integers are little-endian. The table is the component "THTMLTable" (no name) with, in this
// order: Caption (text), Align (enumeration), BorderWidth, CellSpacing, CellPadding, Width,
// BackgroundColor (integers) and Columns (binary: the six column components back to back). A
// column is "THTMLColumn" named "a" to "f" with ColType, Align, VAlign (enumerations), Wrap
// (boolean), Height, Width (integers), Title (text), Visible (boolean) and Font (binary: the
// 76-byte THTMLFont record).
//
// Every value says its kind and, where needed, its length, so a reader skips properties it does
// not know; this is what lets a later version add properties without breaking older readers.
#include "table/component_stream.h"

#include "host/utf8.h"
#include "table/html_table.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view Signature = "HTBL";
constexpr unsigned char Version = 1;
constexpr std::string_view TableClass = "THTMLTable";
constexpr std::string_view ColumnClass = "THTMLColumn";

enum TValueKind : unsigned char {
    vkInteger = 1,
    vkFalse = 2,
    vkTrue = 3,
    vkText = 4,
    vkIdent = 5,
    vkBinary = 6
};

constexpr const char* AlignNames[] = {"taLeft", "taRight", "taCenter"};
constexpr const char* VAlignNames[] = {"vaTop", "vaMiddle", "vaBottom", "vaBaseline"};
constexpr const char* ColTypeNames[] = {"ctActionItem", "ctStatus",   "ctPriority",
                                        "ctOwner",      "ctCategory", "ctModule"};

class TWriter {
public:
    explicit TWriter(std::vector<unsigned char>& Out) : FOut(Out) {}

    void Short(std::string_view S) {
        FOut.push_back(static_cast<unsigned char>(S.size()));
        FOut.insert(FOut.end(), S.begin(), S.end());
    }
    void Begin(std::string_view Class, std::string_view Name) {
        Short(Class);
        Short(Name);
    }
    void End() { FOut.push_back(0); }
    void Integer(std::string_view Name, std::int32_t Value) {
        Short(Name);
        FOut.push_back(vkInteger);
        U32(static_cast<std::uint32_t>(Value));
    }
    void Bool(std::string_view Name, bool Value) {
        Short(Name);
        FOut.push_back(Value ? vkTrue : vkFalse);
    }
    void Text(std::string_view Name, const std::wstring& Value) {
        Sized(Name, vkText, WideToUtf8(Value));
    }
    void Ident(std::string_view Name, std::string_view Value) {
        Short(Name);
        FOut.push_back(vkIdent);
        Short(Value);
    }
    void Binary(std::string_view Name, std::string_view Bytes) { Sized(Name, vkBinary, Bytes); }

private:
    void U32(std::uint32_t V) {
        for (int I = 0; I < 4; ++I)
            FOut.push_back(static_cast<unsigned char>(V >> (8 * I)));
    }
    void Sized(std::string_view Name, TValueKind Kind, std::string_view Bytes) {
        Short(Name);
        FOut.push_back(Kind);
        U32(static_cast<std::uint32_t>(Bytes.size()));
        FOut.insert(FOut.end(), Bytes.begin(), Bytes.end());
    }

    std::vector<unsigned char>& FOut;
};

std::string ColumnBytes(const THTMLColumn& C) {
    std::vector<unsigned char> Out;
    TWriter W(Out);
    W.Begin(ColumnClass, C.Name());
    W.Ident("ColType", ColTypeNames[C.ColType()]);
    W.Ident("Align", AlignNames[C.Align()]);
    W.Ident("VAlign", VAlignNames[C.VAlign()]);
    W.Bool("Wrap", C.Wrap());
    W.Integer("Height", C.Height());
    W.Integer("Width", C.Width());
    W.Text("Title", C.Title());
    W.Bool("Visible", C.Visible());
    const auto Font = C.Font().ToBytes();
    W.Binary("Font", std::string_view(reinterpret_cast<const char*>(Font.data()), Font.size()));
    W.End();
    return std::string(Out.begin(), Out.end());
}

/// One property as read: its name and value. Data holds the bytes of a text, an enumeration
/// name or binary data; it points into the stream.
struct TProperty {
    std::string_view Name;
    TValueKind Kind = vkInteger;
    std::int32_t Integer = 0;
    std::string_view Data;

    std::optional<std::int32_t> AsInteger() const {
        return Kind == vkInteger ? std::optional(Integer) : std::nullopt;
    }
    std::optional<bool> AsBool() const {
        return Kind == vkTrue || Kind == vkFalse ? std::optional(Kind == vkTrue) : std::nullopt;
    }
    std::optional<std::wstring> AsText() const {
        return Kind == vkText ? std::optional(Utf8ToWide(Data)) : std::nullopt;
    }
    /// The index of the enumeration value in Names, if it is one of them.
    template <size_t N> std::optional<int> AsIdent(const char* const (&Names)[N]) const {
        if (Kind == vkIdent)
            for (size_t I = 0; I < N; ++I)
                if (Data == Names[I])
                    return static_cast<int>(I);
        return std::nullopt;
    }
};

/// Reads a stream front to back; every read checks the bytes left and fails once for good.
class TReader {
public:
    explicit TReader(std::string_view Bytes) : FBytes(Bytes) {}

    bool AtEnd() const { return FPos >= FBytes.size(); }
    const std::string& Error() const { return FError; }

    bool Expect(std::string_view Bytes, const char* What) {
        if (FBytes.substr(FPos, Bytes.size()) != Bytes)
            return Fail(What);
        FPos += Bytes.size();
        return true;
    }
    bool Byte(unsigned char& B) {
        if (AtEnd())
            return Fail("unexpected end");
        B = static_cast<unsigned char>(FBytes[FPos++]);
        return true;
    }
    bool Short(std::string_view& S) {
        unsigned char Length = 0;
        return Byte(Length) && Take(Length, S);
    }
    /// Reads a component's header and checks its class; the name is not used.
    bool Begin(std::string_view Class) {
        std::string_view Read, Name;
        if (!Short(Read))
            return false;
        if (Read != Class)
            return Fail("expected a " + std::string(Class) + " component");
        return Short(Name);
    }
    /// Reads the next property; false at the end of the list (Done) or on damage.
    bool Next(TProperty& P, bool& Done) {
        Done = false;
        if (!Short(P.Name))
            return false;
        if (P.Name.empty()) {
            Done = true;
            return false;
        }
        unsigned char Kind = 0;
        if (!Byte(Kind))
            return false;
        P.Kind = static_cast<TValueKind>(Kind);
        switch (Kind) {
        case vkInteger: {
            std::uint32_t U = 0;
            if (!U32(U))
                return false;
            P.Integer = static_cast<std::int32_t>(U);
            return true;
        }
        case vkFalse:
        case vkTrue:
            return true;
        case vkIdent:
            return Short(P.Data);
        case vkText:
        case vkBinary: {
            std::uint32_t Length = 0;
            return U32(Length) && Take(Length, P.Data);
        }
        default:
            return Fail("unknown value kind " + std::to_string(Kind) + " of property '" +
                        std::string(P.Name) + "'");
        }
    }

private:
    bool Fail(const std::string& Why) {
        if (FError.empty())
            FError = Why + " at byte " + std::to_string(FPos);
        return false;
    }
    bool U32(std::uint32_t& V) {
        std::string_view S;
        if (!Take(4, S))
            return false;
        V = 0;
        for (int I = 0; I < 4; ++I)
            V |= std::uint32_t(static_cast<unsigned char>(S[static_cast<size_t>(I)])) << (8 * I);
        return true;
    }
    bool Take(size_t Length, std::string_view& S) {
        if (Length > FBytes.size() - FPos)
            return Fail("unexpected end");
        S = FBytes.substr(FPos, Length);
        FPos += Length;
        return true;
    }

    std::string_view FBytes;
    size_t FPos = 0;
    std::string FError;
};

/// Reads the property list of a component whose header was read; Apply takes each property
/// and returns false to stop. True when the list ended properly.
template <class TApply> bool ReadProperties(TReader& R, TApply Apply) {
    TProperty P;
    bool Done = false;
    while (R.Next(P, Done))
        if (!Apply(P))
            return false;
    return Done;
}

bool ReadColumn(TReader& R, THTMLColumn& C) {
    if (!R.Begin(ColumnClass))
        return false;
    return ReadProperties(R, [&C](const TProperty& P) {
        if (P.Name == "ColType") {
            if (auto V = P.AsIdent(ColTypeNames))
                C.SetColType(static_cast<TColType>(*V));
        } else if (P.Name == "Align") {
            if (auto V = P.AsIdent(AlignNames))
                C.SetAlign(static_cast<TAlignment>(*V));
        } else if (P.Name == "VAlign") {
            if (auto V = P.AsIdent(VAlignNames))
                C.SetVAlign(static_cast<TVAlignment>(*V));
        } else if (P.Name == "Wrap") {
            if (auto V = P.AsBool())
                C.SetWrap(*V);
        } else if (P.Name == "Height") {
            if (auto V = P.AsInteger())
                C.SetHeight(*V);
        } else if (P.Name == "Width") {
            if (auto V = P.AsInteger())
                C.SetWidth(*V);
        } else if (P.Name == "Title") {
            if (auto V = P.AsText())
                C.SetTitle(*V);
        } else if (P.Name == "Visible") {
            if (auto V = P.AsBool())
                C.SetVisible(*V);
        } else if (P.Name == "Font") {
            if (P.Kind == vkBinary && P.Data.size() == THTMLFont::RecordSize) {
                const auto* Bytes = reinterpret_cast<const unsigned char*>(P.Data.data());
                C.SetFont(
                    THTMLFont::FromBytes(std::span<const unsigned char, THTMLFont::RecordSize>(
                        Bytes, THTMLFont::RecordSize)));
            }
        }
        return true;
    });
}

/// Reads the "Columns" data into the table's columns in order; columns past the sixth are
/// not read.
bool ReadColumns(THTMLTable& Table, std::string_view Data, std::string& Error) {
    TReader R(Data);
    for (int I = 0; I < THTMLTable::ColumnCount && !R.AtEnd(); ++I)
        if (!ReadColumn(R, Table.GetColumn(I))) {
            Error = "column " + std::to_string(I + 1) + ": " + R.Error();
            return false;
        }
    return true;
}

} // namespace

std::vector<unsigned char> WriteComponentStream(const THTMLTable& Table) {
    std::vector<unsigned char> Out(Signature.begin(), Signature.end());
    Out.push_back(Version);
    TWriter W(Out);
    W.Begin(TableClass, "");
    W.Text("Caption", Table.Caption());
    W.Ident("Align", AlignNames[Table.Align()]);
    W.Integer("BorderWidth", Table.BorderWidth());
    W.Integer("CellSpacing", Table.CellSpacing());
    W.Integer("CellPadding", Table.CellPadding());
    W.Integer("Width", Table.Width());
    W.Integer("BackgroundColor", Table.BackgroundColor());
    std::string Columns;
    for (int I = 0; I < THTMLTable::ColumnCount; ++I)
        Columns += ColumnBytes(Table.GetColumn(I));
    W.Binary("Columns", Columns);
    W.End();
    return Out;
}

TStatus ReadComponentStream(THTMLTable& Table, std::span<const unsigned char> Stream) {
    TReader R(std::string_view(reinterpret_cast<const char*>(Stream.data()), Stream.size()));
    auto Damaged = [](const std::string& Why) {
        return TStatus::Error("damaged table options: " + Why);
    };
    if (!R.Expect(Signature, "not table options"))
        return Damaged(R.Error());
    unsigned char Read = 0;
    if (!R.Byte(Read))
        return Damaged(R.Error());
    if (Read != Version)
        return TStatus::Error("table options of an unknown version " + std::to_string(Read));
    if (!R.Begin(TableClass))
        return Damaged(R.Error());
    std::string ColumnError;
    const bool Ended = ReadProperties(R, [&](const TProperty& P) {
        if (P.Name == "Caption") {
            if (auto V = P.AsText())
                Table.SetCaption(*V);
        } else if (P.Name == "Align") {
            if (auto V = P.AsIdent(AlignNames))
                Table.SetAlign(static_cast<TAlignment>(*V));
        } else if (P.Name == "BorderWidth") {
            if (auto V = P.AsInteger())
                Table.SetBorderWidth(*V);
        } else if (P.Name == "CellSpacing") {
            if (auto V = P.AsInteger())
                Table.SetCellSpacing(*V);
        } else if (P.Name == "CellPadding") {
            if (auto V = P.AsInteger())
                Table.SetCellPadding(*V);
        } else if (P.Name == "Width") {
            if (auto V = P.AsInteger())
                Table.SetWidth(*V);
        } else if (P.Name == "BackgroundColor") {
            if (auto V = P.AsInteger())
                Table.SetBackgroundColor(*V);
        } else if (P.Name == "Columns" && P.Kind == vkBinary) {
            return ReadColumns(Table, P.Data, ColumnError);
        }
        return true;
    });
    if (!ColumnError.empty())
        return Damaged(ColumnError);
    if (!Ended)
        return Damaged(R.Error());
    return {};
}
