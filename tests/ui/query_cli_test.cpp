// 'todolist query' against a live To-Do List window: the command line reads the grid through
// the window's socket the way another program would.

#include "tests/cli/cli_run.h"
#include "ui_host.h"

#include "ui/td_string_grid.h"
#include "ui/todo_list_window.h"

#include <gtest/gtest.h>

namespace {

TEST(QueryCommand, ReadsTheGridOfALiveWindow) {
    TUiHost Host;
    TToDoListWindow Window;
    Window.resize(600, 300);
    Window.show();
    Host.OpenProject("app", {{"a.pas", "{ TODO 2 -oAnn -cUI : Fix the splitter }\n"
                                       "{ DONE -oBen : Ship it }\n"}});
    Host.ParseAndSettle();
    ASSERT_TRUE(TUiHost::WaitFor([&] { return Window.Grid()->RowCount() == 3; }));
    Window.Grid()->SetSelection({0, 2, 4, 2});
    const std::string Socket = Window.QuerySocketPath();
    ASSERT_FALSE(Socket.empty());
    const QRect Cell = Window.Grid()->CellRect(1, 2);

    struct TCase {
        std::vector<std::string> Args;
        int Exit;
        std::string Out;
    };
    const std::string SortedFirst = Host.List().GetItem(0)->GetText();
    const TCase Cases[] = {
        {{"count"}, 0, "2\n"},
        {{"selected-row"}, 0, "2\n"},
        {{"selected-column"}, 0, "0\n"},
        {{"text", "0", "0"}, 0, SortedFirst + "\n"},
        {{"text-length", "3", "1"},
         0,
         std::to_string(Host.List().GetItem(1)->GetOwner().size()) + "\n"},
        {{"checked", "-1"}, 0, "0\n"},
        {{"checked", "1"}, 0, std::to_string(int(Host.List().GetItem(1)->GetChecked())) + "\n"},
        {{"checked", "2"}, 0, "0\n"},
        {{"cell-rect", "1", "2"},
         0,
         std::to_string(Cell.left()) + " " + std::to_string(Cell.top()) + " " +
             std::to_string(Cell.left() + Cell.width()) + " " +
             std::to_string(Cell.top() + Cell.height()) + "\n"},
        {{"cell-rect", "70000", "1"}, 2, ""},
        {{"text", "x", "0"}, 2, ""},
    };

    TTempDir Empty;
    TCliRunner Cli(Empty.File(""));
    // The command blocks until the window answers, and the window answers on this thread.
    const std::vector<TRun> Runs = FromClient([&] {
        std::vector<TRun> Out;
        for (const TCase& C : Cases) {
            std::vector<std::string> Args = {"query", "--socket", Socket};
            Args.insert(Args.end(), C.Args.begin(), C.Args.end());
            Out.push_back(Cli.Run(Args));
        }
        return Out;
    });
    for (size_t I = 0; I < std::size(Cases); ++I) {
        SCOPED_TRACE(Cases[I].Args.front() + " " +
                     (Cases[I].Args.size() > 1 ? Cases[I].Args[1] : ""));
        EXPECT_EQ(Runs[I].Exit, Cases[I].Exit) << Runs[I].Err;
        if (Cases[I].Exit == 0)
            EXPECT_EQ(Runs[I].Out, Cases[I].Out);
        else
            EXPECT_NE(Runs[I].Err, "");
    }
}

} // namespace
