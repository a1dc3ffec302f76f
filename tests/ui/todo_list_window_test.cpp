// The To-Do List window over a real service and project: updates and the status bar, checking
// items off, sorting by header and menu, tooltips, the popup menu's selection, Enter, the saved
// state, and the window queries answered on the socket, read raw and by 'todolist query'.

#include "tests/cli/cli_run.h"
#include "ui_host.h"

#include "host/edit_buffer.h"
#include "host/window_query.h"
#include "ui/td_string_grid.h"
#include "ui/todo_images.h"
#include "ui/todo_list_window.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

const std::string LongText(5000, 'w'); // longer than a reply carries

const std::string Unit = "unit a;\n"
                         "{ TODO 1 -oAnn -cUI : Fix the splitter }\n"
                         "{ TODO 2 -oBob -ccore : Speed up }\n"
                         "{ DONE -oAnn -cBuild : Tidy the scripts }\n"
                         "{ TODO 3 : " +
                         LongText +
                         " }\n"
                         "{ TODO : two\nlines }\n"
                         "end.\n";

class WindowTest : public ::testing::Test {
protected:
    TUiHost Host; // outlives the window
    std::unique_ptr<TToDoListWindow> Window;
    TTDStringGrid* Grid = nullptr;

    void SetUp() override {
        Window = std::make_unique<TToDoListWindow>();
        Grid = Window->Grid();
        Window->resize(700, 400);
        Window->show();
        Window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    }

    void TearDown() override {
        // The application keeps one mouse state for all tests: a test whose last release landed
        // outside every window leaves the button held, and a held button rightly stops the
        // tooltips of the next test.
        if (QGuiApplication::mouseButtons() != Qt::NoButton)
            QTest::mouseRelease(Grid->viewport(), Qt::LeftButton);
    }

    std::string UnitFile() const { return Host.Dir.File("a.pas"); }

    /// Opens the project over Unit (in an editor when Open) and waits until its five items are
    /// listed and shown.
    void OpenItems(bool Open) {
        Host.OpenProject("app", {{"a.pas", Unit}});
        if (Open) {
            ASSERT_TRUE(CallDefaultOpenProc(UnitFile(), true));
        }
        Settle(5);
    }

    /// Parses and waits until Count items are listed and the window has taken the update.
    void Settle(int Count) {
        Host.ParseAndSettle();
        ASSERT_TRUE(TUiHost::WaitFor([&] {
            return Host.List().GetItemCount() == Count &&
                   Grid->RowCount() == 1 + std::max(Count, 1);
        }));
    }

    QString Panel(int I) const {
        return Window->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(I))->text();
    }

    /// The grid row of the item whose text starts with Prefix; -1 when none.
    int RowOf(const std::string& Prefix) {
        for (int I = 0; I < Host.List().GetItemCount(); ++I)
            if (Host.List().GetItem(I)->GetText().starts_with(Prefix))
                return I + 1;
        return -1;
    }

    QPoint At(int Col, int Row, int X = -1) const {
        const QRect R = Grid->CellRect(Col, Row);
        return {X < 0 ? R.center().x() : R.left() + X, R.center().y()};
    }

    QAction* Action(const char* Name) const {
        return Window->findChild<QAction*>(QString::fromLatin1(Name));
    }
};

TEST_F(WindowTest, RowsAndStatusBarFollowTheUpdates) {
    Settle(0);
    EXPECT_EQ(Grid->RowCount(), 2) << "the header and one empty body row";
    EXPECT_EQ(Panel(0), "0 items (0 hidden)");
    EXPECT_EQ(Panel(1), "0 items pending");

    OpenItems(false);
    EXPECT_EQ(Grid->RowCount(), 6);
    EXPECT_EQ(Panel(0), "5 items (0 hidden)");
    EXPECT_EQ(Panel(1), "4 items pending");
    EXPECT_EQ(Window->windowTitle(), "To-Do List - app");
}

TEST_F(WindowTest, ReleaseOnTheCheckBoxTogglesTheItemElsewhereOnlySelects) {
    OpenItems(true);
    const int Row = RowOf("Fix");
    ASSERT_FALSE(Window->CellFont(Row).strikeOut());
    EXPECT_TRUE(Window->CellFont(Row).bold()) << "the item's file is the active module";

    QTest::mouseClick(Grid->viewport(), Qt::LeftButton, {}, At(0, Row, 19));
    EXPECT_NE(FindEditBuffer(UnitFile())->GetText().find("{ DONE 1 -oAnn -cUI : Fix"),
              std::string::npos);
    Settle(5);
    EXPECT_TRUE(Window->CellFont(RowOf("Fix")).strikeOut());

    const std::string Before = FindEditBuffer(UnitFile())->GetText();
    const int Other = RowOf("Speed");
    QTest::mouseClick(Grid->viewport(), Qt::LeftButton, {}, At(0, Other, 20));
    EXPECT_EQ(FindEditBuffer(UnitFile())->GetText(), Before);
    EXPECT_EQ(Grid->Row(), Other);
    EXPECT_EQ(Window->CurrentItem()->GetText(), "Speed up ");
}

TEST_F(WindowTest, HeaderClickSortsWhereverReleasedAndTheSameColumnReverses) {
    OpenItems(false);
    QWidget* View = Grid->viewport();
    QTest::mousePress(View, Qt::LeftButton, {}, At(3, 0));
    QTest::mouseRelease(View, Qt::LeftButton, {}, QPoint(-40, 300));
    EXPECT_EQ(Window->GetSortOrder(), soOwner);
    EXPECT_TRUE(Action("SortOwner")->isChecked());
    const int First = Window->HeaderMark(3);
    EXPECT_TRUE(First == tiSortAscending || First == tiSortDescending);

    QTest::mouseClick(View, Qt::LeftButton, {}, At(3, 0));
    EXPECT_EQ(Window->HeaderMark(3), First == tiSortAscending ? tiSortDescending : tiSortAscending);
    // Two quick clicks are two clicks: the direction is back where it was.
    QTest::mouseDClick(View, Qt::LeftButton, {}, At(3, 0));
    EXPECT_EQ(Window->HeaderMark(3), First == tiSortAscending ? tiSortDescending : tiSortAscending);

    const struct {
        const char* Item;
        TToDoSortOrder Order;
        int MarkedColumn; // -1: no header carries an arrow
    } Cases[] = {
        {"SortChecked", soChecked, -1},  {"SortKind", soKind, -1},
        {"SortPriority", soPriority, 1}, {"SortActionItem", soActionItem, 0},
        {"SortModule", soModule, 2},     {"SortCategory", soCategory, 4},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Item);
        Action(C.Item)->trigger();
        EXPECT_EQ(Window->GetSortOrder(), C.Order);
        EXPECT_TRUE(Action(C.Item)->isChecked());
        EXPECT_FALSE(Action("SortOwner")->isChecked());
        for (int Col = 0; Col < 5; ++Col)
            EXPECT_EQ(Window->HeaderMark(Col) >= 0, Col == C.MarkedColumn) << Col;
    }
}

TEST_F(WindowTest, TooltipsShowClippedCellsAndMultiLineTexts) {
    OpenItems(false);
    const struct {
        const char* Item;
        int Col;
        std::string Hint; // empty: no tooltip
    } Cases[] = {
        {"www", 0, LongText + " "}, // clipped
        {"two", 0, "two\nlines "},  // fits when flattened, but has lines
        {"Fix", 0, ""},             // fits
        {"Fix", 2, UnitFile()},     // the module's path is clipped
        {"Fix", 3, ""},             // owner fits
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(testing::Message() << C.Item << " column " << C.Col);
        THintInfo Info;
        Info.CursorPos = At(C.Col, RowOf(C.Item));
        Info.CursorRect = Grid->viewport()->rect();
        Grid->OnHint(Info);
        EXPECT_EQ(Info.HintStr, C.Hint);
        if (!C.Hint.empty()) {
            EXPECT_TRUE(Info.CursorRect.contains(Info.CursorPos));
            EXPECT_EQ(Info.HideTimeout, 2147483647);
        }
    }

    Action("ShowHintsAction")->trigger(); // off
    THintInfo Info;
    Info.CursorPos = At(0, RowOf("www"));
    Grid->OnHint(Info);
    EXPECT_EQ(Info.HintStr, "");
}

TEST_F(WindowTest, RightClickSelectsTheRowBeforeThePopupMenuActsOnIt) {
    OpenItems(false);
    const int Row = RowOf("Speed");
    ASSERT_NE(Grid->Row(), Row);
    QTest::mouseClick(Grid->viewport(), Qt::RightButton, {}, At(1, Row));
    EXPECT_EQ(Grid->Row(), Row);
    EXPECT_EQ(Window->CurrentItem()->GetText(), "Speed up ");

    // The menu (as the desktop opens it on a right click) updates its items for that row.
    QContextMenuEvent Event(QContextMenuEvent::Mouse, At(1, Row),
                            Grid->viewport()->mapToGlobal(At(1, Row)));
    QApplication::sendEvent(Grid->viewport(), &Event);
    auto* Menu = Window->findChild<QMenu*>(QStringLiteral("GridPopup"));
    ASSERT_TRUE(TUiHost::WaitFor([&] { return Menu->isVisible(); }));
    EXPECT_TRUE(Action("OpenAction")->isVisible());
    EXPECT_TRUE(Action("OpenAction")->isEnabled());
    EXPECT_TRUE(Action("DeleteAction")->isVisible());
    Menu->hide();
}

TEST_F(WindowTest, EnterOpensASourceItemAndDoesNothingOnAProjectItem) {
    OpenItems(false);
    ASSERT_TRUE(Host.List().AddItem(" TODO : project item "));
    Settle(6);
    const std::string ToDoFile = Host.Dir.File("app.todo");

    const struct {
        const char* Item;
        const std::string& File;
        bool Opens;
    } Cases[] = {{"project", ToDoFile, false}, {"Speed", UnitFile(), true}};
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Item);
        QTest::mouseClick(Grid->viewport(), Qt::LeftButton, {}, At(1, RowOf(C.Item)));
        QTest::keyClick(Grid, Qt::Key_Return);
        EXPECT_EQ(FindEditBuffer(C.File) != nullptr, C.Opens);
    }
}

TEST_F(WindowTest, WindowStateRoundTrip) {
    const int Widths[] = {150, 40, 0, 90, 60};
    for (int I = 0; I < 5; ++I)
        Grid->SetColWidth(I, Widths[I]);
    Action("ShowHintsAction")->trigger();
    Action("ShowCheckedAction")->trigger();
    Window->SetSortOrder(soOwner);
    TIniFile Saved = TIniFile::FromText("", "");
    Window->SaveWindowState(Saved, false);
    EXPECT_EQ(Saved.ReadInteger("ToDo List", "SortOrder", -1), soOwner);

    Window.reset();
    Host.List().SetSortOrder(soKind);
    Window = std::make_unique<TToDoListWindow>();
    Grid = Window->Grid();
    Window->LoadWindowState(Saved);
    for (int I = 0; I < 5; ++I)
        EXPECT_EQ(Grid->ColWidth(I), Widths[I]) << I;
    EXPECT_FALSE(Action("ShowHintsAction")->isChecked());
    EXPECT_FALSE(Window->GetShowChecked());
    EXPECT_FALSE(Action("ShowCheckedAction")->isChecked());
    EXPECT_EQ(Window->GetSortOrder(), soOwner);

    // Column 2's saved width; SortOrder equal to the order in force reverses it.
    const struct {
        const char* Text;
        int Width;
    } Cases[] = {
        {"Column2Width=-1\nSortOrder=3\n", 100},
        {"SortOrder=3\n", 100},
        {"Column2Width=0\nSortOrder=3\n", 0},
        {"Column2Width=55\nSortOrder=3\n", 55},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Text);
        Grid->SetColWidth(2, 100);
        const int Direction = Host.List().GetSortDirection(soPriority);
        Window->LoadWindowState(TIniFile::FromText("", std::string("[ToDo List]\n") + C.Text));
        EXPECT_EQ(Grid->ColWidth(2), C.Width);
        EXPECT_EQ(Window->GetSortOrder(), soPriority);
        if (&C != &Cases[0]) {
            EXPECT_EQ(Host.List().GetSortDirection(soPriority), -Direction);
        }
        EXPECT_TRUE(Window->GetShowChecked()) << "missing keys read as their defaults";
    }
}

// Every query the window answers, asked the way another program asks: 'todolist query' sends it
// on the window's socket and prints the answer.
TEST_F(WindowTest, AnswersEveryQueryOnTheSocket) {
    OpenItems(false);
    const int Done = RowOf("Tidy");
    const int Fix = RowOf("Fix") - 1;
    const int Long = RowOf("www") - 1;
    QTest::mouseClick(Grid->viewport(), Qt::LeftButton, {}, At(1, Done));
    const QRect Cell = Grid->CellRect(2, 1);
    const std::string Bad = "list index out of bounds (5)\n";
    const auto Num = [](auto V) { return std::to_string(V); };
    const struct {
        std::vector<std::string> Args;
        std::string Out; // empty: refused as a usage error
    } Cases[] = {
        {{"count"}, "5\n"},
        {{"selected-row"}, Num(Done) + "\n"},
        {{"selected-column"}, "0\n"},
        {{"cell-rect", "2", "1"},
         Num(Cell.left()) + " " + Num(Cell.top()) + " " + Num(Cell.left() + Cell.width()) + " " +
             Num(Cell.top() + Cell.height()) + "\n"},
        {{"text-length", "0", Num(Fix)}, "17\n"}, // "Fix the splitter "
        {{"text-length", "3", Num(Fix)}, "3\n"},
        {{"text-length", "9", Num(Fix)}, "0\n"},
        {{"text-length", "0", "5"}, Num(Bad.size() - 1) + "\n"},
        {{"text-length", "0", Num(Long)}, "5001\n"},
        {{"text", "1", Num(RowOf("Speed") - 1)}, "2\n"},
        {{"text", "2", "0"}, UnitFile() + "\n"},
        {{"text", "0", "5"}, Bad},
        {{"text", "0", Num(Long)}, LongText.substr(0, 4095) + "\n"}, // cut for the reply
        {{"checked", Num(Done - 1)}, "1\n"},
        {{"checked", Num(Fix)}, "0\n"},
        {{"checked", "-1"}, "0\n"}, // sent as 0xFFFFFFFF
        {{"checked", "5"}, "0\n"},
        {{"cell-rect", "70000", "1"}, ""},
        {{"text", "x", "0"}, ""},
    };
    TTempDir Empty;
    TCliRunner Cli(Empty.File(""));
    // The command blocks until the window answers, and the window answers on this thread.
    const std::vector<TRun> Runs = FromClient([&] {
        std::vector<TRun> Out;
        for (const auto& C : Cases) {
            std::vector<std::string> Args = {"query", "--socket", Window->QuerySocketPath()};
            Args.insert(Args.end(), C.Args.begin(), C.Args.end());
            Out.push_back(Cli.Run(Args));
        }
        return Out;
    });
    for (size_t I = 0; I < std::size(Cases); ++I) {
        SCOPED_TRACE(testing::PrintToString(Cases[I].Args));
        EXPECT_EQ(Runs[I].Exit, Cases[I].Out.empty() ? 2 : 0) << Runs[I].Err;
        EXPECT_EQ(Runs[I].Out, Cases[I].Out);
        EXPECT_EQ(Runs[I].Err.empty(), !Cases[I].Out.empty());
    }

    // What the printed answers do not show: the text's length as the result, the zero byte the
    // copied text ends in, no copy for the other queries, the window's handle, and nothing at
    // all for a message that is no query.
    using namespace std::string_literals;
    const auto Handle = static_cast<std::uint32_t>(Window->GetHandle());
    EXPECT_EQ(Window->WndProc(qmCellText, MakeQueryParam(1, RowOf("Speed") - 1)),
              (TQueryAnswer{1, Handle, TCopyData{qmCellText, "2\0"s}}));
    EXPECT_EQ(Window->WndProc(qmCellText, MakeQueryParam(0, Long)).Result, 4095);
    EXPECT_EQ(Window->WndProc(qmItemCount, 0), (TQueryAnswer{5, Handle, std::nullopt}));
    EXPECT_EQ(Window->WndProc(qmCellRect, MakeQueryParam(2, 1)).Result, 0);
    EXPECT_EQ(Window->WndProc(1200, 0), TQueryAnswer{});
}

TEST(ElidePathTest, DropsLeadingFoldersBeforeCuttingTheName) {
    const QFontMetrics Metrics(QApplication::font());
    const QString Path = "/home/ann/project/src/file.pas";
    const auto Width = [&](const char* Text) { return Metrics.horizontalAdvance(Text); };
    const struct {
        int Width;
        QString Expected; // empty: cut in the middle
    } Cases[] = {
        {Metrics.horizontalAdvance(Path), Path},
        {Width(".../src/file.pas") + 2, ".../src/file.pas"},
        {Width(".../file.pas"), ".../file.pas"},
        {Width(".../file.pas") - 1, ""},
    };
    for (const auto& C : Cases) {
        const QString Shown = ElidePath(Metrics, Path, C.Width);
        EXPECT_LE(Metrics.horizontalAdvance(Shown), C.Width) << Shown.toStdString();
        if (!C.Expected.isEmpty())
            EXPECT_EQ(Shown, C.Expected);
        else
            EXPECT_TRUE(Shown.contains(QChar(0x2026))) << Shown.toStdString();
    }
}

} // namespace
