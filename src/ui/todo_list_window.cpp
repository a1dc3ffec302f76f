#include "todo_list_window.h"

#include "comments/trim_text.h"
#include "host/errors.h"
#include "host/ini_file.h"
#include "host/module.h"
#include "host/parse_thread.h"
#include "host/project.h"
#include "host/utf8.h"
#include "items/source_todo_item.h"
#include "ui/add_todo_item_form.h"
#include "ui/query_server.h"
#include "ui/shell/help.h"
#include "ui/table_options_dlg.h"
#include "ui/td_string_grid.h"
#include "ui/todo_filter_dlg.h"
#include "ui/todo_images.h"

#include <QAction>
#include <QActionGroup>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <memory>
#include <stdexcept>

namespace {

constexpr int ColumnCount = 5;
constexpr int DefaultColWidths[ColumnCount] = {200, 30, 100, 70, 70};
/// The sort order each column shows and sorts by on a header click.
constexpr TToDoSortOrder ColumnOrder[ColumnCount] = {soActionItem, soPriority, soModule, soOwner,
                                                     soCategory};
constexpr int GridHelpContext = 6005;
/// What a tooltip's time-out of "until the mouse leaves the cell" comes to.
constexpr int HintForever = std::numeric_limits<int>::max();
/// The text of a cell starts this many pixels inside the rectangle given to DrawCellText.
constexpr int TextIndent = 5;

QString FromUtf8(const std::string& S) {
    return QString::fromStdWString(Utf8ToWide(S));
}

QString FromBytes(const std::string& S) {
    return QString::fromUtf8(S.data(), static_cast<qsizetype>(S.size()));
}

/// Fmt with each "%d" replaced by the next of Values.
QString FormatCounts(const char* Fmt, std::initializer_list<int> Values) {
    QString Out = QString::fromUtf8(Fmt);
    for (int V : Values)
        Out.replace(Out.indexOf(QLatin1String("%d")), 2, QString::number(V));
    return Out;
}

/// True when Item is a source item whose file is the active editor module.
bool InActiveModule(const TRef<INTAToDoItem>& Item) {
    if (!std::dynamic_pointer_cast<TSourceToDoItem>(Item))
        return false;
    const auto Module = FindDocModule(Item->GetModuleName());
    return Module && Module == ActiveModule();
}

QFont FontOf(QFont Base, const TRef<INTAToDoItem>& Item) {
    if (Item) {
        Base.setStrikeOut(Item->GetChecked());
        Base.setBold(InActiveModule(Item));
    }
    return Base;
}

std::string PriorityText(const TRef<INTAToDoItem>& Item) {
    return std::to_string(Item->GetPriority() & 0x7F);
}

const char* HeaderCaption(int Col) {
    switch (Col) {
    case 0:
        return ToDoStrings::_sActionItem;
    case 2:
        return ToDoStrings::_sModule;
    case 3:
        return ToDoStrings::_sOwner;
    case 4:
        return ToDoStrings::_sCategory;
    default:
        return nullptr;
    }
}

int UnitCount = 0;

} // namespace

QString ElidePath(const QFontMetrics& Metrics, const QString& Path, int Width) {
    if (Metrics.horizontalAdvance(Path) <= Width)
        return Path;
    const QString Ellipsis = QStringLiteral("...");
    const QStringList Parts = Path.split(QLatin1Char('/'));
    // Drop one leading folder after the other; the last part is the file name.
    for (qsizetype Drop = 1; Drop < Parts.size(); ++Drop) {
        const QString Candidate =
            Ellipsis + QLatin1Char('/') + Parts.mid(Drop).join(QLatin1Char('/'));
        if (Metrics.horizontalAdvance(Candidate) <= Width)
            return Candidate;
    }
    return Metrics.elidedText(Path, Qt::ElideMiddle, Width);
}

TToDoListWindow::TToDoListWindow(QWidget* Parent) : TDockableForm(Parent) {
    setObjectName(QStringLiteral("ToDoListWindow"));
    setWindowTitle(tr("To Do Items"));

    auto* Client = new QWidget(this);
    auto* Layout = new QVBoxLayout(Client);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->setSpacing(0);
    FGrid = new TTDStringGrid(Client);
    FGrid->setObjectName(QStringLiteral("Grid"));
    FGrid->setFrameShape(QFrame::NoFrame);
    SetHelpContext(FGrid, GridHelpContext);
    FGrid->SetColCount(ColumnCount);
    FGrid->SetRowCount(2);
    Layout->addWidget(FGrid, 1);
    auto* Status = new QStatusBar(Client);
    Status->setObjectName(QStringLiteral("Status"));
    Status->setSizeGripEnabled(false);
    FStatusPanel0 = new QLabel(Status);
    FStatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    FStatusPanel0->setMinimumWidth(150);
    FStatusPanel1 = new QLabel(Status);
    FStatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    FStatusPanel1->setMinimumWidth(50);
    Status->addWidget(FStatusPanel0);
    Status->addWidget(FStatusPanel1, 1);
    Layout->addWidget(Status);
    setWidget(Client);

    CreateActions();
    CreatePopupMenu();

    FGrid->OnDrawCell = [this](int ACol, int ARow, const QRect& Rect, QPainter& Painter) {
        GridDrawCell(ACol, ARow, Rect, Painter);
    };
    FGrid->OnSelectCell = [this](int ACol, int ARow, bool& CanSelect) {
        GridSelectCell(ACol, ARow, CanSelect);
    };
    FGrid->OnMouseDown = [this](Qt::MouseButton Button, Qt::KeyboardModifiers, int X, int Y) {
        GridMouseDown(Button, X, Y);
    };
    FGrid->OnMouseUp = [this](Qt::MouseButton, Qt::KeyboardModifiers, int X, int Y) {
        GridMouseUp(X, Y);
    };
    FGrid->OnMouseMove = [this](Qt::KeyboardModifiers, int X, int Y) { GridMouseMove(X, Y); };
    FGrid->OnDblClick = [this] { GridDblClick(); };
    FGrid->OnKeyPress = [this](char16_t& Key) { GridKeyPress(Key); };
    FGrid->OnHint = [this](THintInfo& Info) { GridHint(Info); };

    FUpdateTimer = new QTimer(this);
    FUpdateTimer->setInterval(200);
    connect(FUpdateTimer, &QTimer::timeout, this, [this] { ToDoItemsUpdate(); });
    // A dock tabbed away is hidden to the user without a hide event of its own.
    connect(this, &QDockWidget::visibilityChanged, this,
            [this](bool Visible) { SetSinkVisible(Visible); });

    // What the desktop's window creation would run: register, then the initial layout.
    SetDeskSection(SettingsSection);
    FSink.Register();
    if (ToDoList)
        ToDoList->SetDisplayForm(this);
    SetShowChecked(true);
    FGrid->SetDefaultRowHeight(
        std::max(QFontMetrics(FGrid->font()).height() + 4, ToDoWindowImages().Height() + 4));
    for (int I = 0; I < ColumnCount; ++I)
        FGrid->SetColWidth(I, DefaultColWidths[I]);
    resize(470, 250);

    FQueryServer = new TQueryServer(
        [this](unsigned Msg, std::uint32_t WParam) { return WndProc(Msg, WParam); }, this);
    if (TStatus S = FQueryServer->Listen(DefaultQuerySocketPath()); !S)
        std::fprintf(stderr, "todolist: warning: %s\n", S.Message().c_str());
}

TToDoListWindow::~TToDoListWindow() {
    FUpdateTimer->stop();
    FQueryServer->Close();
    if (ToDoList && ToDoList->GetDisplayForm() == this)
        ToDoList->SetDisplayForm(nullptr);
    FSink.Unregister();
    // The grid's handlers point into this window: let the grid go while the window is whole.
    delete widget();
}

void TToDoListWindow::CreateActions() {
    // The menu shows the actions themselves; where the menu's wording differs from the
    // action's, the menu's is the text and the action's the icon text (tool bars).
    auto Make = [this](const char* Name, const char* Text, const char* IconText,
                       const QKeySequence& Shortcut, int HelpContext) {
        auto* A = new QAction(tr(Text), this);
        A->setObjectName(QString::fromLatin1(Name));
        if (IconText)
            A->setIconText(tr(IconText));
        A->setShortcut(Shortcut);
        A->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        if (HelpContext)
            SetHelpContext(A, HelpContext);
        addAction(A);
        return A;
    };
    FDeleteAction = Make("DeleteAction", "De&lete", nullptr, QKeySequence(Qt::Key_Delete), 6002);
    FEditAction = Make("EditAction", "&Edit...", "&Edit", QKeySequence(Qt::Key_F2), 6003);
    FOpenAction = Make("OpenAction", "&Open", nullptr, {}, 6004);
    FAddAction = Make("AddAction", "Add...", "Add", QKeySequence(Qt::CTRL | Qt::Key_A), 6001);
    FShowHintsAction = Make("ShowHintsAction", "Show &ToolTips when Clipped",
                            "&Show Hints when Clipped", {}, 6047);
    FShowCheckedAction = Make("ShowCheckedAction", "Show Com&pleted Items", nullptr, {}, 6048);
    FFilterCategoryAction = Make("FilterCategoryAction", "&Categories...", nullptr, {}, 6045);
    FFilterOwnersAction = Make("FilterOwnersAction", "&Owners...", nullptr, {}, 6045);
    FFilterKindsAction = Make("FilterKindsAction", "Item &Types...", nullptr, {}, 6045);
    FCopyAsTextAction =
        Make("CopyAsTextAction", "Te&xt", nullptr, QKeySequence(Qt::CTRL | Qt::Key_C), 6041);
    FCopyAsTableAction =
        Make("CopyAsTableAction", "&HTML Table", nullptr, QKeySequence(Qt::CTRL | Qt::Key_T), 6042);
    FTableOptionsAction = Make("TableOptionsAction", "Table &Properties...", nullptr, {}, 6043);
    FLocalMenuItem = Make("LocalMenuItem", "Local Menu", nullptr, {}, 0);
    FLocalMenuItem->setVisible(false);

    FShowHintsAction->setCheckable(true);
    FShowHintsAction->setChecked(true);
    FShowCheckedAction->setCheckable(true);
    FShowCheckedAction->setChecked(true);
    FFilterCategoryAction->setData(ftCategory);
    FFilterOwnersAction->setData(ftOwner);
    FFilterKindsAction->setData(ftKind);

    connect(FDeleteAction, &QAction::triggered, this, [this] { DeleteActionExecute(); });
    connect(FEditAction, &QAction::triggered, this, [this] { EditActionExecute(); });
    connect(FOpenAction, &QAction::triggered, this, [this] { OpenActionExecute(); });
    connect(FAddAction, &QAction::triggered, this, [this] { AddActionExecute(); });
    connect(FShowHintsAction, &QAction::triggered, this, [this] { ShowHintsActionExecute(); });
    connect(FShowCheckedAction, &QAction::triggered, this, [this] { ShowCheckedActionExecute(); });
    for (QAction* A : {FFilterCategoryAction, FFilterOwnersAction, FFilterKindsAction})
        connect(A, &QAction::triggered, this, [this, A] { FilterCategoryActionExecute(A); });
    connect(FCopyAsTextAction, &QAction::triggered, this, [this] { CopyAsTextActionExecute(); });
    connect(FCopyAsTableAction, &QAction::triggered, this, [this] { CopyAsTableActionExecute(); });
    connect(FTableOptionsAction, &QAction::triggered, this,
            [this] { TableOptionsActionExecute(); });
    connect(FLocalMenuItem, &QAction::triggered, this, [this] { LocalMenuItemClick(); });

    const struct {
        TToDoSortOrder Order;
        const char* Name;
        const char* Text;
    } Sorts[] = {
        {soActionItem, "SortActionItem", "&Action Item"},
        {soChecked, "SortChecked", "&Status"},
        {soKind, "SortKind", "&Type"},
        {soPriority, "SortPriority", "&Priority"},
        {soModule, "SortModule", "&Module"},
        {soOwner, "SortOwner", "&Owner"},
        {soCategory, "SortCategory", "&Category"},
    };
    // Exclusive, but nothing checked until the user picks an order.
    FSortGroup = new QActionGroup(this);
    FSortGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (const auto& S : Sorts) {
        auto* A = new QAction(tr(S.Text), FSortGroup);
        A->setObjectName(QString::fromLatin1(S.Name));
        A->setCheckable(true);
        A->setData(S.Order);
        SetHelpContext(A, 6049);
        connect(A, &QAction::triggered, this, [this, A] { SortCategoryClick(A); });
        FSortItems[S.Order] = A;
    }
}

void TToDoListWindow::CreatePopupMenu() {
    FGridPopup = new QMenu(this);
    FGridPopup->setObjectName(QStringLiteral("GridPopup"));
    FGridPopup->installEventFilter(this);
    connect(FGridPopup, &QMenu::aboutToShow, this, [this] { ToDoItemsUpdate(); });
    auto SubMenu = [this](const char* Name, const char* Title, int HelpContext) {
        QMenu* M = FGridPopup->addMenu(tr(Title));
        M->setObjectName(QString::fromLatin1(Name));
        SetHelpContext(M->menuAction(), HelpContext);
        M->installEventFilter(this);
        return M;
    };
    auto Separator = [this](const char* Name) {
        FGridPopup->addSeparator()->setObjectName(QString::fromLatin1(Name));
    };

    // The default item, drawn bold as such.
    QFont Bold = FOpenAction->font();
    Bold.setBold(true);
    FOpenAction->setFont(Bold);
    FGridPopup->addAction(FOpenAction);
    FGridPopup->addAction(FAddAction);
    FGridPopup->addAction(FEditAction);
    FGridPopup->addAction(FDeleteAction);
    Separator("N3");
    QMenu* Sort = SubMenu("Sort1", "&Sort", 6049);
    for (QAction* A : FSortItems)
        Sort->addAction(A);
    QMenu* Filter = SubMenu("Filter1", "&Filter", 6045);
    Filter->addAction(FFilterCategoryAction);
    Filter->addAction(FFilterOwnersAction);
    Filter->addAction(FFilterKindsAction);
    FGridPopup->addAction(FShowCheckedAction);
    FGridPopup->addAction(FShowHintsAction);
    Separator("N4");
    QMenu* Copy = SubMenu("Copy1", "&Copy As", 6040);
    Copy->addAction(FCopyAsTextAction);
    Copy->addAction(FCopyAsTableAction);
    FGridPopup->addAction(FTableOptionsAction);
    Separator("N1");
    FGridPopup->addAction(StayOnTopCmd());
    FGridPopup->addAction(DockableCmd());
    FGridPopup->addAction(FLocalMenuItem);
}

// ---------------------------------------------------------------------------------------------
// The service's view of the window, its life cycle and state

TDisplayHandle TToDoListWindow::GetHandle() const {
    return FSink.Handle();
}

void TToDoListWindow::SetCaption(const std::string& Caption) {
    setWindowTitle(FromUtf8(Caption));
}

void TToDoListWindow::CreateWnd() {
    if (ToDoList)
        ToDoList->SetDisplayForm(this);
}

void TToDoListWindow::FormShow() {
    if (IParseThread* Thread = ParseThread())
        Thread->Modified();
    if (ToDoList)
        ToDoList->UpdateDisplayCaption();
}

void TToDoListWindow::SetSinkVisible(bool Value) {
    FSink.SetVisible(Value);
}

bool TToDoListWindow::event(QEvent* Event) {
    AcquirePostedEvent(Event);
    if (Event->type() == TWindowMessageEvent::EventType()) {
        const auto* Message = static_cast<TWindowMessageEvent*>(Event);
        if (Message->Msg == ::IDEMUpdate)
            IDEMUpdate(Message->LParam);
        return true;
    }
    if (Event->type() == QEvent::WinIdChange)
        CreateWnd();
    return TDockableForm::event(Event);
}

void TToDoListWindow::showEvent(QShowEvent* Event) {
    TDockableForm::showEvent(Event);
    // A restore after minimising is spontaneous: the list was kept, nothing to parse again.
    if (Event->spontaneous())
        return;
    // Visible before the parse is asked for: the service lists nothing for a hidden window.
    SetSinkVisible(true);
    FUpdateTimer->start();
    ToDoItemsUpdate();
    FormShow();
}

void TToDoListWindow::hideEvent(QHideEvent* Event) {
    // Minimising hides spontaneously; the list stays as it is for the restore.
    if (Event->spontaneous()) {
        TDockableForm::hideEvent(Event);
        return;
    }
    SetSinkVisible(false);
    FUpdateTimer->stop();
    TDockableForm::hideEvent(Event);
}

void TToDoListWindow::contextMenuEvent(QContextMenuEvent* Event) {
    FGridPopup->popup(Event->globalPos());
    Event->accept();
}

void TToDoListWindow::keyPressEvent(QKeyEvent* Event) {
    if (Event->key() == Qt::Key_F1) {
        ShowHelp(HelpContextAt(focusWidget(), GridHelpContext));
        Event->accept();
        return;
    }
    TDockableForm::keyPressEvent(Event);
}

bool TToDoListWindow::eventFilter(QObject* Watched, QEvent* Event) {
    // F1 in the popup menu: the help of the highlighted item.
    if (Event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(Event)->key() == Qt::Key_F1) {
        if (auto* Menu = qobject_cast<QMenu*>(Watched)) {
            if (const int Context = HelpContextOf(Menu->activeAction())) {
                ShowHelp(Context);
                return true;
            }
        }
    }
    return TDockableForm::eventFilter(Watched, Event);
}

void TToDoListWindow::LoadWindowState(const TIniFile& Desktop) {
    TDockableForm::LoadWindowState(Desktop);
    const std::string_view S = DeskSection();
    for (int I = 0; I < ColumnCount; ++I) {
        const int Width = Desktop.ReadInteger(S, "Column" + std::to_string(I) + "Width", -1);
        if (Width >= 0)
            FGrid->SetColWidth(I, Width);
    }
    int Order = Desktop.ReadInteger(S, "SortOrder", soActionItem);
    if (Order < 0 || Order >= SortOrderCount)
        Order = soActionItem;
    SetSortOrder(static_cast<TToDoSortOrder>(Order));
    FShowHints = Desktop.ReadBool(S, "ShowHints", true);
    SetShowChecked(Desktop.ReadBool(S, "ShowChecked", true));
    FShowHintsAction->setChecked(FShowHints);
}

void TToDoListWindow::SaveWindowState(TIniFile& Desktop, bool IsProject) {
    TDockableForm::SaveWindowState(Desktop, IsProject);
    const std::string_view S = DeskSection();
    for (int I = 0; I < ColumnCount; ++I)
        Desktop.WriteInteger(S, "Column" + std::to_string(I) + "Width", FGrid->ColWidth(I));
    Desktop.WriteInteger(S, "SortOrder", GetSortOrder());
    Desktop.WriteBool(S, "ShowHints", FShowHints);
    Desktop.WriteBool(S, "ShowChecked", GetShowChecked());
}

TToDoSortOrder TToDoListWindow::GetSortOrder() const {
    return ToDoList ? ToDoList->GetSortOrder() : soActionItem;
}

void TToDoListWindow::SetSortOrder(TToDoSortOrder Value) {
    if (ToDoList)
        ToDoList->SetSortOrder(Value);
}

bool TToDoListWindow::GetShowChecked() const {
    return ToDoList && ToDoList->GetShowChecked();
}

void TToDoListWindow::SetShowChecked(bool Value) {
    if (ToDoList)
        ToDoList->SetShowChecked(Value);
    FShowCheckedAction->setChecked(Value);
}

// ---------------------------------------------------------------------------------------------
// Items by row

TRef<INTAToDoItem> TToDoListWindow::ItemOfRow(int Row) const {
    if (!ToDoList || Row < 1 || Row > ToDoList->GetItemCount())
        return nullptr;
    try {
        return ToDoList->GetItem(Row - 1);
    } catch (const EListError&) {
        return nullptr; // collated away since the count was read
    }
}

TRef<INTAToDoItem> TToDoListWindow::CurrentItem() const {
    return ItemOfRow(FGrid->Selection().Top);
}

QFont TToDoListWindow::CellFont(int Row) const {
    return FontOf(FGrid->font(), ItemOfRow(Row));
}

int TToDoListWindow::HeaderMark(int Col) const {
    if (!ToDoList || Col < 0 || Col >= ColumnCount || ColumnOrder[Col] != GetSortOrder())
        return -1;
    return ToDoList->SortAscending() ? tiSortAscending : tiSortDescending;
}

void TToDoListWindow::Report(const TStatus& Status) {
    if (!Status)
        QMessageBox::warning(this, windowTitle(), FromBytes(Status.Message()));
}

// ---------------------------------------------------------------------------------------------
// Drawing

void TToDoListWindow::DrawCellText(QPainter& Painter, const QRect& Rect, const QString& Text,
                                   Qt::Alignment Alignment, bool PathEllipsis) {
    const QRect R = Rect.adjusted(TextIndent, 0, 0, 0);
    const QFontMetrics Metrics = Painter.fontMetrics();
    const QString Shown = PathEllipsis ? ElidePath(Metrics, Text, R.width())
                                       : Metrics.elidedText(Text, Qt::ElideRight, R.width());
    Painter.drawText(R, static_cast<int>(Qt::AlignVCenter | Qt::TextSingleLine | Alignment), Shown);
}

void TToDoListWindow::GridDrawCell(int ACol, int ARow, const QRect& Rect, QPainter& Painter) {
    const QPalette& Palette = FGrid->palette();
    const bool Selected = ARow == FSelectedRow;
    const QColor Brush = Palette.color(Selected ? QPalette::Highlight : QPalette::Base);
    QColor Pen = Palette.color(Selected ? QPalette::HighlightedText : QPalette::Text);
    const TRef<INTAToDoItem> Item = ItemOfRow(ARow);

    // Column 0 of an item fills its own background around the glyphs.
    if (ACol != 0 || !Item)
        Painter.fillRect(Rect, Brush);
    // A parse asked for while the window was hidden is due now that it paints.
    if (ToDoList && ToDoList->GetParsePending())
        if (IParseThread* Thread = ParseThread())
            Thread->Modified();

    if (Item) {
        Painter.setFont(FontOf(FGrid->font(), Item));
        if (!Item->CanEdit() && !Selected)
            Pen = Palette.color(QPalette::PlaceholderText);
        Painter.setPen(Pen);
        switch (ACol) {
        case 0: {
            const TImageList& Images = ToDoWindowImages();
            Painter.fillRect(Rect, Palette.color(QPalette::Base));
            const bool Checked = Item->GetChecked();
            const int Glyph = Item->CanEdit() ? (Checked ? tiCheckedEnabled : tiUncheckedEnabled)
                                              : (Checked ? tiCheckedGreyed : tiUncheckedGreyed);
            int Left = Rect.left() + 2;
            Images.Draw(Painter, Left, Rect.top() + 2, Glyph, true);
            Left += Images.Width() + 2;
            TPainterCanvas Canvas(Painter);
            Item->DrawImage(Canvas, TRect{Left, Rect.top() + 2, Left + Images.Width(),
                                          Rect.top() + 2 + Images.Height()});
            Left += Images.Width() + 2;
            const QRect TextRect(QPoint(Left, Rect.top()), Rect.bottomRight());
            Painter.fillRect(TextRect, Brush);
            DrawCellText(Painter, TextRect,
                         QString::fromStdWString(TrimText(Utf8ToWide(Item->GetText()))),
                         Qt::AlignLeft, false);
            break;
        }
        case 1:
            if (const int Priority = Item->GetPriority() & 0x7F)
                DrawCellText(Painter, Rect, QString::number(Priority), Qt::AlignHCenter, false);
            break;
        case 2:
            DrawCellText(Painter, Rect, FromBytes(Item->GetModuleName()), Qt::AlignLeft, true);
            break;
        case 3:
            DrawCellText(Painter, Rect, FromUtf8(Item->GetOwner()), Qt::AlignLeft, false);
            break;
        case 4:
            DrawCellText(Painter, Rect, FromUtf8(Item->GetCategory()), Qt::AlignLeft, false);
            break;
        default:
            break;
        }
        Painter.setFont(FGrid->font());
    }
    if (ARow == 0)
        DrawHeader(ACol, Rect, Painter);
}

void TToDoListWindow::DrawHeader(int Col, const QRect& Rect, QPainter& Painter) {
    const QPalette& Palette = FGrid->palette();
    Painter.fillRect(Rect, Palette.color(QPalette::Button));
    const bool Pressed = Col == FPressedColumn;
    QStyleOptionHeader Option;
    Option.initFrom(FGrid);
    Option.rect = Rect;
    Option.section = Col;
    Option.orientation = Qt::Horizontal;
    Option.state = QStyle::State_Enabled | QStyle::State_Horizontal |
                   (Pressed ? QStyle::State_Sunken : QStyle::State_Raised);
    FGrid->style()->drawControl(QStyle::CE_HeaderSection, &Option, &Painter, FGrid);
    const QRect R = Pressed ? Rect.adjusted(1, 1, 0, 0) : Rect;
    Painter.setPen(Palette.color(QPalette::ButtonText));

    const TImageList& Images = ToDoWindowImages();
    const int Y = R.top() + (FGrid->DefaultRowHeight() - Images.Height()) / 2;
    const int Mark = HeaderMark(Col);
    if (Col == 1) {
        const int X = Mark >= 0 ? R.left() : R.left() + (FGrid->ColWidth(1) - Images.Width()) / 2;
        Images.Draw(Painter, X, Y, tiPriorityHeader, true);
        if (Mark >= 0)
            Images.Draw(Painter, R.left() + Images.Width() - 6, Y, Mark, true);
    } else if (const char* Caption = HeaderCaption(Col)) {
        const QString Text = QString::fromUtf8(Caption);
        DrawCellText(Painter, R, Text, Qt::AlignLeft, false);
        if (Mark >= 0)
            Images.Draw(Painter, R.left() + Painter.fontMetrics().horizontalAdvance(Text) + 10, Y,
                        Mark, true);
    }
}

void TToDoListWindow::InvalidateHeader(int Col) {
    FGrid->InvalidateRect(FGrid->CellRect(Col, 0), false);
}

void TToDoListWindow::IDEMUpdate(std::intptr_t Count) {
    const int N =
        static_cast<int>(std::clamp<std::intptr_t>(Count, 0, std::numeric_limits<int>::max() - 1));
    FGrid->SetRowCount(FGrid->FixedRows() + std::max(N, 1));
    // A shorter list moves the grid's selection up; the row drawn as selected follows it, so
    // that the highlighted row is the one the item commands act on.
    if (FSelectedRow > 0)
        FSelectedRow = N > 0 ? FGrid->Row() : -1;
    FGrid->viewport()->update();
    FGrid->viewport()->unsetCursor();
    const int Total = ToDoList ? ToDoList->GetTotalCount() : 0;
    const int Hidden = ToDoList ? ToDoList->GetHiddenCount() : 0;
    const int Pending = ToDoList ? ToDoList->GetPendingCount() : 0;
    FStatusPanel0->setText(FormatCounts(ToDoStrings::_sStatusBarItems, {Total, Hidden}));
    FStatusPanel1->setText(FormatCounts(ToDoStrings::_sStatusBarPending, {Pending}));
    // The first panel never cuts its counts.
    FStatusPanel0->setMinimumWidth(std::max(150, FStatusPanel0->sizeHint().width()));
}

// ---------------------------------------------------------------------------------------------
// Grid events

void TToDoListWindow::GridHint(THintInfo& Info) {
    if (!FShowHints || !FGrid->CanShowHint())
        return;
    const TGridCoord Cell = FGrid->MouseToCell(Info.CursorPos.x(), Info.CursorPos.y());
    const TRef<INTAToDoItem> Item = Cell.X >= 0 ? ItemOfRow(Cell.Y) : nullptr;
    if (!Item)
        return;
    Info.CursorRect = FGrid->CellRect(Cell.X, Cell.Y);
    QFont Font = FGrid->font();
    Font.setBold(InActiveModule(Item));
    const QFontMetrics Metrics(Font);
    const auto TooWide = [&](const QString& Text) {
        return Metrics.horizontalAdvance(Text) + TextIndent > Info.CursorRect.width();
    };
    QString Text;
    bool Show = false;
    switch (Cell.X) {
    case 0:
        Info.CursorRect.setLeft(Info.CursorRect.left() + 2 * ToDoWindowImages().Width() + 4);
        Text = FromUtf8(Item->GetText());
        // A text of several lines is drawn flattened: its tooltip shows the lines.
        Show =
            TooWide(Text) || Text.contains(QLatin1Char('\r')) || Text.contains(QLatin1Char('\n'));
        break;
    case 1:
        Text = QString::fromStdString(PriorityText(Item));
        Show = TooWide(Text);
        break;
    case 2:
        Text = FromBytes(Item->GetModuleName());
        Show = TooWide(Text);
        break;
    case 3:
        Text = FromUtf8(Item->GetOwner());
        Show = TooWide(Text);
        break;
    case 4:
        Text = FromUtf8(Item->GetCategory());
        Show = TooWide(Text);
        break;
    default:
        return;
    }
    if (!Show || !Info.CursorRect.contains(Info.CursorPos))
        return;
    Info.HintStr = Text.toStdString();
    const QScreen* Screen = FGrid->screen();
    Info.HintMaxWidth = Screen ? Screen->geometry().width() / 3 : 0;
    Info.HideTimeout = HintForever;
}

void TToDoListWindow::GridMouseMove(int X, int Y) {
    const TGridCoord Cell = FGrid->MouseToCell(X, Y);
    const TRef<INTAToDoItem> Item = ItemOfRow(Cell.Y);
    if (!Item)
        return;
    if (Item->IsValid())
        FGrid->viewport()->unsetCursor();
    else
        FGrid->viewport()->setCursor(Qt::WaitCursor); // changed since the last parse
}

void TToDoListWindow::GridSelectCell(int ACol, int ARow, bool& CanSelect) {
    CanSelect = ToDoList && ToDoList->GetItemCount() > 0 && ARow >= FGrid->FixedRows();
    if (!CanSelect) {
        FSelectedRow = -1;
        return;
    }
    FSelectedRow = ARow;
    QRect Row = FGrid->CellRect(ACol, ARow);
    Row.setLeft(0);
    Row.setRight(FGrid->viewport()->width());
    FGrid->InvalidateRect(Row, false);
    // The grid moves its selection after asking: update the actions for the new row then.
    QTimer::singleShot(0, this, [this] { ToDoItemsUpdate(); });
}

void TToDoListWindow::GridMouseDown(Qt::MouseButton Button, int X, int Y) {
    FLastMouseDown = QPoint(X, Y);
    const TGridCoord Cell = FGrid->MouseToCell(X, Y);
    if (Button == Qt::RightButton && Cell.Y > 0 && Cell.Y < FGrid->RowCount()) {
        // The popup menu that follows acts on the row under the mouse.
        FGrid->SetSelection({0, Cell.Y, FGrid->ColCount() - 1, Cell.Y});
        FSelectedRow = Cell.Y;
    } else if (Button == Qt::LeftButton && Cell.Y == 0 && Cell.X >= 0) {
        FPressedColumn = Cell.X;
        FGrid->SetMouseCapture(true);
        InvalidateHeader(Cell.X);
    }
}

void TToDoListWindow::GridMouseUp(int X, int Y) {
    if (FPressedColumn >= 0) {
        // Sorts wherever the button is released.
        FGrid->SetMouseCapture(false);
        const int Col = FPressedColumn;
        FPressedColumn = -1;
        if (Col < ColumnCount)
            SortCategoryClick(FSortItems[ColumnOrder[Col]]);
        InvalidateHeader(Col);
    }
    const TGridCoord Cell = FGrid->MouseToCell(X, Y);
    if (Cell.X != 0)
        return;
    const TRef<INTAToDoItem> Item = ItemOfRow(Cell.Y);
    if (!Item)
        return;
    QRect Zone = FGrid->CellRect(0, Cell.Y);
    Zone.setWidth(ToDoWindowImages().Width() + 4);
    if (Zone.contains(X, Y) && Item->CanEdit() && Item->IsValid()) {
        Report(Item->SetChecked(!Item->GetChecked()));
        FGrid->InvalidateRect(Zone, true);
    }
}

void TToDoListWindow::GridDblClick() {
    if (FGrid->MouseToCell(FLastMouseDown.x(), FLastMouseDown.y()).Y == 0)
        return;
    if (const TRef<INTAToDoItem> Item = ItemOfRow(FSelectedRow)) {
        // Showing is what a double click does to an item that can be shown; done here, so that
        // a file that cannot be opened is reported rather than passed over.
        if (Item->CanShow())
            Report(Item->Show());
        else
            Item->DoubleClicked();
    }
}

void TToDoListWindow::GridKeyPress(char16_t& Key) {
    if (Key == 13)
        OpenActionExecute();
}

// ---------------------------------------------------------------------------------------------
// Actions

void TToDoListWindow::ToDoItemsUpdate() {
    const TRef<INTAToDoItem> Item = CurrentItem();
    const bool Shows = Item && Item->CanShow();
    FDeleteAction->setVisible(Item != nullptr);
    FEditAction->setVisible(Item != nullptr);
    FOpenAction->setVisible(Shows);
    FDeleteAction->setEnabled(Item && Item->CanDelete());
    FEditAction->setEnabled(Item && Item->CanEdit() && Item->IsValid());
    FOpenAction->setEnabled(Shows && Item->IsValid());
    FAddAction->setEnabled(MainProjectGroup().ActiveProject() != nullptr);
    const bool Listed = ToDoList && ToDoList->GetItemCount() > 0;
    FCopyAsTextAction->setEnabled(Listed);
    FCopyAsTableAction->setEnabled(Listed);
}

void TToDoListWindow::DeleteActionExecute() {
    if (const TRef<INTAToDoItem> Item = CurrentItem(); Item && Item->CanDelete())
        Report(Item->Delete());
}

void TToDoListWindow::EditActionExecute() {
    if (const TRef<INTAToDoItem> Item = CurrentItem(); Item && Item->CanEdit())
        Item->Edit(); // the dialog reports what it could not write
}

void TToDoListWindow::OpenActionExecute() {
    if (const TRef<INTAToDoItem> Item = CurrentItem(); Item && Item->CanShow())
        Report(Item->Show());
}

void TToDoListWindow::AddActionExecute() {
    // The action's state may lag behind (it is updated when the program idles): check again,
    // and again after the dialog, since the project may close while the dialog is open and the
    // service then adds nothing.
    if (!ToDoList || !MainProjectGroup().ActiveProject())
        return;
    const std::string Body = WideToUtf8(AddToDoItemForm().Add());
    if (Body.empty() || !ToDoList)
        return;
    if (!MainProjectGroup().ActiveProject())
        Report(TStatus::Error("no project is open any more: the to-do item was not added"));
    else
        Report(ToDoList->AddItem(Body));
}

void TToDoListWindow::ShowHintsActionExecute() {
    // The action flips its own check mark when triggered.
    FShowHints = FShowHintsAction->isChecked();
}

void TToDoListWindow::ShowCheckedActionExecute() {
    SetShowChecked(!GetShowChecked());
}

void TToDoListWindow::FilterCategoryActionExecute(QAction* Action) {
    const auto Dialog = std::make_unique<TToDoFilterDlg>();
    Dialog->EditFilter(static_cast<TFilterType>(Action->data().toInt()));
}

void TToDoListWindow::SortCategoryClick(QAction* Item) {
    SetSortOrder(static_cast<TToDoSortOrder>(Item->data().toInt()));
    Item->setChecked(true);
}

void TToDoListWindow::CopyAsTextActionExecute() {
    if (ToDoList)
        ToDoList->CopyTextToClipboard();
}

void TToDoListWindow::CopyAsTableActionExecute() {
    if (ToDoList)
        ToDoList->CopyTableToClipboard();
}

void TToDoListWindow::TableOptionsActionExecute() {
    TableOptionsDlg().Edit();
}

void TToDoListWindow::LocalMenuItemClick() {
    const QWidget* Client = widget();
    const QPoint At(Client->width() / 3, Client->height() / 3);
    FGridPopup->popup(Client->mapToGlobal(At));
}

// ---------------------------------------------------------------------------------------------
// Window queries

std::string TToDoListWindow::GetCellText(int Col, int Index) const {
    try {
        if (!ToDoList)
            throw EListError(Index);
        const TRef<INTAToDoItem> Item = ToDoList->GetItem(Index);
        switch (Col) {
        case 0:
            return Item->GetText();
        case 1:
            return PriorityText(Item);
        case 2:
            return Item->GetModuleName();
        case 3:
            return Item->GetOwner();
        case 4:
            return Item->GetCategory();
        default:
            return {};
        }
    } catch (const std::exception& E) {
        // The asker gets the reason as the text, as it would see any error of the window.
        return E.what();
    }
}

TQueryAnswer TToDoListWindow::WndProc(unsigned Msg, std::uint32_t WParam) {
    if (Msg < qmItemCount || Msg > qmChecked)
        return {};
    TQueryAnswer Answer;
    Answer.Window = GetHandle();
    const int Col = QueryParamCol(WParam);
    const int Row = QueryParamRow(WParam);
    switch (Msg) {
    case qmItemCount:
        Answer.Result = ToDoList ? ToDoList->GetItemCount() : 0;
        break;
    case qmSelectedRow:
        Answer.Result = FGrid->Selection().Top;
        break;
    case qmSelectedColumn:
        Answer.Result = FGrid->Selection().Left;
        break;
    case qmCellRect: {
        const QRect R = FGrid->CellRect(Col, Row);
        Answer.Reply =
            TCopyData{Msg, EncodeRect({R.x(), R.y(), R.x() + R.width(), R.y() + R.height()})};
        break;
    }
    case qmCellTextLength:
        Answer.Result = static_cast<std::int64_t>(GetCellText(Col, Row).size());
        break;
    case qmCellText: {
        std::string Text = GetCellText(Col, Row);
        if (Text.size() > MaxCellText)
            Text.resize(MaxCellText);
        Answer.Result = static_cast<std::int64_t>(Text.size());
        Text.push_back('\0');
        Answer.Reply = TCopyData{Msg, std::move(Text)};
        break;
    }
    case qmChecked: {
        const auto Index = static_cast<std::int32_t>(WParam);
        if (ToDoList && Index >= 0 && Index < ToDoList->GetItemCount()) {
            try {
                Answer.Result = ToDoList->GetItem(Index)->GetChecked() ? 1 : 0;
            } catch (const EListError&) {
                Answer.Result = 0; // collated away since the count was read
            }
        }
        break;
    }
    default:
        break;
    }
    return Answer;
}

std::string TToDoListWindow::QuerySocketPath() const {
    return FQueryServer->SocketPath();
}

// ---------------------------------------------------------------------------------------------
// Unit start-up

void InitializeToDoForm() {
    if (UnitCount++ > 0)
        return;
    RegisterDesktopFormClass(
        [](QWidget* Parent) -> TDockableForm* { return new TToDoListWindow(Parent); },
        SettingsSection, "ToDoListWindow");
}

void FinalizeToDoForm() {
    if (UnitCount == 0 || --UnitCount > 0)
        return;
    UnregisterDesktopFormClass("ToDoListWindow");
}
