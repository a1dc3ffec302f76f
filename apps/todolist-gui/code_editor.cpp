#include "code_editor.h"

#include "host/edit_buffer.h"
#include "host/module.h"
#include "host/utf8.h"
#include "ui/shell/window_sink.h"

#include <QContextMenuEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTextBlock>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

/// How long after the last edit the module is told it was modified (which makes the to-do list
/// parse it again): long enough to let a burst of typing through as one change.
constexpr int ModifiedDelayMs = 300;

/// A block break in QTextDocument's raw text.
constexpr char16_t BlockBreak = 0x2029;

/// One unit of the buffer's bytes as the editor shows it: a "\r\n" pair is one block break, a
/// valid UTF-8 sequence one code point (two UTF-16 units above U+FFFF), an invalid byte one
/// U+FFFD. QTextDocument turns "\r\n", a lone "\r", a lone "\n" and U+2029 into one block
/// break each, so counting this way matches the document's positions.
struct TPiece {
    int Bytes;
    int Units;
};

TPiece PieceAt(std::string_view S, size_t At) {
    if (S[At] == '\r' && At + 1 < S.size() && S[At + 1] == '\n')
        return {2, 1};
    const size_t N = Utf8SequenceLength(S, At);
    if (N == 0)
        return {1, 1};
    return {static_cast<int>(N), N == 4 ? 2 : 1};
}

/// Bytes (valid UTF-8) decoded with a leading byte order mark kept as U+FEFF.
/// QString::fromUtf8 drops it, which would shift every position after it by one against the
/// bytes the buffer keeps and the byte offset mapping counts.
QString DecodeKeepingBom(std::string_view Bytes) {
    QStringDecoder Decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return Decoder.decode(QByteArrayView(Bytes.data(), static_cast<qsizetype>(Bytes.size())));
}

/// The text the editor shows for Bytes, before the document makes block breaks of the line
/// endings: valid sequences decoded (a byte order mark as U+FEFF), each invalid byte one U+FFFD
/// (so positions map one to one).
QString DecodeForEditor(std::string_view Bytes) {
    if (IsValidUtf8(Bytes))
        return DecodeKeepingBom(Bytes);
    QString Text;
    Text.reserve(static_cast<qsizetype>(Bytes.size()));
    size_t At = 0;
    while (At < Bytes.size()) {
        // A run of valid sequences is decoded in one go; it may start with U+FEFF (after an
        // invalid byte, or the file's byte order mark), which must stay.
        size_t End = At;
        while (End < Bytes.size())
            if (const size_t N = Utf8SequenceLength(Bytes, End); N > 0)
                End += N;
            else
                break;
        Text += DecodeKeepingBom(Bytes.substr(At, End - At));
        if (End < Bytes.size())
            Text += QChar(QChar::ReplacementCharacter);
        At = End + 1;
    }
    return Text;
}

/// DecodeForEditor with every line ending made the block break the document's raw text holds.
QString RawFormOf(std::string_view Bytes) {
    QString Text = DecodeForEditor(Bytes);
    Text.replace(QStringLiteral("\r\n"), QString(QChar(BlockBreak)));
    Text.replace(QChar(u'\r'), QChar(BlockBreak));
    Text.replace(QChar(u'\n'), QChar(BlockBreak));
    return Text;
}

/// The bytes the buffer gets for text typed into the editor (raw form): block breaks become the
/// file's line ending.
std::string BytesOfTyped(const QString& Raw, const char* LineEnding) {
    QString Text = Raw;
    Text.replace(QChar(BlockBreak), QString::fromLatin1(LineEnding));
    return Text.toStdString();
}

/// The range two texts differ in: [Start, OldEnd) of the old one became [Start, NewEnd) of the
/// new one (common prefix and suffix left out).
struct TDiff {
    int Start = 0;
    int OldEnd = 0;
    int NewEnd = 0;
};

TDiff DiffOf(const QString& Old, const QString& New) {
    const qsizetype Min = std::min(Old.size(), New.size());
    qsizetype Pre = 0;
    while (Pre < Min && Old[Pre] == New[Pre])
        ++Pre;
    // Never cut a surrogate pair: the byte mapping knows whole code points only.
    if (Pre > 0 && New[Pre - 1].isHighSurrogate())
        --Pre;
    qsizetype Suf = 0;
    while (Suf < Min - Pre && Old[Old.size() - 1 - Suf] == New[New.size() - 1 - Suf])
        ++Suf;
    if (Suf > 0 && New[New.size() - Suf].isLowSurrogate())
        --Suf;
    return {static_cast<int>(Pre), static_cast<int>(Old.size() - Suf),
            static_cast<int>(New.size() - Suf)};
}

/// Makes the replacement of bytes [Start, End) of Synced by Bytes keep the line breaks the
/// editor shows. The editor shows a lone "\r" as a line break of its own, but a "\r" directly
/// followed by "\n" is one break: an edit that leaves a lone "\r" right before a "\n" would
/// silently merge two breaks the user still sees, and every later position would map one byte
/// off. So a line break typed right after a lone "\r" (in a file with "\n" endings) is written
/// as "\r\n", which keeps the "\r" as it was and lets undo give back the very bytes; and when
/// the text between a lone "\r" and a "\n" is deleted, the "\r" itself becomes the file's line
/// ending. Either way the bytes show exactly what the editor shows, and the user's edit does
/// what it did on screen. (Showing the bytes again instead would make a typed line break vanish,
/// or two lines merge, under the user's hands.)
///
/// Only the start edge can join a pair: both edges are editor positions, which never fall
/// between the "\r" and "\n" of a pair, so no pair is split; and the typed bytes never end in
/// "\r" (the document turns every "\r" it is given into a block break, which the file's line
/// ending replaces), so the end edge cannot join one either.
void KeepLoneCrApart(std::string_view Synced, int& Start, int End, std::string& Bytes,
                     std::string_view LineEnding) {
    auto NextIsLf = [&] {
        return Bytes.empty() ? static_cast<size_t>(End) < Synced.size() &&
                                   Synced[static_cast<size_t>(End)] == '\n'
                             : Bytes.front() == '\n';
    };
    // At most two rounds: a deletion takes in the "\r", whose replacement may in turn start
    // with "\n" right after another lone "\r".
    while (Start > 0 && Synced[static_cast<size_t>(Start) - 1] == '\r' && NextIsLf()) {
        if (!Bytes.empty()) {
            Bytes.insert(0, 1, '\r');
            return;
        }
        --Start;
        Bytes = LineEnding;
    }
}

/// The gutter: a widget on the editor's left margin that the editor paints.
class TLineNumberArea : public QWidget {
public:
    explicit TLineNumberArea(TCodeEditor* Editor) : QWidget(Editor), FEditor(Editor) {}
    QSize sizeHint() const override { return {FEditor->LineNumberAreaWidth(), 0}; }

protected:
    void paintEvent(QPaintEvent* Event) override { FEditor->PaintLineNumberArea(Event); }

private:
    TCodeEditor* FEditor; // not owned: the Qt parent
};

} // namespace

int EditorPosOfByteOffset(std::string_view Bytes, int Offset) {
    const size_t Target =
        static_cast<size_t>(std::clamp(Offset, 0, static_cast<int>(Bytes.size())));
    size_t At = 0;
    int Pos = 0;
    while (At < Target) {
        const TPiece P = PieceAt(Bytes, At);
        if (At + static_cast<size_t>(P.Bytes) > Target)
            break;
        At += static_cast<size_t>(P.Bytes);
        Pos += P.Units;
    }
    return Pos;
}

int ByteOffsetOfEditorPos(std::string_view Bytes, int Pos) {
    size_t At = 0;
    int Units = 0;
    while (At < Bytes.size()) {
        const TPiece P = PieceAt(Bytes, At);
        if (Units + P.Units > Pos)
            break;
        At += static_cast<size_t>(P.Bytes);
        Units += P.Units;
    }
    return static_cast<int>(At);
}

TCodeEditor::TCodeEditor(std::shared_ptr<TModule> Module, QWidget* Parent)
    : QPlainTextEdit(Parent), FModule(std::move(Module)), FBuffer(FModule->GetBuffer()) {
    setObjectName(QStringLiteral("CodeEditor"));
    FPoster = new TCallPoster(this);
    setProperty("fileName", QString::fromStdString(FModule->GetFileName()));
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTabStopDistance(fontMetrics().horizontalAdvance(QLatin1Char(' ')) * 4);

    FLineNumberArea = new TLineNumberArea(this); // owned by this (Qt parent)
    FModifiedTimer = new QTimer(this);           // owned by this (Qt parent)
    FModifiedTimer->setSingleShot(true);
    FModifiedTimer->setInterval(ModifiedDelayMs);
    connect(FModifiedTimer, &QTimer::timeout, this, [this] {
        FModule->Modified(); // raises EvModuleModified; OnModuleModified finds nothing to do
    });

    LoadFromBuffer();

    connect(this, &QPlainTextEdit::blockCountChanged, this,
            [this](int) { UpdateLineNumberAreaWidth(); });
    connect(this, &QPlainTextEdit::updateRequest, this,
            [this](const QRect& Rect, int Dy) { UpdateLineNumberArea(Rect, Dy); });
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        HighlightCurrentLine();
        UpdateStatus();
    });
    connect(document(), &QTextDocument::contentsChanged, this, [this] { OnContentsChanged(); });
    connect(document(), &QTextDocument::modificationChanged, this,
            [this](bool) { EmitModifiedIfChanged(); });
    UpdateLineNumberAreaWidth();
    HighlightCurrentLine();

    // The host raises its events on the main thread, where this editor lives; a package that
    // reports a change from another thread gets it posted here.
    FModifiedToken = EvModuleModified().Add([this](TModule* Sender, const std::string& Name) {
        if (Sender != FModule.get() && (Sender || Name != FileName()))
            return;
        if (QThread::currentThread() == thread())
            OnModuleModified();
        else
            FPoster->Post([this] { OnModuleModified(); });
    });
    FLastModified = IsModified();
}

TCodeEditor::~TCodeEditor() {
    EvModuleModified().Remove(FModifiedToken);
    // A pending Modified() is dropped: the tabs flush it when a view closes, and at shut-down
    // nobody may be left to hear it.
    FModifiedTimer->stop();
    auto& Lists = EditorActionLists();
    if (!Lists.empty() && Lists[0]->EditControl() == this)
        Lists[0]->SetEditControl(nullptr);
}

void TCodeEditor::LoadFromBuffer() {
    std::string Bytes = FBuffer->GetText();
    FBinary = !IsValidUtf8(Bytes);
    // The line ending typed lines get: what most of the file's lines end with.
    size_t CrLf = 0, Lf = 0;
    for (size_t I = 0; I < Bytes.size(); ++I)
        if (Bytes[I] == '\n')
            ++(I > 0 && Bytes[I - 1] == '\r' ? CrLf : Lf);
    FCrLf = CrLf > Lf;

    FApplying = true;
    setPlainText(DecodeForEditor(Bytes));
    FApplying = false;
    FShown = RawText();
    FSynced = std::move(Bytes);
    // A file the editor cannot show faithfully is never edited through it: no typing, and no
    // undo that could bring back text it never had.
    setReadOnly(FBinary);
    setUndoRedoEnabled(!FBinary);
    document()->setModified(false);
    SetCursorOffset(FBuffer->GetCursorPos());
}

std::string TCodeEditor::FileName() const {
    return FModule->GetFileName();
}

QString TCodeEditor::RawText() const {
    return document()->toRawText();
}

int TCodeEditor::CursorOffset() const {
    return ByteOffsetOfEditorPos(FSynced, textCursor().position());
}

void TCodeEditor::SetCursorOffset(int Offset) {
    QTextCursor C = textCursor();
    C.setPosition(std::min(EditorPosOfByteOffset(FSynced, Offset),
                           static_cast<int>(document()->characterCount()) - 1));
    setTextCursor(C);
}

void TCodeEditor::ShowOffset(int Offset) {
    SetCursorOffset(Offset);
    centerCursor();
}

int TCodeEditor::FirstVisibleLine() const {
    return firstVisibleBlock().blockNumber();
}

void TCodeEditor::SetFirstVisibleLine(int Line) {
    // Without wrapping, the vertical scroll bar of a plain-text edit counts lines.
    verticalScrollBar()->setValue(Line);
}

bool TCodeEditor::IsModified() const {
    return FDeletedOnDisk || FModule->GetModified() || FBuffer->GetModified();
}

void TCodeEditor::SetDeletedOnDisk(bool Value) {
    FDeletedOnDisk = Value;
    EmitModifiedIfChanged();
}

QString TCodeEditor::Note() const {
    QStringList Notes;
    if (FBinary)
        Notes << tr("Not valid UTF-8: opened read-only.");
    if (FDeletedOnDisk)
        Notes << tr("Deleted on disk: save to write it again.");
    return Notes.join(QLatin1Char('\n'));
}

void TCodeEditor::OnContentsChanged() {
    if (FApplying || FBinary)
        return;
    const QString Now = RawText();
    const TDiff D = DiffOf(FShown, Now);
    if (D.Start == D.OldEnd && D.Start == D.NewEnd)
        return; // a format-only change
    const std::string Typed = BytesOfTyped(Now.mid(D.Start, D.NewEnd - D.Start), LineEnding());

    bool InSync = false;
    FBuffer->WithText([&](std::string_view Text) { InSync = Text == FSynced; });
    if (InSync) {
        int Start = ByteOffsetOfEditorPos(FSynced, D.Start);
        const int End = ByteOffsetOfEditorPos(FSynced, D.OldEnd);
        std::string Bytes = Typed;
        KeepLoneCrApart(FSynced, Start, End, Bytes, LineEnding());
        if (TStatus S = FBuffer->Replace(Start, End, Bytes); S)
            FSynced.replace(static_cast<size_t>(Start), static_cast<size_t>(End - Start), Bytes);
        else
            InSync = false; // the buffer refused (grew too large): fall back below
    }
    if (!InSync) {
        // Someone changed the buffer without raising EvModuleModified yet. What the user sees
        // wins: the buffer takes the editor's whole text, differing bytes only.
        const std::string Old = FBuffer->GetText();
        const std::string New = BytesOfTyped(Now, LineEnding());
        size_t Pre = 0;
        const size_t Min = std::min(Old.size(), New.size());
        while (Pre < Min && Old[Pre] == New[Pre])
            ++Pre;
        size_t Suf = 0;
        while (Suf < Min - Pre && Old[Old.size() - 1 - Suf] == New[New.size() - 1 - Suf])
            ++Suf;
        (void)FBuffer->Replace(static_cast<int>(Pre), static_cast<int>(Old.size() - Suf),
                               std::string_view(New).substr(Pre, New.size() - Suf - Pre));
        FSynced = FBuffer->GetText();
    }
    FShown = Now;
    FModifiedTimer->start();
    EmitModifiedIfChanged();
}

void TCodeEditor::Refresh() {
    std::string Bytes = FBuffer->GetText();
    if (Bytes == FSynced)
        return;
    const QString Target = RawFormOf(Bytes);
    const TDiff D = DiffOf(FShown, Target);
    const int HScroll = horizontalScrollBar()->value();
    const int VScroll = verticalScrollBar()->value();
    FApplying = true;
    QTextCursor C(document());
    C.beginEditBlock();
    C.setPosition(D.Start);
    C.setPosition(D.OldEnd, QTextCursor::KeepAnchor);
    C.insertText(Target.mid(D.Start, D.NewEnd - D.Start));
    C.endEditBlock();
    FApplying = false;
    horizontalScrollBar()->setValue(HScroll);
    verticalScrollBar()->setValue(VScroll);
    FShown = RawText();
    FSynced = std::move(Bytes);
    if (FBinary != !IsValidUtf8(FSynced)) {
        FBinary = !FBinary;
        setReadOnly(FBinary);
        setUndoRedoEnabled(!FBinary);
    }
    EmitModifiedIfChanged();
}

void TCodeEditor::OnModuleModified() {
    Refresh();
    EmitModifiedIfChanged();
}

void TCodeEditor::FlushModified() {
    if (!FModifiedTimer->isActive())
        return;
    FModifiedTimer->stop();
    FModule->Modified();
}

void TCodeEditor::MarkSaved() {
    FDeletedOnDisk = false;
    document()->setModified(false);
    EmitModifiedIfChanged();
    emit ModifiedChanged(IsModified());
}

void TCodeEditor::EmitModifiedIfChanged() {
    const bool Now = IsModified();
    if (Now == FLastModified)
        return;
    FLastModified = Now;
    emit ModifiedChanged(Now);
    UpdateStatus();
}

int TCodeEditor::CursorLine() const {
    return textCursor().blockNumber() + 1;
}

int TCodeEditor::CursorColumn() const {
    return textCursor().positionInBlock() + 1;
}

void TCodeEditor::InsertTextAtCursor(const std::string& Text) {
    if (isReadOnly()) {
        // The text comes from a command the user gave (Add To-Do Item): dropping it without a
        // word would look like the command did nothing.
        const QString Name = QFileInfo(QString::fromStdString(FileName())).fileName();
        QMessageBox Box(QMessageBox::Warning, tr("To-Do List"),
                        tr("%1 is open read-only: it is not valid UTF-8, so the editor cannot "
                           "insert text into it.")
                            .arg(Name),
                        QMessageBox::Ok, this); // on the stack; parented so it is modal
        Box.exec();
        return;
    }
    QTextCursor C = textCursor();
    C.clearSelection();
    C.insertText(DecodeKeepingBom(Text)); // one undo step; the buffer follows at once
    setTextCursor(C);
}

void TCodeEditor::HideBlock() {
    QTextCursor C = textCursor();
    C.clearSelection();
    setTextCursor(C);
}

void TCodeEditor::UpdateStatus() {
    emit StatusChanged(CursorLine(), CursorColumn(), IsModified());
}

int TCodeEditor::LineNumberAreaWidth() const {
    int Digits = 1;
    for (int Max = std::max(1, blockCount()); Max >= 10; Max /= 10)
        ++Digits;
    return 8 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * std::max(Digits, 3);
}

void TCodeEditor::UpdateLineNumberAreaWidth() {
    setViewportMargins(LineNumberAreaWidth(), 0, 0, 0);
}

void TCodeEditor::UpdateLineNumberArea(const QRect& Rect, int Dy) {
    if (Dy)
        FLineNumberArea->scroll(0, Dy);
    else
        FLineNumberArea->update(0, Rect.y(), FLineNumberArea->width(), Rect.height());
    if (Rect.contains(viewport()->rect()))
        UpdateLineNumberAreaWidth();
}

void TCodeEditor::resizeEvent(QResizeEvent* Event) {
    QPlainTextEdit::resizeEvent(Event);
    const QRect R = contentsRect();
    FLineNumberArea->setGeometry(QRect(R.left(), R.top(), LineNumberAreaWidth(), R.height()));
}

void TCodeEditor::PaintLineNumberArea(QPaintEvent* Event) {
    QPainter Painter(FLineNumberArea);
    Painter.fillRect(Event->rect(), palette().color(QPalette::AlternateBase));
    Painter.setPen(palette().color(QPalette::PlaceholderText));
    const int Width = FLineNumberArea->width() - 4;
    const int Height = fontMetrics().height();
    QTextBlock Block = firstVisibleBlock();
    int Top = qRound(blockBoundingGeometry(Block).translated(contentOffset()).top());
    int Bottom = Top + qRound(blockBoundingRect(Block).height());
    while (Block.isValid() && Top <= Event->rect().bottom()) {
        if (Block.isVisible() && Bottom >= Event->rect().top())
            Painter.drawText(0, Top, Width, Height, Qt::AlignRight,
                             QString::number(Block.blockNumber() + 1));
        Block = Block.next();
        Top = Bottom;
        Bottom = Top + qRound(blockBoundingRect(Block).height());
    }
}

void TCodeEditor::HighlightCurrentLine() {
    QTextEdit::ExtraSelection Line;
    QColor Color = palette().color(QPalette::Highlight);
    Color.setAlpha(40);
    Line.format.setBackground(Color);
    Line.format.setProperty(QTextFormat::FullWidthSelection, true);
    Line.cursor = textCursor();
    Line.cursor.clearSelection();
    setExtraSelections({Line});
}

void TCodeEditor::contextMenuEvent(QContextMenuEvent* Event) {
    QMenu* Menu = createStandardContextMenu(Event->pos()); // deleted below
    auto& Lists = EditorActionLists();
    if (!Lists.empty()) {
        Lists[0]->SetEditControl(this);
        RequestActionUpdate();
        const QList<QAction*> Actions = Lists[0]->Actions();
        if (!Actions.isEmpty()) {
            Menu->addSeparator();
            Menu->addActions(Actions);
        }
    }
    Menu->exec(Event->globalPos());
    delete Menu;
}

void TCodeEditor::focusInEvent(QFocusEvent* Event) {
    QPlainTextEdit::focusInEvent(Event);
    auto& Lists = EditorActionLists();
    if (!Lists.empty() && Lists[0]->EditControl() != this) {
        Lists[0]->SetEditControl(this);
        RequestActionUpdate();
    }
}
