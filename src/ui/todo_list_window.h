#pragma once

#include "host/intatodo_item.h"
#include "host/todo_intf.h"
#include "host/window_query.h"
#include "list/todo_list.h"
#include "ui/shell/dockable_form.h"
#include "ui/shell/window_sink.h"

#include <QFont>
#include <QPoint>
#include <QString>

#include <cstdint>
#include <string>

class QAction;
class QActionGroup;
class QContextMenuEvent;
class QFontMetrics;
class QHideEvent;
class QKeyEvent;
class QLabel;
class QMenu;
class QPainter;
class QRect;
class QShowEvent;
class QTimer;
class TQueryServer;
class TTDStringGrid;
struct THintInfo;

/// Path as it fits into Width pixels of Metrics: whole when it fits, else with its leading
/// folders replaced by "..." one by one (the file name is kept as long as possible), and as a
/// last resort cut in the middle.
QString ElidePath(const QFontMetrics& Metrics, const QString& Path, int Width);

/// The To-Do List window: a dockable window whose owner-drawn grid lists the items of the to-do
/// list service (header row 0, row r the service's item r - 1; columns action item, priority,
/// module, owner, category), a status bar with the counts of the last collation, the item
/// commands (open, add, edit, delete, check off), sorting, filters, copying, and a popup menu
/// holding all of them.
///
/// The window keeps no items: it asks the service by row for every paint, hint and command, so
/// a row whose item is gone draws and does nothing. While it exists it is the service's display
/// form; the service posts IDEMUpdate to its handle after each collation or sort. It also
/// answers the window queries (TQueryMessage) on a local socket. Main thread only.
class TToDoListWindow : public TDockableForm, public IToDoDisplayForm {
    Q_OBJECT
public:
    /// Builds the window, registers it with the service (ToDoList, when there is one) and starts
    /// serving queries at DefaultQuerySocketPath() (a failure to listen is reported on stderr
    /// and leaves the window working without queries).
    explicit TToDoListWindow(QWidget* Parent = nullptr);
    /// Stops the queries and unregisters from the service before any child goes.
    ~TToDoListWindow() override;

    // IToDoDisplayForm
    TDisplayHandle GetHandle() const override;
    /// Caption is UTF-8.
    void SetCaption(const std::string& Caption) override;

    /// After the base's keys: "Column0Width".."Column4Width" (-1 or missing keeps the width, 0
    /// hides the column), "SortOrder" (passed to SetSortOrder, so the order already in force
    /// reverses its direction; 0 when missing or not an order), "ShowHints", "ShowChecked"
    /// (true when missing), all in DeskSection().
    void LoadWindowState(const TIniFile& Desktop) override;
    /// Writes the keys LoadWindowState reads (not the sort direction).
    void SaveWindowState(TIniFile& Desktop, bool IsProject) override;

    /// The service's sort order (soActionItem without a service).
    TToDoSortOrder GetSortOrder() const;
    /// Passes Value to the service: a new order keeps the direction it last had, the current
    /// one reverses. The sort menu's check mark is left alone.
    void SetSortOrder(TToDoSortOrder Value);
    /// Whether completed items are listed.
    bool GetShowChecked() const;
    /// Passes Value to the service (which collates again when it changed) and checks the menu
    /// item accordingly.
    void SetShowChecked(bool Value);

    /// Answers a window query: qmItemCount..qmChecked as TQueryMessage describes (the answer's
    /// Window is GetHandle(); qmCellRect and qmCellText carry a reply numbered as the query);
    /// any other message gives result 0, no window and no reply. Never throws: a text query for
    /// an index without an item answers with the error's message as the text.
    TQueryAnswer WndProc(unsigned Msg, std::uint32_t WParam);
    /// The socket the queries are served on; empty when not listening.
    std::string QuerySocketPath() const;

    /// The item of the grid's selected row, or null when that row holds none.
    TRef<INTAToDoItem> CurrentItem() const;
    /// The font the texts of grid row Row are drawn in: the grid's font, struck out when the
    /// row's item is checked, bold when the item's file is the active editor module. The grid's
    /// font for a row without an item.
    QFont CellFont(int Row) const;
    /// The sort arrow drawn in header column Col: tiSortAscending or tiSortDescending when Col
    /// shows the service's current order, else -1 (always -1 for the status and type orders,
    /// which have no column).
    int HeaderMark(int Col) const;
    /// The grid (owned by the window).
    TTDStringGrid* Grid() const { return FGrid; }

protected:
    bool event(QEvent* Event) override;
    void showEvent(QShowEvent* Event) override;
    void hideEvent(QHideEvent* Event) override;
    void contextMenuEvent(QContextMenuEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void CreateActions();
    void CreatePopupMenu();
    /// Re-registers with the service when the native window changes.
    void CreateWnd();
    void FormShow();
    void SetSinkVisible(bool Value);

    /// The item of grid row Row (1-based over the items), or null: out of range, or gone since
    /// the row count was set.
    TRef<INTAToDoItem> ItemOfRow(int Row) const;
    /// Column Col of Item as the query messages give it (raw bytes); Index is 0-based.
    std::string GetCellText(int Col, int Index) const;
    void Report(const TStatus& Status);

    // Drawing
    void GridDrawCell(int ACol, int ARow, const QRect& Rect, QPainter& Painter);
    void DrawHeader(int Col, const QRect& Rect, QPainter& Painter);
    static void DrawCellText(QPainter& Painter, const QRect& Rect, const QString& Text,
                             Qt::Alignment Alignment, bool PathEllipsis);
    void InvalidateHeader(int Col);

    // Grid events
    void GridHint(THintInfo& Info);
    void GridMouseMove(int X, int Y);
    void GridSelectCell(int ACol, int ARow, bool& CanSelect);
    void GridMouseDown(Qt::MouseButton Button, int X, int Y);
    void GridMouseUp(int X, int Y);
    void GridDblClick();
    void GridKeyPress(char16_t& Key);
    /// Message IDEMUpdate: Count is the number of listed items.
    void IDEMUpdate(std::intptr_t Count);

    // Actions
    void ToDoItemsUpdate();
    void DeleteActionExecute();
    void EditActionExecute();
    void OpenActionExecute();
    void AddActionExecute();
    void ShowHintsActionExecute();
    void ShowCheckedActionExecute();
    void FilterCategoryActionExecute(QAction* Action);
    void SortCategoryClick(QAction* Item);
    void CopyAsTextActionExecute();
    void CopyAsTableActionExecute();
    void TableOptionsActionExecute();
    void LocalMenuItemClick();

    bool FShowHints = true;
    /// The grid row drawn as selected; -1 none.
    int FSelectedRow = -1;
    /// The header column held down by the left button; -1 none.
    int FPressedColumn = -1;
    /// Where the last button went down (viewport coordinates); a double-click happens there.
    QPoint FLastMouseDown;

    // Children and actions, owned by this (Qt parent).
    TTDStringGrid* FGrid;
    QLabel* FStatusPanel0;
    QLabel* FStatusPanel1;
    QMenu* FGridPopup;
    QAction* FDeleteAction;
    QAction* FEditAction;
    QAction* FOpenAction;
    QAction* FAddAction;
    QAction* FShowHintsAction;
    QAction* FShowCheckedAction;
    QAction* FFilterCategoryAction;
    QAction* FFilterOwnersAction;
    QAction* FFilterKindsAction;
    QAction* FCopyAsTextAction;
    QAction* FCopyAsTableAction;
    QAction* FTableOptionsAction;
    QAction* FLocalMenuItem;
    QActionGroup* FSortGroup;
    /// The sort menu items by order (soActionItem..soCategory).
    QAction* FSortItems[SortOrderCount];
    /// Runs ToDoItemsUpdate while the window is shown, as idle time would.
    QTimer* FUpdateTimer;
    TQueryServer* FQueryServer;

    /// Declared last so that it goes first: no message reaches a half-destroyed window.
    TQtWindowSink FSink{this};
};

/// Unit start-up: registers the window class with the desktop ("ToDo List", "ToDoListWindow").
/// Counted: only the first call acts.
void InitializeToDoForm();
/// Unit shut-down: unregisters the window class; only the call balancing the first
/// InitializeToDoForm acts.
void FinalizeToDoForm();
