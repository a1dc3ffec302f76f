// Opens a saved table in a headless browser and counts what its HTML parser made of it, so that
// the hand-written tags are checked by a real parser, not only against the text we expect.
#include "table/html_table.h"

#include "fake_items.h"

#include "../host/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

/// Standard output of Command; Status receives its exit status.
std::string RunCommand(const std::string& Command, int& Status) {
    std::string Out;
    FILE* Pipe = ::popen(Command.c_str(), "r");
    if (!Pipe) {
        Status = -1;
        return Out;
    }
    char Buffer[4096];
    size_t Read;
    while ((Read = std::fread(Buffer, 1, sizeof Buffer, Pipe)) > 0)
        Out.append(Buffer, Read);
    Status = ::pclose(Pipe);
    return Out;
}

size_t Count(const std::string& Text, const std::string& What) {
    size_t N = 0;
    for (size_t At = Text.find(What); At != std::string::npos; At = Text.find(What, At + 1))
        ++N;
    return N;
}

} // namespace

TEST(TableInBrowser, RowsAndCellsAsGenerated) {
    int Status = 0;
    std::string Browser = RunCommand("command -v chromium", Status);
    if (!Browser.empty())
        Browser.pop_back(); // the line break
    if (Browser.empty())
        GTEST_SKIP() << "chromium is not on PATH; the browser check needs it";

    TTempDir Dir;
    THTMLTable Table;
    Table.SetCaption(L"Sprint");
    Table.GetColumn(4).SetVisible(false);
    Table.GetColumn(1).SetFont([] {
        THTMLFont F;
        F.Bold = true;
        F.Size = 2;
        return F;
    }());
    std::vector<TItemFields> Fields = SampleItems();
    Fields[0].Text = "Fix the splitter"; // a "<b>" in a cell would be markup to the browser
    TFakeItems Items(Fields);
    const std::string File = Dir.File("table.html");
    ASSERT_TRUE(Table.SaveToFile(File, Items).Ok());

    // timeout(1) ends a browser that hangs; the profile goes to the temporary folder.
    const std::string Command = "timeout -k 5 60 '" + Browser +
                                "' --headless --no-sandbox --disable-gpu --user-data-dir='" +
                                Dir.File("profile") + "' --dump-dom 'file://" + File +
                                "' 2>/dev/null";
    const std::string Dom = RunCommand(Command, Status);
    ASSERT_EQ(Status, 0) << "the browser failed or timed out:\n" << Dom;

    const size_t Visible = THTMLTable::ColumnCount - 1;
    EXPECT_EQ(Count(Dom, "<table"), 1u) << Dom;
    EXPECT_EQ(Count(Dom, "<caption>Sprint</caption>"), 1u) << Dom;
    EXPECT_EQ(Count(Dom, "<tr>"), 1 + Fields.size()) << Dom;
    EXPECT_EQ(Count(Dom, "<th "), Visible) << Dom;
    EXPECT_EQ(Count(Dom, "<td "), Visible * Fields.size()) << Dom;
    EXPECT_EQ(Count(Dom, "<b>"), 1 + Fields.size()) << Dom; // the bold status column
    EXPECT_NE(Dom.find("Bo\xE2\x82\xAC"), std::string::npos) << "UTF-16 text decoded";
}
