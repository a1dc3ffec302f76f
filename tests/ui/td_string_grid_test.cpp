// The owner-drawn grid: hit testing and cell rectangles under scrolling, row selection by mouse
// and keyboard, the column resize gesture, mouse capture, tooltips, and the window's images.

#include "ui/td_string_grid.h"
#include "ui/todo_images.h"

#include <QApplication>
#include <QHelpEvent>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

namespace {

/// A 200 x 105 grid without a frame: 20 px rows (header + 4 whole body rows), columns of 50,
/// 0 (hidden) and 80 px, 20 rows, scrolled so that body row 4 is at the top.
class GridTest : public ::testing::Test {
protected:
    void SetUp() override {
        Grid.setFrameShape(QFrame::NoFrame);
        Grid.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        Grid.SetDefaultRowHeight(20);
        Grid.SetColCount(3);
        Grid.SetColWidth(0, 50);
        Grid.SetColWidth(1, 0);
        Grid.SetColWidth(2, 80);
        Grid.SetRowCount(20);
        Grid.resize(200 + Grid.verticalScrollBar()->sizeHint().width(), 105);
        Grid.show();
        Grid.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Grid));
        ASSERT_EQ(Grid.viewport()->size(), QSize(200, 105));
        Grid.verticalScrollBar()->setValue(3);
        ASSERT_EQ(Grid.TopRow(), 4);
        Grid.OnMouseDown = [this](Qt::MouseButton Button, Qt::KeyboardModifiers, int X, int Y) {
            Downs.push_back({Button, QPoint(X, Y)});
        };
        Grid.OnMouseUp = [this](Qt::MouseButton Button, Qt::KeyboardModifiers, int X, int Y) {
            Ups.push_back({Button, QPoint(X, Y)});
        };
    }

    /// A move with Buttons held, sent straight to the viewport (also outside it, as a grab
    /// delivers it).
    void Move(QPoint Pos, Qt::MouseButtons Buttons) {
        QWidget* View = Grid.viewport();
        QMouseEvent Event(QEvent::MouseMove, Pos, View->mapToGlobal(Pos), Qt::NoButton, Buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(View, &Event);
    }

    TTDStringGrid Grid;
    std::vector<std::pair<Qt::MouseButton, QPoint>> Downs;
    std::vector<std::pair<Qt::MouseButton, QPoint>> Ups;
};

TEST_F(GridTest, MouseToCellHonoursHeaderScrollingAndHiddenColumns) {
    const struct {
        QPoint Pos;
        int Col, Row;
    } Cases[] = {
        {{10, 5}, 0, 0},     // header stays at the top while the body is scrolled
        {{60, 5}, 2, 0},     // the hidden column takes no room
        {{49, 25}, 0, 4},    // the first body row shown is TopRow
        {{50, 25}, 2, 4},    // the hidden column's boundary hits the next visible one
        {{10, 104}, 0, 8},   // a partly shown last row
        {{150, 25}, -1, -1}, // right of the last column
        {{-1, 5}, -1, -1},   // left of the viewport
        {{10, 105}, -1, -1}, // below the viewport
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(testing::Message() << C.Pos.x() << "," << C.Pos.y());
        const TGridCoord Cell = Grid.MouseToCell(C.Pos.x(), C.Pos.y());
        EXPECT_EQ(Cell.X, C.Col);
        EXPECT_EQ(Cell.Y, C.Row);
    }
    Grid.SetRowCount(5); // fewer rows than fit: nothing below the last one
    Grid.verticalScrollBar()->setValue(0);
    EXPECT_EQ(Grid.MouseToCell(10, 100).Y, -1);
}

TEST_F(GridTest, CellRectIsEmptyOffScreen) {
    const struct {
        int Col, Row;
        QRect Expected;
    } Cases[] = {
        {0, 0, {0, 0, 50, 20}},
        {2, 0, {50, 0, 80, 20}},
        {0, 4, {0, 20, 50, 20}},
        {2, 6, {50, 60, 80, 20}},
        {1, 5, {}},  // hidden
        {0, 3, {}},  // scrolled off above
        {0, 9, {}},  // below the viewport
        {3, 4, {}},  // no such column
        {0, 20, {}}, // no such row
        {-1, 0, {}},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(testing::Message() << C.Col << "," << C.Row);
        EXPECT_EQ(Grid.CellRect(C.Col, C.Row), C.Expected);
    }
    Grid.SetColWidth(2, 400);
    Grid.horizontalScrollBar()->setValue(30);
    EXPECT_EQ(Grid.CellRect(0, 0), QRect(-30, 0, 50, 20));
    EXPECT_EQ(Grid.MouseToCell(25, 5).X, 2);
}

TEST_F(GridTest, PaintsEveryVisibleCellThroughTheHandlerAndBaseElsewhere) {
    std::set<std::pair<int, int>> Drawn;
    Grid.OnDrawCell = [&](int Col, int Row, const QRect& Rect, QPainter& Painter) {
        Drawn.insert({Col, Row});
        EXPECT_EQ(Rect, Grid.CellRect(Col, Row));
        Painter.fillRect(Rect.adjusted(-5, -5, 5, 5), Qt::red); // the clip keeps it in the cell
    };
    const QImage Shot = Grid.viewport()->grab().toImage();
    const std::set<std::pair<int, int>> Expected = {{0, 0}, {2, 0}, {0, 4}, {2, 4}, {0, 5}, {2, 5},
                                                    {0, 6}, {2, 6}, {0, 7}, {2, 7}, {0, 8}, {2, 8}};
    EXPECT_EQ(Drawn, Expected);
    EXPECT_EQ(Shot.pixelColor(10, 30), QColor(Qt::red));
    EXPECT_EQ(Shot.pixelColor(135, 30), Grid.palette().color(QPalette::Base));
}

TEST_F(GridTest, LeftClickSelectsTheRowUnlessRefused) {
    const struct {
        QPoint Pos;
        Qt::MouseButton Button;
        bool Refuse;
        int AskedRow; // -1: OnSelectCell not asked
        int Row;
    } Cases[] = {
        {{10, 45}, Qt::LeftButton, false, 5, 5},
        {{60, 65}, Qt::LeftButton, true, 6, 5},    // refused: the selection stays
        {{10, 5}, Qt::LeftButton, false, -1, 5},   // the header never selects
        {{10, 85}, Qt::RightButton, false, -1, 5}, // only the left button selects
        {{160, 85}, Qt::LeftButton, false, -1, 5}, // no cell there
        {{60, 85}, Qt::LeftButton, false, 7, 7},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(testing::Message() << C.Pos.x() << "," << C.Pos.y());
        int Asked = -1;
        Grid.OnSelectCell = [&](int, int Row, bool& CanSelect) {
            Asked = Row;
            EXPECT_TRUE(Downs.empty()) << "selection is handled before the press is reported";
            CanSelect = !C.Refuse;
        };
        Downs.clear();
        QTest::mousePress(Grid.viewport(), C.Button, {}, C.Pos);
        QTest::mouseRelease(Grid.viewport(), C.Button, {}, C.Pos);
        EXPECT_EQ(Asked, C.AskedRow);
        EXPECT_EQ(Grid.Row(), C.Row);
        EXPECT_EQ(Grid.Selection().Left, 0);
        EXPECT_EQ(Grid.Selection().Right, 2);
        ASSERT_EQ(Downs.size(), 1u);
        EXPECT_EQ(Downs[0].first, C.Button);
        EXPECT_EQ(Downs[0].second, C.Pos);
    }
}

TEST_F(GridTest, NavigationKeysMoveTheSelectionInViewAndTypedKeysReachOnKeyPress) {
    std::vector<char16_t> Keys;
    Grid.OnKeyPress = [&](char16_t& Key) { Keys.push_back(Key); };
    Grid.SetSelection({0, 1, 2, 1});
    EXPECT_EQ(Grid.TopRow(), 1);
    int Refused = -1;
    Grid.OnSelectCell = [&](int, int Row, bool& CanSelect) { CanSelect = Row != Refused; };
    const struct {
        Qt::Key Key;
        int Row, TopRow;
    } Steps[] = {
        {Qt::Key_Up, 1, 1},       {Qt::Key_Down, 2, 1},     {Qt::Key_End, 19, 16},
        {Qt::Key_Down, 19, 16},   {Qt::Key_PageUp, 15, 15}, {Qt::Key_Home, 1, 1},
        {Qt::Key_PageDown, 5, 2}, {Qt::Key_Up, 4, 2},
    };
    for (const auto& S : Steps) {
        SCOPED_TRACE(testing::Message() << "key 0x" << std::hex << int(S.Key));
        QTest::keyClick(&Grid, S.Key);
        EXPECT_EQ(Grid.Row(), S.Row);
        EXPECT_EQ(Grid.TopRow(), S.TopRow);
    }
    Refused = 3;
    QTest::keyClick(&Grid, Qt::Key_Up);
    EXPECT_EQ(Grid.Row(), 4);
    EXPECT_TRUE(Keys.empty()) << "navigation keys are the grid's own";
    for (Qt::Key Key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_A})
        QTest::keyClick(&Grid, Key);
    EXPECT_EQ(Keys, (std::vector<char16_t>{13, 13, u'a'}));
}

TEST_F(GridTest, DraggingAHeaderBoundaryResizesWithoutReportingThePress) {
    QWidget* View = Grid.viewport();
    Move({48, 5}, Qt::NoButton);
    EXPECT_EQ(View->cursor().shape(), Qt::SplitHCursor);
    Move({30, 5}, Qt::NoButton);
    EXPECT_NE(View->cursor().shape(), Qt::SplitHCursor);

    // Column 0 ends at 50 where the hidden column 1 ends too: the visible one is resized.
    QTest::mousePress(View, Qt::LeftButton, {}, {52, 10});
    Move({72, 10}, Qt::LeftButton);
    QTest::mouseRelease(View, Qt::LeftButton, {}, {72, 10});
    EXPECT_EQ(Grid.ColWidth(0), 70);
    EXPECT_EQ(Grid.ColWidth(1), 0);
    // Column 2 now ends at 150 and cannot shrink below nothing.
    QTest::mousePress(View, Qt::LeftButton, {}, {150, 10});
    Move({0, 10}, Qt::LeftButton);
    QTest::mouseRelease(View, Qt::LeftButton, {}, {0, 10});
    EXPECT_EQ(Grid.ColWidth(2), 0);
    EXPECT_TRUE(Downs.empty());
    EXPECT_TRUE(Ups.empty());

    // Out of reach of the boundary, or below the header, a press is an ordinary one.
    QTest::mouseClick(View, Qt::LeftButton, {}, {66, 10});
    QTest::mouseClick(View, Qt::LeftButton, {}, {70, 30});
    EXPECT_EQ(Downs.size(), 2u);
    EXPECT_EQ(Grid.ColWidth(0), 70);
}

TEST_F(GridTest, ACapturedMouseReportsTheReleaseOutsideTheGrid) {
    QWidget* View = Grid.viewport();
    Grid.OnMouseDown = [&](Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
        Grid.SetMouseCapture(true);
    };
    QTest::mousePress(View, Qt::LeftButton, {}, {10, 45});
    EXPECT_EQ(QWidget::mouseGrabber(), View);
    std::vector<QPoint> Moves;
    Grid.OnMouseMove = [&](Qt::KeyboardModifiers, int X, int Y) { Moves.push_back({X, Y}); };
    Move({-20, 300}, Qt::LeftButton);
    QTest::mouseRelease(View, Qt::LeftButton, {}, {-20, 300});
    Grid.SetMouseCapture(false);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_EQ(Moves, std::vector<QPoint>{QPoint(-20, 300)});
    ASSERT_EQ(Ups.size(), 1u);
    EXPECT_EQ(Ups[0].first, Qt::LeftButton);
    EXPECT_EQ(Ups[0].second, QPoint(-20, 300));
}

TEST_F(GridTest, ToolTipEventAsksOnHintAndShowsItsText) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Grid));
    ASSERT_TRUE(Grid.CanShowHint());
    std::string Text = "the item's full text";
    THintInfo Seen;
    Grid.OnHint = [&](THintInfo& Info) {
        Seen = Info;
        Info.HintStr = Text;
    };
    QWidget* View = Grid.viewport();
    const QPoint Pos(60, 45);
    QHelpEvent Event(QEvent::ToolTip, Pos, View->mapToGlobal(Pos));
    QApplication::sendEvent(View, &Event);
    EXPECT_EQ(Seen.CursorPos, Pos);
    EXPECT_EQ(Seen.CursorRect, View->rect());
    EXPECT_TRUE(Seen.HintStr.empty());
    EXPECT_EQ(Seen.HideTimeout, -1);
    EXPECT_EQ(QToolTip::text(), QString::fromStdString(Text));

    Text.clear(); // no hint: the tooltip goes away
    QHelpEvent Again(QEvent::ToolTip, Pos, View->mapToGlobal(Pos));
    QApplication::sendEvent(View, &Again);
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }));
}

TEST_F(GridTest, RowAndColumnCountsKeepSelectionAndWidthsValid) {
    Grid.SetSelection({0, 10, 2, 10});
    const struct {
        int Set, Count, Row;
    } Cases[] = {{15, 15, 10}, {5, 5, 4}, {0, 2, 1}, {-3, 2, 1}, {20, 20, 1}};
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Set);
        Grid.SetRowCount(C.Set);
        EXPECT_EQ(Grid.RowCount(), C.Count);
        EXPECT_EQ(Grid.Row(), C.Row);
    }
    Grid.SetColCount(5);
    EXPECT_EQ(Grid.ColWidth(0), 50);
    EXPECT_EQ(Grid.ColWidth(1), 0);
    EXPECT_EQ(Grid.ColWidth(4), 64);
    EXPECT_EQ(Grid.Selection().Right, 4);
}

QImage Rendered(const TImageList& List, int Index, bool Enabled) {
    QImage Out(16, 16, QImage::Format_ARGB32_Premultiplied);
    Out.fill(Qt::transparent);
    QPainter Painter(&Out);
    List.Draw(Painter, 0, 0, Index, Enabled);
    return Out;
}

bool IsBlank(const QImage& Image) {
    for (int Y = 0; Y < Image.height(); ++Y)
        for (int X = 0; X < Image.width(); ++X)
            if (qAlpha(Image.pixel(X, Y)) != 0)
                return false;
    return true;
}

TEST(Images, EveryImageIsDrawnAtSixteenPixels) {
    std::vector<std::pair<const TImageList*, int>> Images;
    for (int Index : {tiCheckedEnabled, tiUncheckedEnabled, tiCheckedGreyed, tiUncheckedGreyed,
                      tiPriorityHeader, tiSortAscending, tiSortDescending})
        Images.push_back({&ToDoWindowImages(), Index});
    for (int Index : {90, 91, 92})
        Images.push_back({&MainImageList(), Index});
    for (const auto& [List, Index] : Images) {
        SCOPED_TRACE(Index);
        ASSERT_TRUE(List->HasImage(Index));
        EXPECT_EQ(List->Image(Index).deviceIndependentSize().toSize(), QSize(16, 16));
        EXPECT_FALSE(IsBlank(Rendered(*List, Index, true)));
        EXPECT_NE(Rendered(*List, Index, true), Rendered(*List, Index, false));
    }
    // The images that mean different things look different.
    const TImageList& W = ToDoWindowImages();
    const std::pair<int, int> Distinct[] = {{tiCheckedEnabled, tiUncheckedEnabled},
                                            {tiCheckedGreyed, tiUncheckedGreyed},
                                            {tiCheckedEnabled, tiCheckedGreyed},
                                            {tiUncheckedEnabled, tiUncheckedGreyed},
                                            {tiSortAscending, tiSortDescending}};
    for (const auto& [A, B] : Distinct)
        EXPECT_NE(Rendered(W, A, true), Rendered(W, B, true)) << A << " vs " << B;
    EXPECT_NE(Rendered(MainImageList(), 91, true), Rendered(MainImageList(), 92, true));
}

TEST(Images, ListScalesImagesAndTheCanvasDrawsFromTheMainList) {
    TImageList List(16, 16);
    QPixmap Big(32, 32);
    Big.fill(Qt::blue);
    List.SetImage(3, Big);
    EXPECT_EQ(List.Image(3).size(), QSize(16, 16));
    EXPECT_TRUE(List.Image(4).isNull());
    EXPECT_TRUE(IsBlank(Rendered(List, 4, true)));
    Big.fill(Qt::red); // replacing an image also replaces its greyed copy
    const QImage GreyBlue = Rendered(List, 3, false);
    List.SetImage(3, Big);
    EXPECT_NE(Rendered(List, 3, false), GreyBlue);

    QImage Out(16, 16, QImage::Format_ARGB32_Premultiplied);
    Out.fill(Qt::transparent);
    {
        QPainter Painter(&Out);
        TPainterCanvas Canvas(Painter);
        Canvas.DrawImage(90, 0, 0, true);
    }
    EXPECT_EQ(Out, Rendered(MainImageList(), 90, true));
}

} // namespace
