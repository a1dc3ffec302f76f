#include "td_string_grid.h"

#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

/// How far (pixels) from a column's right boundary a header press still grabs the boundary.
constexpr int ResizeGrip = 3;
constexpr int DefaultColWidth = 64;
constexpr int HorizontalStep = 16;

/// Breaks Text at spaces so that no line is wider than MaxWidth pixels in Metrics (a single
/// word wider than that keeps its own line). Existing line breaks stay.
QString WrapToWidth(const QString& Text, const QFontMetrics& Metrics, int MaxWidth) {
    QStringList Out;
    for (const QString& Line : Text.split(QLatin1Char('\n'))) {
        QString Current;
        for (const QString& Word : Line.split(QLatin1Char(' '))) {
            const QString Joined = Current.isEmpty() ? Word : Current + QLatin1Char(' ') + Word;
            if (!Current.isEmpty() && Metrics.horizontalAdvance(Joined) > MaxWidth) {
                Out << Current;
                Current = Word;
            } else {
                Current = Joined;
            }
        }
        Out << Current;
    }
    return Out.join(QLatin1Char('\n'));
}

} // namespace

struct TTDStringGrid::TPrivate {
    int RowCount = 2;
    int RowHeight = 24;
    std::vector<int> ColWidths = std::vector<int>(5, DefaultColWidth);
    TGridRect Selection{0, 1, 4, 1};
    /// The column whose right boundary is being dragged, -1 when no resize is under way.
    int ResizeCol = -1;
    /// The split cursor is shown over a boundary; the grid restores the cursor only then, so a
    /// cursor its owner set (the busy cursor over a row) stays until the owner changes it.
    bool SplitCursor = false;
    int ResizeStartX = 0;
    int ResizeStartWidth = 0;
};

TTDStringGrid::TTDStringGrid(QWidget* Parent)
    : QAbstractScrollArea(Parent), D(std::make_unique<TPrivate>()) {
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setBackgroundRole(QPalette::Base);
    D->RowHeight = std::max(18, fontMetrics().height() + 4);
    verticalScrollBar()->setTracking(true);
    horizontalScrollBar()->setTracking(true);
    UpdateScrollBars();
}

TTDStringGrid::~TTDStringGrid() = default;

int TTDStringGrid::ColCount() const {
    return static_cast<int>(D->ColWidths.size());
}

void TTDStringGrid::SetColCount(int Value) {
    Value = std::max(1, Value);
    D->ColWidths.resize(static_cast<size_t>(Value), DefaultColWidth);
    D->Selection.Left = 0;
    D->Selection.Right = Value - 1;
    if (D->ResizeCol >= Value)
        D->ResizeCol = -1;
    UpdateScrollBars();
    viewport()->update();
}

int TTDStringGrid::RowCount() const {
    return D->RowCount;
}

void TTDStringGrid::SetRowCount(int Value) {
    D->RowCount = std::max(FixedRows() + 1, Value);
    const int Last = D->RowCount - 1;
    D->Selection.Top = std::min(D->Selection.Top, Last);
    D->Selection.Bottom = std::min(D->Selection.Bottom, Last);
    UpdateScrollBars();
    viewport()->update();
}

int TTDStringGrid::ColWidth(int Col) const {
    return Col >= 0 && Col < ColCount() ? D->ColWidths[static_cast<size_t>(Col)] : 0;
}

void TTDStringGrid::SetColWidth(int Col, int Value) {
    if (Col < 0 || Col >= ColCount())
        return;
    D->ColWidths[static_cast<size_t>(Col)] = std::max(0, Value);
    UpdateScrollBars();
    viewport()->update();
}

int TTDStringGrid::DefaultRowHeight() const {
    return D->RowHeight;
}

void TTDStringGrid::SetDefaultRowHeight(int Value) {
    D->RowHeight = std::max(1, Value);
    UpdateScrollBars();
    viewport()->update();
}

TGridRect TTDStringGrid::Selection() const {
    return D->Selection;
}

void TTDStringGrid::SetSelection(const TGridRect& Value) {
    const int Last = D->RowCount - 1;
    const int Top = std::clamp(Value.Top, FixedRows(), Last);
    D->Selection = {0, Top, ColCount() - 1, std::clamp(Value.Bottom, Top, Last)};
    ScrollRowIntoView(Top);
    viewport()->update();
}

int TTDStringGrid::Row() const {
    return D->Selection.Top;
}

int TTDStringGrid::TopRow() const {
    return FixedRows() + verticalScrollBar()->value();
}

int TTDStringGrid::VisibleBodyRows() const {
    return std::max(1, (viewport()->height() - D->RowHeight) / D->RowHeight);
}

int TTDStringGrid::ColLeft(int Col) const {
    int Left = -horizontalScrollBar()->value();
    for (int C = 0; C < Col; ++C)
        Left += D->ColWidths[static_cast<size_t>(C)];
    return Left;
}

void TTDStringGrid::UpdateScrollBars() {
    const int BodyRows = D->RowCount - FixedRows();
    const int Visible = VisibleBodyRows();
    QScrollBar* V = verticalScrollBar();
    V->setRange(0, std::max(0, BodyRows - Visible));
    V->setPageStep(Visible);
    V->setSingleStep(1);

    int Total = 0;
    for (int W : D->ColWidths)
        Total += W;
    QScrollBar* H = horizontalScrollBar();
    const int Page = viewport()->width();
    H->setRange(0, std::max(0, Total - Page));
    H->setPageStep(std::max(1, Page));
    H->setSingleStep(HorizontalStep);
}

void TTDStringGrid::ScrollRowIntoView(int Row) {
    if (Row < FixedRows())
        return;
    const int Visible = VisibleBodyRows();
    if (Row < TopRow())
        verticalScrollBar()->setValue(Row - FixedRows());
    else if (Row >= TopRow() + Visible)
        verticalScrollBar()->setValue(Row - FixedRows() - Visible + 1);
}

TGridCoord TTDStringGrid::MouseToCell(int X, int Y) const {
    if (X < 0 || Y < 0 || X >= viewport()->width() || Y >= viewport()->height())
        return {};
    int Row = 0;
    if (Y >= D->RowHeight) {
        Row = TopRow() + (Y - D->RowHeight) / D->RowHeight;
        if (Row >= D->RowCount)
            return {};
    }
    int Left = -horizontalScrollBar()->value();
    for (int C = 0; C < ColCount(); ++C) {
        const int W = D->ColWidths[static_cast<size_t>(C)];
        if (X >= Left && X < Left + W)
            return {C, Row};
        Left += W;
    }
    return {};
}

QRect TTDStringGrid::CellRect(int Col, int Row) const {
    if (Col < 0 || Col >= ColCount() || Row < 0 || Row >= D->RowCount)
        return {};
    int Top = 0;
    if (Row >= FixedRows()) {
        if (Row < TopRow())
            return {};
        Top = D->RowHeight * (FixedRows() + Row - TopRow());
    }
    const QRect Cell(ColLeft(Col), Top, ColWidth(Col), D->RowHeight);
    return !Cell.isEmpty() && Cell.intersects(viewport()->rect()) ? Cell : QRect();
}

void TTDStringGrid::InvalidateRect(const QRect& Rect, bool /*Erase*/) {
    viewport()->update(Rect);
}

void TTDStringGrid::SetMouseCapture(bool Value) {
    if (Value)
        viewport()->grabMouse();
    else
        viewport()->releaseMouse();
}

bool TTDStringGrid::CanShowHint() const {
    return (isActiveWindow() || underMouse()) && QGuiApplication::mouseButtons() == Qt::NoButton;
}

int TTDStringGrid::ResizeColAt(int X, int Y) const {
    if (Y < 0 || Y >= D->RowHeight)
        return -1;
    // From the right, so that the column that ends at a boundary wins over hidden ones before it
    // and the nearer boundary wins when narrow columns put two within reach.
    int Best = -1;
    int BestDistance = ResizeGrip + 1;
    for (int C = ColCount() - 1; C >= 0; --C) {
        if (ColWidth(C) == 0)
            continue;
        const int Distance = std::abs(ColLeft(C) + ColWidth(C) - X);
        if (Distance < BestDistance) {
            Best = C;
            BestDistance = Distance;
        }
    }
    return Best;
}

void TTDStringGrid::paintEvent(QPaintEvent* Event) {
    QPainter Painter(viewport());
    Painter.setFont(font());
    const QRect Dirty = Event->rect();
    QRegion Background(Dirty);
    const int Height = viewport()->height();
    const int LastRow = std::min(D->RowCount - 1, TopRow() + Height / D->RowHeight);
    for (int Row = 0; Row <= LastRow; Row = Row == 0 ? TopRow() : Row + 1) {
        for (int Col = 0; Col < ColCount(); ++Col) {
            const QRect Cell = CellRect(Col, Row);
            if (Cell.isEmpty() || !Cell.intersects(Dirty))
                continue;
            Background -= Cell;
            Painter.save();
            Painter.setClipRect(Cell.intersected(Dirty));
            if (OnDrawCell)
                OnDrawCell(Col, Row, Cell, Painter);
            else
                Painter.fillRect(Cell, palette().base());
            Painter.restore();
        }
    }
    for (const QRect& Rest : Background)
        Painter.fillRect(Rest, palette().base());
}

void TTDStringGrid::mousePressEvent(QMouseEvent* Event) {
    const QPoint Pos = Event->position().toPoint();
    if (Event->button() == Qt::LeftButton) {
        const int Col = ResizeColAt(Pos.x(), Pos.y());
        if (Col >= 0) {
            D->ResizeCol = Col;
            D->ResizeStartX = Pos.x();
            D->ResizeStartWidth = ColWidth(Col);
            return;
        }
        const TGridCoord Cell = MouseToCell(Pos.x(), Pos.y());
        if (Cell.Y >= FixedRows()) {
            bool CanSelect = true;
            if (OnSelectCell)
                OnSelectCell(Cell.X, Cell.Y, CanSelect);
            if (CanSelect)
                SetSelection({0, Cell.Y, ColCount() - 1, Cell.Y});
        }
    }
    if (OnMouseDown)
        OnMouseDown(Event->button(), Event->modifiers(), Pos.x(), Pos.y());
}

void TTDStringGrid::mouseReleaseEvent(QMouseEvent* Event) {
    if (D->ResizeCol >= 0 && Event->button() == Qt::LeftButton) {
        D->ResizeCol = -1;
        return;
    }
    const QPoint Pos = Event->position().toPoint();
    if (OnMouseUp)
        OnMouseUp(Event->button(), Event->modifiers(), Pos.x(), Pos.y());
}

void TTDStringGrid::mouseMoveEvent(QMouseEvent* Event) {
    const QPoint Pos = Event->position().toPoint();
    if (D->ResizeCol >= 0) {
        SetColWidth(D->ResizeCol, D->ResizeStartWidth + Pos.x() - D->ResizeStartX);
        return;
    }
    if (Event->buttons() == Qt::NoButton) {
        const bool OnBoundary = ResizeColAt(Pos.x(), Pos.y()) >= 0;
        if (OnBoundary && !D->SplitCursor)
            viewport()->setCursor(Qt::SplitHCursor);
        else if (!OnBoundary && D->SplitCursor)
            viewport()->unsetCursor();
        D->SplitCursor = OnBoundary;
    }
    if (OnMouseMove)
        OnMouseMove(Event->modifiers(), Pos.x(), Pos.y());
}

void TTDStringGrid::mouseDoubleClickEvent(QMouseEvent* Event) {
    // The second press of a double-click is a press as well (a header clicked twice quickly sorts
    // twice); on a boundary it is another resize grab and no double-click.
    const QPoint Pos = Event->position().toPoint();
    const bool OnBoundary = Event->button() == Qt::LeftButton && ResizeColAt(Pos.x(), Pos.y()) >= 0;
    mousePressEvent(Event);
    if (!OnBoundary && OnDblClick)
        OnDblClick();
}

void TTDStringGrid::keyPressEvent(QKeyEvent* Event) {
    bool Handled = false;
    if (OnKeyPress) {
        char16_t Key = 0;
        if (Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter)
            Key = 13;
        else if (const QString Text = Event->text(); Text.size() == 1 && Text[0].isPrint())
            Key = Text[0].unicode();
        if (Key != 0) {
            OnKeyPress(Key);
            Handled = true;
        }
    }

    const int Current = Row();
    int Target = -1;
    switch (Event->key()) {
    case Qt::Key_Up:
        Target = Current - 1;
        break;
    case Qt::Key_Down:
        Target = Current + 1;
        break;
    case Qt::Key_PageUp:
        Target = Current - VisibleBodyRows();
        break;
    case Qt::Key_PageDown:
        Target = Current + VisibleBodyRows();
        break;
    case Qt::Key_Home:
        Target = FixedRows();
        break;
    case Qt::Key_End:
        Target = D->RowCount - 1;
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
        horizontalScrollBar()->triggerAction(Event->key() == Qt::Key_Left
                                                 ? QAbstractSlider::SliderSingleStepSub
                                                 : QAbstractSlider::SliderSingleStepAdd);
        Handled = true;
        break;
    default:
        break;
    }
    if (Target >= 0) {
        Handled = true;
        Target = std::clamp(Target, FixedRows(), D->RowCount - 1);
        bool CanSelect = true;
        if (Target != Current && OnSelectCell)
            OnSelectCell(D->Selection.Left, Target, CanSelect);
        if (CanSelect)
            SetSelection({0, Target, ColCount() - 1, Target});
    }
    if (Handled)
        Event->accept();
    else
        Event->ignore();
}

bool TTDStringGrid::viewportEvent(QEvent* Event) {
    if (Event->type() != QEvent::ToolTip)
        return QAbstractScrollArea::viewportEvent(Event);
    auto* Help = static_cast<QHelpEvent*>(Event);
    THintInfo Info;
    Info.CursorPos = Help->pos();
    Info.CursorRect = viewport()->rect();
    Info.HideTimeout = -1; // the tooltip's own default
    if (OnHint && CanShowHint())
        OnHint(Info);
    if (Info.HintStr.empty()) {
        QToolTip::hideText();
        Event->ignore();
        return true;
    }
    QString Text =
        QString::fromUtf8(Info.HintStr.data(), static_cast<qsizetype>(Info.HintStr.size()));
    if (Info.HintMaxWidth > 0)
        Text = WrapToWidth(Text, QFontMetrics(QToolTip::font()), Info.HintMaxWidth);
    QToolTip::showText(Help->globalPos(), Text, viewport(), Info.CursorRect, Info.HideTimeout);
    return true;
}

void TTDStringGrid::resizeEvent(QResizeEvent* Event) {
    QAbstractScrollArea::resizeEvent(Event);
    UpdateScrollBars();
}

void TTDStringGrid::scrollContentsBy(int /*Dx*/, int /*Dy*/) {
    // Rows scroll whole and the header stays put, so a pixel blit of the old content would be
    // wrong: repaint instead.
    viewport()->update();
}
