#include "table/html_table.h"

#include "fake_items.h"

#include "../host/stub_project.h"
#include "../host/temp_dir.h"

#include "host/clipboard.h"
#include "host/project.h"
#include "host/utf8.h"
#include "table/code_page.h"
#include "table/table_options.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>

namespace {

std::string Golden(const std::string& Name) {
    return std::string(TODO_TEST_DATA_DIR) + "/table/" + Name + ".html";
}

/// A column font with the given fields.
THTMLFont Font(int Size, const char* Face, TColor Color, bool Bold, bool Italic) {
    THTMLFont F;
    F.Size = Size;
    F.SetFaceName(Face);
    F.Color = Color;
    F.Bold = Bold;
    F.Italic = Italic;
    return F;
}

struct TProject : TStubProject {
    std::string GetFileName() override { return "/p/app.dpr"; }
    std::string GetName() override { return "app"; }
    bool Contains(const std::string&) override { return false; }
};

} // namespace

// The generated HTML is compared byte for byte with files under tests/data/table (UTF-8 of the
// wide text, CR LF line ends). TODO_UPDATE_GOLDEN=1 rewrites them after an intended change.
TEST(HTMLTable, GeneratesTheExpectedHTML) {
    const struct {
        const char* Name;
        std::vector<TItemFields> Items;
        std::function<void(THTMLTable&)> Setup;
    } Cases[] = {
        {"default", SampleItems(), [](THTMLTable&) {}},
        {"empty", {}, [](THTMLTable& T) { T.SetCaption(L"app.dpr"); }},
        {"all_hidden", SampleItems(),
         [](THTMLTable& T) {
             for (int I = 0; I < THTMLTable::ColumnCount; ++I)
                 T.GetColumn(I).SetVisible(false);
         }},
        // Every optional attribute written: the opposite of the defaults.
        {"attributes_on", SampleItems(),
         [](THTMLTable& T) {
             T.SetCaption(L"Sprint <12> & \u00e9");
             T.SetAlign(taCenter);
             T.SetBorderWidth(3);
             T.SetCellSpacing(0);
             T.SetCellPadding(4);
             T.SetWidth(80);
             T.SetBackgroundColor(RGBColor(0xF0, 0x80, 0x0A));
             const TVAlignment VAligns[] = {vaTop, vaBottom, vaBaseline, vaTop, vaBottom, vaTop};
             for (int I = 0; I < THTMLTable::ColumnCount; ++I) {
                 THTMLColumn& C = T.GetColumn(I);
                 C.SetVAlign(VAligns[I]);
                 C.SetWrap(false);
                 C.SetHeight(10 + I);
                 C.SetAlign(static_cast<TAlignment>(I % 3));
             }
         }},
        // Every optional attribute left out: border, padding and width 0, spacing 2, no
        // caption, height 0, column width 0 (which is still written).
        {"attributes_off", SampleItems(),
         [](THTMLTable& T) {
             T.SetBorderWidth(0);
             T.SetCellPadding(0);
             T.SetWidth(0);
             T.SetAlign(taRight);
             T.GetColumn(0).SetWidth(0);
             T.GetColumn(1).SetHeight(-5);
         }},
        {"fonts", SampleItems(),
         [](THTMLTable& T) {
             T.GetColumn(0).SetFont(Font(3, "", 0, true, false)); // <B> without <FONT>
             T.GetColumn(1).SetFont(Font(5, "", 0, false, true));
             T.GetColumn(2).SetFont(Font(3, "Arial 100%", 0, true, true));
             T.GetColumn(3).SetFont(Font(3, "", RGBColor(0x80, 0, 0), false, false));
             T.GetColumn(4).SetFont(Font(0, "Courier", RGBColor(1, 2, 3), true, true));
             T.GetColumn(4).SetTitle(L"Kateg\u00f6rie \u20ac \u0416"); // header: 8-bit
             T.GetColumn(5).SetFont(Font(3, "", 0, false, false));     // black: no colour
         }},
    };
    const bool Update = std::getenv("TODO_UPDATE_GOLDEN") != nullptr;
    for (const auto& C : Cases) {
        THTMLTable Table;
        C.Setup(Table);
        TFakeItems Items(C.Items);
        Table.GenerateTable(Items);
        const std::string Html = WideToUtf8(Table.Text());
        if (Update)
            std::ofstream(Golden(C.Name), std::ios::binary) << Html;
        EXPECT_EQ(Html, ReadBytes(Golden(C.Name))) << C.Name;
    }
}

TEST(HTMLTable, HeaderCellsLoseWhatTheCodePageCannotHoldDataCellsDoNot) {
    THTMLColumn Column(L"\u20ac \u0416 %s");
    EXPECT_EQ(Column.TitleTags(),
              "  <TH ALIGN=CENTER WIDTH=\"0%\">\x80 ? %s</TH>\r\n"); // the '%s' of a title stays
    TFakeItem Item({"\xD0\x96 100%"});
    EXPECT_EQ(Column.Tags(&Item), L"  <TD ALIGN=CENTER WIDTH=\"0%\">\u0416 100%</TD>\r\n");
    EXPECT_EQ(AnsiToWide(WideToAnsi(L"\u20ac\u0081\u00ff\u0416")), L"\u20ac\u0081\u00ff?");
}

TEST(HTMLTable, AssignToCopiesAllButTheColumnTypes) {
    THTMLTable Source;
    Vary(Source);
    for (int I = 0; I < THTMLTable::ColumnCount; ++I)
        Source.GetColumn(I).SetColType(ctModule);
    THTMLTable Dest;
    Source.AssignTo(Dest);
    EXPECT_FALSE(Dest == Source); // the column types differ
    for (int I = 0; I < THTMLTable::ColumnCount; ++I) {
        EXPECT_EQ(Dest.GetColumn(I).ColType(), static_cast<TColType>(I));
        EXPECT_EQ(Dest.GetColumn(I).TagTemplate(), Source.GetColumn(I).TagTemplate());
        Dest.GetColumn(I).SetColType(ctModule);
    }
    EXPECT_TRUE(Dest == Source);
}

TEST(HTMLTable, GetColumnChecksTheIndex) {
    THTMLTable Table;
    EXPECT_THROW(Table.GetColumn(-1), EListError);
    EXPECT_THROW(Table.GetColumn(6), EListError);
    EXPECT_EQ(Table.GetColumn(5).Name(), "f");
}

TEST(HTMLTable, ColorText) {
    const struct {
        TColor Color;
        const char* Text;
    } Cases[] = {{RGBColor(0xFF, 0xFF, 0xFF), "\"#FFFFFF\""},
                 {RGBColor(0x12, 0x34, 0xAB), "\"#1234AB\""},
                 {static_cast<TColor>(0xFF00000F), "\"#F0F0F0\""}, // a system colour
                 {static_cast<TColor>(0xFF0000FE), "\"#000000\""}, // an unknown one
                 {0x1FFFFFFF, "\"#FFFFFF\""}};
    for (const auto& C : Cases)
        EXPECT_EQ(ColorText(C.Color), C.Text) << std::hex << C.Color;
}

TEST(HTMLTable, SaveToFileWritesUtf16WithByteOrderMark) {
    TTempDir Dir;
    const std::string File = Dir.Write("preview.html", "old content that is longer");
    THTMLTable Table;
    Table.SetCaption(L"\U0001F600");
    TFakeItems None;
    ASSERT_TRUE(Table.SaveToFile(File, None).Ok());
    const std::string Bytes = ReadBytes(File);
    ASSERT_GE(Bytes.size(), 2u);
    EXPECT_EQ(Bytes.substr(0, 6), std::string("\xFF\xFE<\0T\0", 6));
    EXPECT_EQ(Bytes.size(), 2 + 2 * (Table.Text().size() + 1)); // the emoji is a pair
    EXPECT_NE(Bytes.find(std::string("\x3D\xD8\x00\xDE", 4)), std::string::npos);

    const TStatus Missing = Table.SaveToFile(Dir.File("no/such/folder/x.html"), None);
    EXPECT_FALSE(Missing.Ok());
    EXPECT_NE(Missing.Message().find("x.html"), std::string::npos) << Missing.Message();
}

TEST(HTMLTable, CopiesToTheClipboardOnlyWithAnActiveProject) {
    TFakeItems Items(SampleItems());
    CreateTable().SetCaption(L"app");
    Clipboard().SetAsWideText(L"before");
    CopyTableToClipboard(Items);
    EXPECT_EQ(Clipboard().AsWideText(), L"before");

    MainProjectGroup().SetActiveProject(std::make_shared<TProject>());
    CopyTableToClipboard(Items);
    EXPECT_EQ(Clipboard().AsWideText(), Table()->Text());
    EXPECT_NE(Table()->Text().find(L"<CAPTION>app</CAPTION>"), std::wstring::npos);

    FreeTable();
    Clipboard().SetAsWideText(L"before");
    CopyTableToClipboard(Items);
    EXPECT_EQ(Clipboard().AsWideText(), L"before");
    MainProjectGroup().SetActiveProject(nullptr);
}
