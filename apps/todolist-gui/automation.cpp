#include "automation.h"

#include "code_editor.h"

#include "host/edit_buffer.h"
#include "host/window_query.h"
#include "ui/shell/ide_services.h"
#include "ui/shell/window_sink.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMainWindow>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointingDevice>
#include <QScrollBar>
#include <QSpinBox>
#include <QStringDecoder>
#include <QTabWidget>
#include <QTextCursor>
#include <QTextEdit>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <thread>
#include <utility>

#include <unistd.h>

namespace {

QString Ok(const QString& Data = {}) {
    return Data.isEmpty() ? QStringLiteral("ok") : QStringLiteral("ok ") + Data;
}

QString Error(const QString& Message) {
    return QStringLiteral("error ") + Message;
}

QString Flag(bool Value) {
    return Ok(Value ? QStringLiteral("1") : QStringLiteral("0"));
}

/// "a b c" -> {"a", "b c"}: the first word and the rest of the line.
std::pair<QString, QString> SplitFirst(const QString& Line) {
    const qsizetype Space = Line.indexOf(QLatin1Char(' '));
    if (Space < 0)
        return {Line, {}};
    return {Line.left(Space), Line.mid(Space + 1)};
}

/// The characters a reply line or a typed text spells with a backslash, and the letter after it.
constexpr std::pair<char, char> Escapes[] = {{'\\', '\\'}, {'\n', 'n'}, {'\t', 't'}, {'\r', 'r'}};

/// Reverses Escape: \n, \t, \r and \\; any other backslash stays as it is.
QString Unescape(const QString& Text) {
    QString Out;
    Out.reserve(Text.size());
    for (qsizetype I = 0; I < Text.size(); ++I) {
        const QChar C = Text[I];
        const auto* Found = std::end(Escapes);
        if (C == QLatin1Char('\\') && I + 1 < Text.size())
            Found = std::find_if(std::begin(Escapes), std::end(Escapes), [&](const auto& E) {
                return Text[I + 1] == QLatin1Char(E.second);
            });
        if (Found == std::end(Escapes)) {
            Out += C;
            continue;
        }
        Out += QLatin1Char(Found->first);
        ++I;
    }
    return Out;
}

/// Makes Text fit one reply line.
QString Escape(const QString& Text) {
    QString Out;
    Out.reserve(Text.size());
    for (const QChar C : Text) {
        const auto* Found = std::find_if(std::begin(Escapes), std::end(Escapes),
                                         [&](const auto& E) { return C == QLatin1Char(E.first); });
        if (Found == std::end(Escapes)) {
            Out += C;
        } else {
            Out += QLatin1Char('\\');
            Out += QLatin1Char(Found->second);
        }
    }
    return Out;
}

/// The first object named Name under Main, else under another top-level window (a floating
/// dock or a package's window that has no parent).
template <class T> T* FindNamed(QMainWindow* Main, const QString& Name) {
    if (T* Found = Main->findChild<T*>(Name))
        return Found;
    for (QWidget* Top : QApplication::topLevelWidgets()) {
        if (Top == Main)
            continue;
        if (auto* Self = qobject_cast<T*>(Top); Self && Top->objectName() == Name)
            return Self;
        if (T* Found = Top->findChild<T*>(Name))
            return Found;
    }
    return nullptr;
}

/// The action named Name: a child of a window, an editor action list's, or one a widget shows
/// (menus and tool bars list actions they do not own).
QAction* FindAction(QMainWindow* Main, const QString& Name) {
    if (QAction* Found = FindNamed<QAction>(Main, Name))
        return Found;
    for (TEditorActionList* List : EditorActionLists())
        for (QAction* Action : List->Actions())
            if (Action->objectName() == Name)
                return Action;
    for (QWidget* W : QApplication::allWidgets())
        for (QAction* Action : W->actions())
            if (Action->objectName() == Name)
                return Action;
    return nullptr;
}

/// The current editor of the tab widget "EditorTabs"; null when no editor is open.
QPlainTextEdit* CurrentEditor(QMainWindow* Main) {
    auto* Tabs = Main->findChild<QTabWidget*>(QStringLiteral("EditorTabs"));
    if (!Tabs || !Tabs->currentWidget())
        return nullptr;
    QWidget* Page = Tabs->currentWidget();
    if (auto* Editor = qobject_cast<QPlainTextEdit*>(Page))
        return Editor;
    return Page->findChild<QPlainTextEdit*>();
}

/// The UTF-16 position in Text of the UTF-8 byte offset Offset (clamped to the text); an offset
/// inside a multi-byte character lands after that character. For an editor that is not a code
/// editor, whose text is all there is.
int PositionOfByteOffset(const QString& Text, int Offset) {
    const QByteArray Utf8 = Text.toUtf8();
    if (Offset >= Utf8.size())
        return static_cast<int>(Text.size());
    qsizetype End = Offset;
    while (End < Utf8.size() && (static_cast<unsigned char>(Utf8[End]) & 0xC0) == 0x80)
        ++End;
    return static_cast<int>(QString::fromUtf8(Utf8.left(End)).size());
}

/// The buffer text Bytes for a reply: UTF-8 decoded with a leading byte order mark kept (as
/// U+FEFF), each invalid sequence one U+FFFD.
QString TextOfBytes(const std::string& Bytes) {
    QStringDecoder Decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return Decoder.decode(QByteArrayView(Bytes.data(), static_cast<qsizetype>(Bytes.size())));
}

/// True when Main has the invokable Signature ("name(QString)"); asked first, since calling
/// a missing method prints a warning of Qt's own.
bool HasMethod(QMainWindow* Main, const char* Signature) {
    return Main->metaObject()->indexOfMethod(Signature) >= 0;
}

/// Calls Main's invokable Method() returning QString; nullopt when Main has no such method.
std::optional<QString> CallMain(QMainWindow* Main, const char* Method) {
    QString Result;
    if (!HasMethod(Main, (QByteArray(Method) + "()").constData()) ||
        !QMetaObject::invokeMethod(Main, Method, Qt::DirectConnection,
                                   Q_RETURN_ARG(QString, Result)))
        return std::nullopt;
    return Result;
}

/// Calls Main's invokable Method(QString) returning QString; nullopt when there is none.
std::optional<QString> CallMain(QMainWindow* Main, const char* Method, const QString& Arg) {
    QString Result;
    if (!HasMethod(Main, (QByteArray(Method) + "(QString)").constData()) ||
        !QMetaObject::invokeMethod(Main, Method, Qt::DirectConnection,
                                   Q_RETURN_ARG(QString, Result), Q_ARG(QString, Arg)))
        return std::nullopt;
    return Result;
}

QString ReplyOfCall(const std::optional<QString>& Result, const char* Method) {
    if (!Result)
        return Error(QStringLiteral("the main window has no method ") + QLatin1String(Method));
    return Result->isEmpty() ? Ok() : Error(*Result);
}

/// The rectangle of the grid cell (Col, Row) in viewport coordinates, asked from the To-Do
/// window's query server. That server answers on this thread's event loop, so the blocking
/// query runs on a helper thread while a local loop keeps serving.
TResult<QRect> CellRectOf(int Col, int Row) {
    const std::string Socket = DefaultQuerySocketPath(static_cast<int>(::getpid()));
    std::optional<TResult<TQueryAnswer>> Answer;
    QEventLoop Loop;
    TCallPoster Poster;
    std::thread Asker([&] {
        Answer.emplace(SendQuery(Socket, qmCellRect, MakeQueryParam(Col, Row)));
        Poster.Post([&Loop] { Loop.quit(); });
    });
    Loop.exec();
    Asker.join();
    if (!*Answer)
        return Answer->Status();
    const std::optional<TCopyData>& Reply = Answer->Value().Reply;
    const std::optional<TQueryRect> R = Reply ? DecodeRect(Reply->Bytes) : std::nullopt;
    if (!R)
        return TStatus::Error("the window sent no cell rectangle");
    return QRect(QPoint(R->Left, R->Top), QPoint(R->Right - 1, R->Bottom - 1));
}

/// Sends, in order, presses, moves with the left button held (a drag) and releases of the left
/// button to Target; stops when Target goes (a click may close its window).
void SendMouse(const QPointer<QWidget>& Target,
               std::initializer_list<std::pair<QEvent::Type, QPoint>> Events) {
    for (const auto& [Type, At] : Events) {
        if (!Target)
            return;
        const bool Held = Type == QEvent::MouseButtonPress || Type == QEvent::MouseMove;
        const Qt::MouseButton Button = Type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent Event(Type, QPointF(At), QPointF(Target->mapToGlobal(At)), Button,
                          Held ? Qt::MouseButtons(Qt::LeftButton) : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(Target, &Event);
    }
}

/// The error reply when the grid cell rectangle Cell cannot be clicked in Viewport; empty when
/// it can.
QString CellProblem(const TResult<QRect>& Cell, const QPointer<QWidget>& Viewport) {
    if (!Cell)
        return Error(QString::fromStdString(Cell.Status().Message()));
    if (Cell.Value().isEmpty())
        return Error(QStringLiteral("the cell is not on screen"));
    if (!Viewport)
        return Error(QStringLiteral("the to-do window closed"));
    return {};
}

/// The grid of the To-Do window, found by its class name (the program does not link the
/// window's code); an error reply in Error when there is none.
QAbstractScrollArea* ToDoGrid(QMainWindow* Main, QString& Error) {
    auto* Window = FindNamed<QWidget>(Main, QStringLiteral("ToDoListWindow"));
    if (!Window) {
        Error = ::Error(QStringLiteral("no to-do window"));
        return nullptr;
    }
    for (auto* Area : Window->findChildren<QAbstractScrollArea*>())
        if (QLatin1String(Area->metaObject()->className()) == QLatin1String("TTDStringGrid"))
            return Area;
    Error = ::Error(QStringLiteral("no grid in the to-do window"));
    return nullptr;
}

/// Parses Args as whole numbers in [0, 65535] into Numbers (as many as there are arguments);
/// false when one is not.
bool ParseSmallNumbers(const QStringList& Args, int* Numbers) {
    bool Good = true;
    for (qsizetype I = 0; Good && I < Args.size(); ++I) {
        Numbers[I] = Args[I].toInt(&Good);
        Good = Good && Numbers[I] >= 0 && Numbers[I] <= 65535;
    }
    return Good;
}

QString SetModalValue(QWidget* Modal, const QString& Name, const QString& Value) {
    QWidget* W = Modal->objectName() == Name ? Modal : Modal->findChild<QWidget*>(Name);
    if (!W)
        return Error(QStringLiteral("no control ") + Name);
    if (auto* Line = qobject_cast<QLineEdit*>(W))
        Line->setText(Value);
    else if (auto* Plain = qobject_cast<QPlainTextEdit*>(W))
        Plain->setPlainText(Value);
    else if (auto* Rich = qobject_cast<QTextEdit*>(W))
        Rich->setPlainText(Value);
    else if (auto* Spin = qobject_cast<QSpinBox*>(W))
        Spin->setValue(Value.toInt());
    else if (auto* Combo = qobject_cast<QComboBox*>(W)) {
        if (Combo->isEditable())
            Combo->setEditText(Value);
        else if (const int Index = Combo->findText(Value); Index >= 0)
            Combo->setCurrentIndex(Index);
        else
            return Error(QStringLiteral("no item ") + Value);
    } else if (auto* Button = qobject_cast<QAbstractButton*>(W); Button && Button->isCheckable())
        Button->setChecked(Value == QLatin1String("1"));
    else
        return Error(QStringLiteral("cannot set a ") + QLatin1String(W->metaObject()->className()));
    return Ok();
}

/// The check list named Name in Modal; "-" names the first list widget in it, for a list that
/// has no object name.
QListWidget* FindCheckList(QWidget* Modal, const QString& Name) {
    if (Name == QLatin1String("-")) {
        if (auto* Self = qobject_cast<QListWidget*>(Modal))
            return Self;
        return Modal->findChild<QListWidget*>();
    }
    if (auto* Self = qobject_cast<QListWidget*>(Modal); Self && Modal->objectName() == Name)
        return Self;
    return Modal->findChild<QListWidget*>(Name);
}

/// "modal-check LIST ITEM_TEXT 0|1" and "modal-checked LIST ITEM_TEXT": the item's text may
/// hold spaces, the list's name may not.
QString CheckModalItem(QWidget* Modal, const QString& Rest, bool Set) {
    const QString Usage = Set ? QStringLiteral("usage: modal-check LIST ITEM_TEXT 0|1")
                              : QStringLiteral("usage: modal-checked LIST ITEM_TEXT");
    auto [Name, Text] = SplitFirst(Rest);
    Qt::CheckState State = Qt::Unchecked;
    if (Set) {
        const qsizetype Space = Text.lastIndexOf(QLatin1Char(' '));
        const QString Value = Space < 0 ? QString() : Text.mid(Space + 1);
        if (Value != QLatin1String("0") && Value != QLatin1String("1"))
            return Error(Usage);
        State = Value == QLatin1String("1") ? Qt::Checked : Qt::Unchecked;
        Text.truncate(Space);
    }
    if (Name.isEmpty() || Text.isEmpty())
        return Error(Usage);
    QListWidget* List = FindCheckList(Modal, Name);
    if (!List)
        return Error(QStringLiteral("no list ") + Name);
    const QList<QListWidgetItem*> Found = List->findItems(Text, Qt::MatchExactly);
    if (Found.isEmpty())
        return Error(QStringLiteral("no item ") + Text);
    QListWidgetItem* Item = Found.front();
    if (!(Item->flags() & Qt::ItemIsUserCheckable))
        return Error(QStringLiteral("not checkable: ") + Text);
    if (!Set)
        return Flag(Item->checkState() == Qt::Checked);
    if (!(Item->flags() & Qt::ItemIsEnabled) || !List->isEnabled())
        return Error(QStringLiteral("disabled"));
    // What a click on the box does: the new state, then the click the dialog may listen to.
    List->setCurrentItem(Item);
    Item->setCheckState(State);
    emit List->itemClicked(Item);
    return Ok();
}

} // namespace

TAutomationServer::TAutomationServer(QMainWindow* Main, QObject* Parent)
    : QObject(Parent), FMain(Main), FServer(new QLocalServer(this)) {
    FServer->setSocketOptions(QLocalServer::UserAccessOption);
    connect(FServer, &QLocalServer::newConnection, this, [this] { Accept(); });
}

TAutomationServer::~TAutomationServer() {
    FServer->close();
}

QString TAutomationServer::Listen(const QString& SocketPath) {
    // A socket file left by a run that crashed would make listen fail.
    QLocalServer::removeServer(SocketPath);
    if (!FServer->listen(SocketPath))
        return FServer->errorString();
    return {};
}

void TAutomationServer::Accept() {
    while (QLocalSocket* Socket = FServer->nextPendingConnection()) {
        connect(Socket, &QLocalSocket::readyRead, this, [this, Socket] { Serve(Socket); });
        connect(Socket, &QLocalSocket::disconnected, Socket, &QObject::deleteLater);
        // Lines may already have arrived with the connection.
        if (Socket->bytesAvailable() > 0)
            Serve(Socket);
    }
}

void TAutomationServer::Serve(QLocalSocket* Socket) {
    // A request may run a local event loop (click-cell): the socket can go away meanwhile.
    const QPointer<QLocalSocket> Guard(Socket);
    while (Guard && Guard->canReadLine()) {
        QString Line = QString::fromUtf8(Guard->readLine());
        while (Line.endsWith(QLatin1Char('\n')) || Line.endsWith(QLatin1Char('\r')))
            Line.chop(1);
        const QString Reply = Execute(Line);
        if (!Guard)
            return;
        Guard->write(Reply.toUtf8() + '\n');
        // Flushed now: a "quit" reply must leave before the program ends.
        Guard->flush();
    }
}

QString TAutomationServer::Execute(const QString& Line) {
    const auto [Cmd, Rest] = SplitFirst(Line);

    if (Cmd == QLatin1String("open-project"))
        return ReplyOfCall(CallMain(FMain, "openProject", Rest), "openProject");
    if (Cmd == QLatin1String("close-project"))
        return ReplyOfCall(CallMain(FMain, "closeProject"), "closeProject");
    if (Cmd == QLatin1String("open-file"))
        return ReplyOfCall(CallMain(FMain, "openFile", Rest), "openFile");
    if (Cmd == QLatin1String("project")) {
        const std::optional<QString> Name = CallMain(FMain, "projectFileName");
        return Name ? Ok(*Name) : Error(QStringLiteral("the main window has no projectFileName"));
    }

    if (Cmd == QLatin1String("trigger") || Cmd == QLatin1String("enabled") ||
        Cmd == QLatin1String("checked")) {
        QAction* Action = FindAction(FMain, Rest);
        if (!Action)
            return Error(QStringLiteral("no action ") + Rest);
        // Reported as they are: the state a user sees on a tool bar button is the one the
        // program last set, and a test must be able to catch one left stale.
        if (Cmd == QLatin1String("enabled"))
            return Flag(Action->isEnabled());
        if (Cmd == QLatin1String("checked"))
            return Flag(Action->isChecked());
        // A user picks a command from a menu, which brings the commands up to date as it opens.
        RequestActionUpdate();
        if (!Action->isEnabled())
            return Error(QStringLiteral("disabled"));
        // Queued: the action may open a modal dialog, whose loop would hold this reply back. The
        // call is posted to the action, so it is dropped if the action goes first.
        QMetaObject::invokeMethod(Action, &QAction::trigger, Qt::QueuedConnection);
        return Ok();
    }

    if (Cmd == QLatin1String("editor")) {
        QPlainTextEdit* Editor = CurrentEditor(FMain);
        return Editor ? Ok(Editor->property("fileName").toString()) : Ok();
    }
    if (Cmd == QLatin1String("editor-text") || Cmd == QLatin1String("goto") ||
        Cmd == QLatin1String("type") || Cmd == QLatin1String("modified")) {
        QPlainTextEdit* Editor = CurrentEditor(FMain);
        if (!Editor)
            return Error(QStringLiteral("no editor"));
        // A code editor knows its file's bytes (line endings, byte order mark, bytes that are
        // not UTF-8) and its own modified state, which outlasts the document's flag (changes
        // made through the buffer, a file deleted on disk); the plain text knows none of that.
        auto* Code = qobject_cast<TCodeEditor*>(Editor);
        if (Cmd == QLatin1String("editor-text"))
            return Ok(
                Escape(Code ? TextOfBytes(Code->Buffer()->GetText()) : Editor->toPlainText()));
        if (Cmd == QLatin1String("modified"))
            return Flag(Code ? Code->IsModified() : Editor->document()->isModified());
        if (Cmd == QLatin1String("goto")) {
            bool IsNumber = false;
            const int Offset = Rest.toInt(&IsNumber);
            if (!IsNumber || Offset < 0)
                return Error(QStringLiteral("bad offset ") + Rest);
            if (Code) {
                Code->SetCursorOffset(Offset);
            } else {
                QTextCursor Cursor = Editor->textCursor();
                Cursor.setPosition(PositionOfByteOffset(Editor->toPlainText(), Offset));
                Editor->setTextCursor(Cursor);
            }
        } else {
            // A cursor inserts into a read-only document too; a user's typing would not.
            if (Editor->isReadOnly())
                return Error(QStringLiteral("the editor is read-only"));
            // The same path as typed text: the editor's document records it for undo and
            // reports the change to the host.
            QTextCursor Cursor = Editor->textCursor();
            Cursor.insertText(Unescape(Rest));
            Editor->setTextCursor(Cursor);
        }
        Editor->setFocus();
        return Ok();
    }

    if (Cmd == QLatin1String("modal") || Cmd == QLatin1String("modal-set") ||
        Cmd == QLatin1String("modal-check") || Cmd == QLatin1String("modal-checked") ||
        Cmd == QLatin1String("modal-button")) {
        QWidget* Modal = QApplication::activeModalWidget();
        if (Cmd == QLatin1String("modal")) {
            if (!Modal)
                return Ok();
            const QString Name =
                Modal->objectName().isEmpty() ? QStringLiteral("-") : Modal->objectName();
            return Ok(QLatin1String(Modal->metaObject()->className()) + QLatin1Char(' ') + Name +
                      QLatin1Char(' ') + Modal->windowTitle());
        }
        if (!Modal)
            return Error(QStringLiteral("no modal window"));
        if (Cmd == QLatin1String("modal-set")) {
            const auto [Name, Value] = SplitFirst(Rest);
            return SetModalValue(Modal, Name, Unescape(Value));
        }
        if (Cmd == QLatin1String("modal-check") || Cmd == QLatin1String("modal-checked"))
            return CheckModalItem(Modal, Rest, Cmd == QLatin1String("modal-check"));
        for (QAbstractButton* Button : Modal->findChildren<QAbstractButton*>()) {
            if (!Button->isVisible() || Button->text().remove(QLatin1Char('&')) != Rest)
                continue;
            if (!Button->isEnabled())
                return Error(QStringLiteral("disabled"));
            // Queued: OK may open a message box with a loop of its own.
            QMetaObject::invokeMethod(Button, &QAbstractButton::click, Qt::QueuedConnection);
            return Ok();
        }
        return Error(QStringLiteral("no button ") + Rest);
    }

    if (Cmd == QLatin1String("click-cell")) {
        const QStringList Args = Rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        int Numbers[3] = {0, 0, -1};
        if ((Args.size() != 2 && Args.size() != 3) || !ParseSmallNumbers(Args, Numbers))
            return Error(QStringLiteral("usage: click-cell COL ROW [X]"));
        QString Failure;
        QAbstractScrollArea* Grid = ToDoGrid(FMain, Failure);
        if (!Grid)
            return Failure;
        const QPointer<QWidget> Viewport = Grid->viewport();
        TResult<QRect> Cell = CellRectOf(Numbers[0], Numbers[1]);
        if (Cell && Cell.Value().isEmpty() && Viewport && Numbers[1] > 0) {
            // Scrolled out of sight: bring the row to the top as the user would with the scroll
            // bar, which counts body rows (the header row 0 stays put).
            Grid->verticalScrollBar()->setValue(Numbers[1] - 1);
            Cell = CellRectOf(Numbers[0], Numbers[1]);
        }
        if (const QString Problem = CellProblem(Cell, Viewport); !Problem.isEmpty())
            return Problem;
        const int X = Numbers[2] >= 0 ? Numbers[2] : Cell.Value().width() / 2;
        const QPoint At(Cell.Value().left() + X, Cell.Value().center().y());
        SendMouse(Viewport, {{QEvent::MouseButtonPress, At}, {QEvent::MouseButtonRelease, At}});
        return Ok();
    }

    if (Cmd == QLatin1String("drag-column")) {
        const QStringList Args = Rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        int Numbers[2] = {0, 0};
        if (Args.size() != 2 || !ParseSmallNumbers(Args, Numbers) || Numbers[1] == 0)
            return Error(QStringLiteral("usage: drag-column COL WIDTH"));
        QString Failure;
        QAbstractScrollArea* Grid = ToDoGrid(FMain, Failure);
        if (!Grid)
            return Failure;
        const QPointer<QWidget> Viewport = Grid->viewport();
        const TResult<QRect> Header = CellRectOf(Numbers[0], 0);
        if (const QString Problem = CellProblem(Header, Viewport); !Problem.isEmpty())
            return Problem;
        // The boundary is the first pixel right of the column, where the user grabs it.
        const int Y = Header.Value().center().y();
        const QPoint To(Header.Value().left() + Numbers[1], Y);
        SendMouse(Viewport, {{QEvent::MouseButtonPress, QPoint(Header.Value().right() + 1, Y)},
                             {QEvent::MouseMove, To},
                             {QEvent::MouseButtonRelease, To}});
        return Ok();
    }

    if (Cmd == QLatin1String("dock-visible")) {
        auto* Dock = FindNamed<QDockWidget>(FMain, Rest);
        return Dock ? Flag(Dock->isVisible()) : Error(QStringLiteral("no dock ") + Rest);
    }
    if (Cmd == QLatin1String("dock-height")) {
        const auto [Name, Height] = SplitFirst(Rest);
        auto* Dock = FindNamed<QDockWidget>(FMain, Name);
        bool IsNumber = false;
        const int H = Height.toInt(&IsNumber);
        if (!Dock)
            return Error(QStringLiteral("no dock ") + Name);
        if (!IsNumber || H <= 0)
            return Error(QStringLiteral("usage: dock-height OBJECTNAME HEIGHT"));
        FMain->resizeDocks({Dock}, {H}, Qt::Vertical);
        return Ok();
    }
    if (Cmd == QLatin1String("resize")) {
        const QStringList Args = Rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        bool GoodW = false, GoodH = false;
        const int W = Args.value(0).toInt(&GoodW), H = Args.value(1).toInt(&GoodH);
        if (Args.size() != 2 || !GoodW || !GoodH || W <= 0 || H <= 0)
            return Error(QStringLiteral("usage: resize W H"));
        FMain->resize(W, H);
        return Ok();
    }
    if (Cmd == QLatin1String("grab")) {
        if (Rest.isEmpty())
            return Error(QStringLiteral("usage: grab FILE"));
        if (!FMain->grab().save(Rest, "PNG"))
            return Error(QStringLiteral("cannot write ") + Rest);
        return Ok();
    }
    if (Cmd == QLatin1String("quit")) {
        // What File > Exit does, after the reply has gone.
        QAction* Exit = FindAction(FMain, QStringLiteral("FileExitCommand"));
        QMetaObject::invokeMethod(
            FMain,
            [Main = QPointer<QMainWindow>(FMain), Exit = QPointer<QAction>(Exit)] {
                if (Exit && Exit->isEnabled())
                    Exit->trigger();
                else if (Main)
                    Main->close();
            },
            Qt::QueuedConnection);
        return Ok();
    }
    return Error(QStringLiteral("unknown command ") + Cmd);
}

void StartAutomationServer(QMainWindow* Main, const QString& SocketPath) {
    auto* Server = new TAutomationServer(Main, Main); // owned by Main (Qt parent)
    if (const QString Reason = Server->Listen(SocketPath); !Reason.isEmpty()) {
        std::fprintf(stderr, "todolist-gui: warning: no automation on %s: %s\n",
                     qPrintable(SocketPath), qPrintable(Reason));
        delete Server;
    }
}
