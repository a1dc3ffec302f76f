#pragma once

#include <QAbstractScrollArea>
#include <QPoint>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>
#include <string>

class QPainter;

/// A cell by column (X) and row (Y); -1 for "no cell".
struct TGridCoord {
    int X = -1;
    int Y = -1;
};

/// A block of cells, inclusive on all sides: Left/Right are columns, Top/Bottom rows.
struct TGridRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

/// What the grid's OnHint handler receives and may change: the tooltip the grid shows at
/// CursorPos. The grid fills CursorPos and CursorRect (the viewport) and leaves HintStr empty;
/// a handler that wants a tooltip sets HintStr (UTF-8) and may narrow CursorRect (the tooltip
/// goes away when the mouse leaves it), HintMaxWidth (pixels) and HideTimeout (milliseconds).
struct THintInfo {
    QPoint CursorPos;   ///< viewport coordinates
    QRect CursorRect;   ///< viewport coordinates
    std::string HintStr; ///< UTF-8; empty means no tooltip
    int HintMaxWidth = 0;
    int HideTimeout = 0;
};

/// An owner-drawn grid of fixed header rows and body rows, the string grid the To-Do List window
/// draws into. It draws nothing of its own besides the background outside the cells: every cell
/// is painted by OnDrawCell. Rows all have DefaultRowHeight; columns have their own widths (0
/// hides one) and the user resizes them by dragging a boundary in the header. The fixed rows stay
/// at the top while the body scrolls. Selection is by whole rows (the selection's Left is 0 and
/// its Right the last column); it never lands on a fixed row.
///
/// Coordinates given to and taken from the handlers are viewport coordinates (the widget that
/// receives mouse events and paints). Main thread only.
class TTDStringGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TTDStringGrid(QWidget* Parent = nullptr);
    ~TTDStringGrid() override;

    int ColCount() const;
    void SetColCount(int Value);
    /// At least FixedRows() + 1; a smaller value is raised to that. A selection past the new last
    /// row moves to the last row.
    int RowCount() const;
    void SetRowCount(int Value);
    int FixedRows() const { return 1; }
    int ColWidth(int Col) const;
    /// Width in pixels; 0 hides the column. Repaints.
    void SetColWidth(int Col, int Value);
    int DefaultRowHeight() const;
    void SetDefaultRowHeight(int Value);

    /// The selected block; Top is the selected row.
    TGridRect Selection() const;
    /// Selects rows Top..Bottom (whole rows), scrolls Top into view and repaints. Does not ask
    /// OnSelectCell (the caller decided).
    void SetSelection(const TGridRect& Value);
    /// The selected row (Selection().Top).
    int Row() const;
    /// The first body row shown at the top of the body (scroll position).
    int TopRow() const;

    /// The cell at (X, Y) in viewport coordinates; {-1, -1} outside every cell.
    TGridCoord MouseToCell(int X, int Y) const;
    /// The cell's rectangle in viewport coordinates; an empty rectangle when the cell is not on
    /// screen or does not exist.
    QRect CellRect(int Col, int Row) const;

    /// Repaints Rect of the viewport. Erase true fills the background first (the grid always
    /// paints whole cells, so both repaint the same; kept for callers that state their intent).
    void InvalidateRect(const QRect& Rect, bool Erase);
    /// Grabs the mouse for the grid (true) or releases it (false): while grabbed, moves and the
    /// release reach the grid wherever the mouse is.
    void SetMouseCapture(bool Value);

    /// Paints one cell; the painter is clipped to Rect and has the grid's font.
    std::function<void(int ACol, int ARow, const QRect& Rect, QPainter& Painter)> OnDrawCell;
    /// Asked before the keyboard or a left click selects a cell; set CanSelect to false to refuse.
    std::function<void(int ACol, int ARow, bool& CanSelect)> OnSelectCell;
    std::function<void(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)>
        OnMouseDown;
    /// Called for every button release, also while the mouse is captured and outside the grid.
    std::function<void(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)>
        OnMouseUp;
    std::function<void(Qt::KeyboardModifiers Shift, int X, int Y)> OnMouseMove;
    std::function<void()> OnDblClick;
    /// A typed character (Enter is character 13); the handler may change or clear (0) it.
    std::function<void(char16_t& Key)> OnKeyPress;
    /// Asked when a tooltip is due (see THintInfo).
    std::function<void(THintInfo& Info)> OnHint;

    /// The hint condition of the grid itself: true when it may show a tooltip now (its window is
    /// active or the grid is under the mouse, and no mouse button is held).
    bool CanShowHint() const;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    bool viewportEvent(QEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void scrollContentsBy(int Dx, int Dy) override;

private:
    /// Body rows that fit whole below the header; at least 1.
    int VisibleBodyRows() const;
    /// Left edge of Col in viewport coordinates (after horizontal scrolling).
    int ColLeft(int Col) const;
    /// The visible column whose right boundary lies within reach of (X, Y) in the header row;
    /// -1 when none.
    int ResizeColAt(int X, int Y) const;
    void UpdateScrollBars();
    void ScrollRowIntoView(int Row);

    // The implementation's own state lives here.
    struct TPrivate;
    std::unique_ptr<TPrivate> D;
};
