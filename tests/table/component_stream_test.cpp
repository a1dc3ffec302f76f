#include "table/component_stream.h"

#include "fake_items.h"
#include "table/html_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

using TBytes = std::vector<unsigned char>;

TBytes Stream(const std::function<void(THTMLTable&)>& Setup) {
    THTMLTable T;
    Setup(T);
    return WriteComponentStream(T);
}

/// The bytes of a property list entry: short name, kind, payload.
TBytes Property(const std::string& Name, unsigned char Kind, const TBytes& Payload) {
    TBytes B(1 + Name.size() + 1 + Payload.size());
    B[0] = static_cast<unsigned char>(Name.size());
    std::copy(Name.begin(), Name.end(), B.begin() + 1);
    B[1 + Name.size()] = Kind;
    std::copy(Payload.begin(), Payload.end(), B.begin() + 2 + std::ssize(Name));
    return B;
}

/// A stream of the table header followed by Properties and the end of the list.
TBytes TableWith(const TBytes& Properties) {
    TBytes B{'H', 'T', 'B', 'L', 1, 10, 'T', 'H', 'T', 'M', 'L', 'T', 'a', 'b', 'l', 'e', 0};
    B.insert(B.end(), Properties.begin(), Properties.end());
    B.push_back(0);
    return B;
}

TBytes Int(int V) {
    return {static_cast<unsigned char>(V), 0, 0, 0};
}

} // namespace

TEST(ComponentStream, ReadsBackWhatItWrote) {
    const std::function<void(THTMLTable&)> Setups[] = {
        [](THTMLTable&) {},
        Vary,
        [](THTMLTable& T) {
            T.GetColumn(4).SetTitle(L"");
            T.GetColumn(5).SetVAlign(vaBaseline);
        },
    };
    for (const auto& Setup : Setups) {
        THTMLTable Written;
        Setup(Written);
        const TBytes Bytes = WriteComponentStream(Written);
        // Into a default table and into one that differs everywhere: every property is written.
        THTMLTable Default, Varied;
        Vary(Varied);
        for (THTMLTable* Target : {&Default, &Varied}) {
            const TStatus S = ReadComponentStream(*Target, Bytes);
            EXPECT_TRUE(S.Ok()) << S.Message();
            EXPECT_TRUE(*Target == Written);
            EXPECT_EQ(WriteComponentStream(*Target), Bytes);
        }
    }
}

TEST(ComponentStream, SkipsWhatItDoesNotKnow) {
    const struct {
        const char* Name;
        TBytes Properties;
        int BorderWidth; // what the table holds afterwards
    } Cases[] = {
        {"unknown property", Property("Shadow", 1, Int(9)), 1},
        {"unknown text property", Property("Note", 4, {2, 0, 0, 0, 'h', 'i'}), 1},
        {"wrong kind", Property("BorderWidth", 3, {}), 1},
        {"known after unknown",
         [] {
             TBytes B = Property("Later", 6, {1, 0, 0, 0, 0xFF});
             TBytes W = Property("BorderWidth", 1, Int(5));
             B.insert(B.end(), W.begin(), W.end());
             return B;
         }(),
         5},
        {"unknown alignment", Property("Align", 5, {5, 't', 'a', 'T', 'o', 'p'}), 1},
    };
    for (const auto& C : Cases) {
        THTMLTable T;
        const TStatus S = ReadComponentStream(T, TableWith(C.Properties));
        EXPECT_TRUE(S.Ok()) << C.Name << ": " << S.Message();
        EXPECT_EQ(T.BorderWidth(), C.BorderWidth) << C.Name;
        EXPECT_EQ(T.Align(), taLeft) << C.Name;
    }
}

TEST(ComponentStream, DamagedStreamsKeepWhatWasRead) {
    const TBytes Good = Stream(Vary);
    THTMLTable Expected;
    Vary(Expected);
    // Every cut of a good stream fails (but the full one), and never reads past the end.
    for (size_t Length = 0; Length < Good.size(); ++Length) {
        THTMLTable T;
        const TStatus S = ReadComponentStream(T, std::span(Good.data(), Length));
        ASSERT_FALSE(S.Ok()) << Length;
        EXPECT_EQ(S.Message().rfind("damaged table options: ", 0), 0u) << S.Message();
    }
    const struct {
        const char* Name;
        TBytes Bytes;
        const char* Message;
    } Cases[] = {
        {"empty", {}, "damaged table options: not table options at byte 0"},
        {"other data", {'<', 'h', 't', 'm', 'l'}, "damaged table options: not table options"},
        {"later version", {'H', 'T', 'B', 'L', 2}, "table options of an unknown version 2"},
        {"unknown kind", TableWith(Property("X", 9, {})), "unknown value kind 9 of property 'X'"},
        {"length past the end", TableWith(Property("Caption", 4, {0xFF, 0xFF, 0xFF, 0xFF})),
         "unexpected end"},
        {"column of another class",
         TableWith(Property("Columns", 6, {4, 0, 0, 0, 3, 'T', 'F', 'o'})),
         "column 1: expected a THTMLColumn component"},
    };
    for (const auto& C : Cases) {
        THTMLTable T;
        const TStatus S = ReadComponentStream(T, C.Bytes);
        EXPECT_FALSE(S.Ok()) << C.Name;
        EXPECT_NE(S.Message().find(C.Message), std::string::npos) << C.Name << ": " << S.Message();
        EXPECT_TRUE(T == THTMLTable()) << C.Name;
    }
    // A cut inside the columns keeps the table's properties read before them; the column data
    // is cut short as a whole, so the columns keep theirs.
    THTMLTable T;
    EXPECT_FALSE(ReadComponentStream(T, std::span(Good.data(), Good.size() - 40)).Ok());
    EXPECT_EQ(T.Caption(), Expected.Caption());
    EXPECT_EQ(T.BackgroundColor(), Expected.BackgroundColor());
    EXPECT_TRUE(T.GetColumn(0) == THTMLTable().GetColumn(0));

    // A damaged second column keeps the first one as read.
    TBytes Columns{11, 'T', 'H', 'T', 'M', 'L', 'C', 'o', 'l', 'u', 'm', 'n', 1, 'a'};
    const TBytes Title = Property("Title", 4, {1, 0, 0, 0, 'X'});
    Columns.insert(Columns.end(), Title.begin(), Title.end());
    Columns.insert(Columns.end(), {0, 3, 'T', 'F', 'o'});
    TBytes Data = Int(static_cast<int>(Columns.size()));
    Data.insert(Data.end(), Columns.begin(), Columns.end());
    THTMLTable U;
    const TStatus S = ReadComponentStream(U, TableWith(Property("Columns", 6, Data)));
    EXPECT_NE(S.Message().find("column 2: expected a THTMLColumn"), std::string::npos)
        << S.Message();
    EXPECT_EQ(U.GetColumn(0).Title(), L"X");
    EXPECT_EQ(U.GetColumn(1).Title(), L"Status");
}

TEST(ComponentStream, FontRecordLayout) {
    THTMLFont F;
    F.Size = -2;
    F.SetFaceName("Arial");
    F.Bold = true;
    F.Color = RGBColor(0x11, 0x22, 0x33);
    const auto Bytes = F.ToBytes();
    const TBytes Head(Bytes.begin(), Bytes.begin() + 10);
    EXPECT_EQ(Head, (TBytes{0xFE, 0xFF, 0xFF, 0xFF, 5, 'A', 'r', 'i', 'a', 'l'}));
    EXPECT_EQ(Bytes[68], 1);
    EXPECT_EQ(Bytes[69], 0);
    EXPECT_EQ(TBytes(Bytes.begin() + 70, Bytes.end()), (TBytes{0, 0, 0x11, 0x22, 0x33, 0}));
    EXPECT_EQ(THTMLFont::FromBytes(Bytes), F);

    // What another writer might leave: an over-long face, a Bold byte of 2, reserved bytes set.
    auto Odd = Bytes;
    Odd[4] = 200;
    Odd[68] = 2;
    Odd[70] = 0xAA;
    const THTMLFont Read = THTMLFont::FromBytes(Odd);
    EXPECT_EQ(Read.FaceName().size(), 63u);
    EXPECT_TRUE(Read.Bold);
    EXPECT_EQ(Read.ToBytes()[70], 0);
}
