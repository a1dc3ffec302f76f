#include "table/table_options.h"

#include "fake_items.h"

#include "../host/temp_dir.h"

#include "host/ini_file.h"
#include "table/component_stream.h"
#include "table/html_table.h"
#include "table/table_options_model.h"

#include <gtest/gtest.h>

TEST(TableOptions, MissingOrDamagedSettingsLeaveTheDefaults) {
    const struct {
        const char* Name;
        const char* Ini;
        bool Ok;
    } Cases[] = {{"missing", "[ToDo List]\nSortOrder=1\n", true},
                 {"empty value", "[ToDo List]\nHTMLTableOptions=\n", true},
                 {"not hex", "[ToDo List]\nHTMLTableOptions=XYZ\n", false},
                 {"not a table", "[ToDo List]\nHTMLTableOptions=00FF\n", false}};
    for (const auto& C : Cases) {
        THTMLTable T;
        const TStatus S = ReadTableOptions(T, TIniFile::FromText("t.ini", C.Ini));
        EXPECT_EQ(S.Ok(), C.Ok) << C.Name << ": " << S.Message();
        EXPECT_TRUE(T == THTMLTable()) << C.Name;
    }
}

TEST(TableOptionsModel, ColumnBoxesAreGuarded) {
    const struct {
        const char* Width;
        const char* Height;
        const char* FontSize;
        int ExpectWidth, ExpectHeight, ExpectSize;
    } Cases[] = {{"30", "12", "5", 30, 12, 5},
                 {" -4 ", "+7", "1", -4, 7, 1},
                 {"x", "", "big", 15, 0, 0},
                 {"3.5", "1e3", "", 15, 0, 0},
                 {"99999999999", "--1", "+-2", 15, 0, 0}};
    for (const auto& C : Cases) {
        TTableOptionsModel M;
        M.ReadData(THTMLTable());
        M.ColumnPage().Selected = 3;
        M.ColListClick();
        M.ColumnPage().Width = C.Width;
        M.ColumnPage().Height = C.Height;
        M.ColumnPage().FontSize = C.FontSize;
        ASSERT_TRUE(M.Apply().Ok());
        const THTMLColumn& Owner = M.WorkingTable().GetColumn(3);
        EXPECT_EQ(Owner.Width(), C.ExpectWidth) << C.Width;
        EXPECT_EQ(Owner.Height(), C.ExpectHeight) << C.Height;
        EXPECT_EQ(Owner.Font().Size, C.ExpectSize) << C.FontSize;
    }
}

TEST(TableOptionsModel, TableBoxesStopApplyAtTheFirstBadOne) {
    const struct {
        const char* Border;
        const char* Width;
        const char* Spacing;
        const char* Padding;
        const char* Message; // null: applied
        int ExpectBorder, ExpectWidth, ExpectSpacing, ExpectPadding;
    } Cases[] = {
        {"4", "50", "3", "1", nullptr, 4, 50, 3, 1},
        {"x", "50", "3", "1", "border width: 'x' is not an integer", 1, 100, 2, 0},
        {"4", "", "3", "1", "table width: '' is not an integer", 4, 100, 2, 0},
        {"4", "50", "3", "1.5", "cell padding: '1.5' is not an integer", 4, 50, 3, 0},
    };
    for (const auto& C : Cases) {
        TTableOptionsModel M;
        M.ReadData(THTMLTable());
        M.LoadTablePage();
        TTablePage& P = M.TablePage();
        P.Caption = L"new";
        P.BorderWidth = C.Border;
        P.Width = C.Width;
        P.CellSpacing = C.Spacing;
        P.CellPadding = C.Padding;
        P.Alignment = taRight;
        const TStatus S = M.Apply();
        EXPECT_EQ(S.Message(), C.Message ? C.Message : "");
        const THTMLTable& W = M.WorkingTable();
        EXPECT_EQ(W.Caption(), L"new"); // taken before the numbers
        EXPECT_EQ(W.BorderWidth(), C.ExpectBorder) << C.Border;
        EXPECT_EQ(W.Width(), C.ExpectWidth) << C.Width;
        EXPECT_EQ(W.CellSpacing(), C.ExpectSpacing) << C.Spacing;
        EXPECT_EQ(W.CellPadding(), C.ExpectPadding) << C.Padding;
        EXPECT_EQ(W.Align(), C.Message ? taLeft : taRight); // taken after them
    }
}

TEST(TableOptionsModel, EditsColumnsThroughTheScratchCopiesAndSavesToTheSettings) {
    THTMLTable Stored;
    Stored.GetColumn(2).SetVAlign(vaBaseline);
    TTableOptionsModel M;
    M.ReadData(Stored);
    EXPECT_EQ(M.CurrentColumn(), -1);
    EXPECT_EQ(M.ColumnListText(5), L"Module");

    // Column 1 edited, then column 2 shown: the edits of column 1 are kept in its scratch copy.
    TColumnPage& P = M.ColumnPage();
    P.Selected = 1;
    M.ColListClick();
    EXPECT_EQ(P.Title, L"Status");
    EXPECT_EQ(P.Width, "5");
    P.Title = L"State";
    P.Visible = false;
    P.Align = taLeft;
    P.FontFace = L"Face \u0416 " + std::wstring(70, L'x');
    P.Bold = true;
    P.Selected = 2;
    M.ColListClick();
    EXPECT_EQ(M.ScratchColumn(1).Title(), L"State");
    EXPECT_EQ(M.WorkingTable().GetColumn(1).Title(), L"Status"); // not before Apply
    EXPECT_EQ(P.VAlign, vaBaseline);
    P.Align = 7; // no choice in the group: the column keeps its alignment

    ASSERT_TRUE(M.Apply().Ok());
    const THTMLTable& W = M.WorkingTable();
    EXPECT_EQ(W.GetColumn(1).Title(), L"State");
    EXPECT_EQ(W.GetColumn(1).ColType(), ctStatus);
    EXPECT_FALSE(W.GetColumn(1).Visible());
    EXPECT_EQ(W.GetColumn(1).Font().FaceName(), "Face ? " + std::string(56, 'x'));
    EXPECT_EQ(W.GetColumn(2).VAlign(), vaBaseline);
    EXPECT_EQ(W.GetColumn(2).Align(), taCenter);
    EXPECT_EQ(M.CurrentColumn(), 2);

    // OK: the target and the settings get the working table; the target keeps column types.
    THTMLTable Target;
    TIniFile Ini = TIniFile::FromText("t.ini", "");
    M.SaveData(Target, Ini);
    EXPECT_TRUE(Target == W);
    THTMLTable Back;
    ASSERT_TRUE(ReadTableOptions(Back, Ini).Ok());
    EXPECT_TRUE(Back == W);
    EXPECT_NE(Ini.Text().find("[ToDo List]\nHTMLTableOptions=4854424C01"), std::string::npos);
}

TEST(TableOptionsModel, PreviewShowsAFontSizeOfZeroAfterABadEntry) {
    TTableOptionsModel M;
    M.ReadData(THTMLTable());
    M.ColListClick(); // entry 0 is selected after ReadData
    M.ColumnPage().FontSize = "x";
    ASSERT_TRUE(M.Apply().Ok());
    TTempDir Dir;
    const std::string File = PreviewFileName(Dir.File(""));
    TFakeItems Items(SampleItems());
    ASSERT_TRUE(M.WorkingTable().SaveToFile(File, Items).Ok());
    EXPECT_EQ(File, Dir.File("ToDoTable.html"));
    const std::wstring& Html = M.WorkingTable().Text();
    size_t Count = 0;
    for (size_t At = Html.find(L"<FONT SIZE=0>"); At != std::wstring::npos;
         At = Html.find(L"<FONT SIZE=0>", At + 1))
        ++Count;
    EXPECT_EQ(Count, 1 + SampleItems().size()); // the header and every row
}
