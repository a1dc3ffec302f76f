#pragma once
// The code editor of one editor view: a plain-text editor over a module's edit buffer. The
// buffer is the truth the host and the packages work on (byte offsets, UTF-8, the file's own
// line endings); the editor shows it and writes every user edit through to it at once.

#include "host/events.h"
#include "ui/shell/ide_services.h"

#include <QPlainTextEdit>
#include <QString>

#include <memory>
#include <string>
#include <string_view>

class QPaintEvent;
class QResizeEvent;
class QTimer;
class TCallPoster;
class TEditBuffer;
class TModule;

/// The number of UTF-16 units of the editor's text that come before the byte at Offset (0-based)
/// of the buffer text Bytes: what a QTextCursor position is for that byte. A "\r\n" counts as
/// one unit (the editor shows it as one line break); a code point above U+FFFF as two; an invalid
/// byte as one (it shows as U+FFFD). Offset is clamped to 0 .. Bytes.size(); an offset inside a
/// sequence or between "\r" and "\n" maps to the start of that sequence or break.
int EditorPosOfByteOffset(std::string_view Bytes, int Offset);

/// The inverse of EditorPosOfByteOffset: the byte offset in Bytes of the editor position Pos
/// (UTF-16 units, 0-based). Pos is clamped to 0 .. the editor length; a position inside a
/// surrogate pair maps to the start of its code point.
int ByteOffsetOfEditorPos(std::string_view Bytes, int Pos);

/// A code editor showing the buffer of Module: monospace, line-number gutter, current-line
/// highlight, no wrapping, undo/redo, tab stops every 4 spaces. objectName "CodeEditor",
/// property "fileName" (QString, the module's normalised file name).
///
/// Buffer sync: a user edit replaces the changed bytes of the buffer at once (the changed range
/// is the common prefix/suffix difference between the text the editor showed before and after,
/// mapped to byte offsets; inserted line breaks take the file's line ending). No edit joins a
/// lone CR (shown as a line break of its own) and an LF into one CR LF: a line break typed right
/// after a lone CR is written CR LF, and a deletion between a lone CR and an LF turns the CR
/// into the file's line ending, so the file keeps every line break the editor shows. The
/// module's Modified() follows about 300 ms after the last edit. Changes others make to the buffer
/// show when EvModuleModified is raised for the module (or Refresh is called): applied as one
/// cursor edit, so the cursor, the scroll position and undo stay sane. A byte order mark is part of
/// the text the editor shows (U+FEFF, zero-width), so it stays in the file and the byte offsets
/// after it stay right. A file that is not valid UTF-8 is shown read-only and its bytes are never
/// written by the editor.
///
/// Main thread only. The module is shared with the host; the editor keeps it alive while it
/// lives.
class TCodeEditor : public QPlainTextEdit, public IEditControl {
    Q_OBJECT
public:
    /// Shows Module's buffer (Module must not be null).
    explicit TCodeEditor(std::shared_ptr<TModule> Module, QWidget* Parent = nullptr);
    ~TCodeEditor() override;

    /// The module's normalised file name.
    std::string FileName() const;
    const std::shared_ptr<TModule>& Module() const { return FModule; }
    const std::shared_ptr<TEditBuffer>& Buffer() const { return FBuffer; }

    /// The cursor as a 0-based byte offset into the buffer.
    int CursorOffset() const;
    /// Moves the cursor to the 0-based byte offset Offset (clamped to the text), dropping the
    /// selection. Does not scroll (see ShowOffset).
    void SetCursorOffset(int Offset);
    /// SetCursorOffset, then centres the cursor in the view.
    void ShowOffset(int Offset);

    /// The 0-based number of the first line the view shows (for the desktop).
    int FirstVisibleLine() const;
    /// Scrolls so that the 0-based line Line is the first one shown (clamped).
    void SetFirstVisibleLine(int Line);

    /// True while there are changes not saved: the module's or the buffer's modified flag, or
    /// the file was deleted on disk.
    bool IsModified() const;
    /// True when the file is not valid UTF-8: shown read-only, never written by the editor.
    bool IsBinary() const { return FBinary; }
    /// True when the file was found deleted on disk (until it is saved or reloaded).
    bool IsDeletedOnDisk() const { return FDeletedOnDisk; }
    /// Marks the file as deleted on disk: the editor keeps its text and counts as modified.
    void SetDeletedOnDisk(bool Value);
    /// The file's line ending as detected at load: "\r\n" or "\n".
    const char* LineEnding() const { return FCrLf ? "\r\n" : "\n"; }
    /// A short note on the file for the tab's tooltip ("" when there is nothing to say): not
    /// UTF-8 (read-only), deleted on disk.
    QString Note() const;

    /// Brings the editor's text up to the buffer's (after a Reload or a change by others) with
    /// one cursor edit; nothing when they agree.
    void Refresh();
    /// Runs the pending debounced Modified() of the module now (nothing when none is pending).
    void FlushModified();
    /// To be called after the buffer was saved or reloaded: the document's modified flag is
    /// cleared and the deleted-on-disk mark dropped.
    void MarkSaved();

    /// The 1-based line and 1-based column (UTF-16 units) of the cursor.
    int CursorLine() const;
    int CursorColumn() const;

    // IEditControl
    /// Inserts Text (UTF-8) at the cursor as one undo step; the buffer follows. A read-only
    /// editor (a file that is not valid UTF-8) inserts nothing and says so in a message box
    /// parented to the editor and run with exec(), which returns when the user closes it.
    void InsertTextAtCursor(const std::string& Text) override;
    void HideBlock() override;
    /// Emits StatusChanged with the cursor position and the modified state.
    void UpdateStatus() override;

    /// Width in pixels the line-number gutter needs for the current line count.
    int LineNumberAreaWidth() const;
    /// Paints the gutter; called by the gutter widget.
    void PaintLineNumberArea(QPaintEvent* Event);

signals:
    /// The cursor moved or the modified state changed (Line and Column 1-based).
    void StatusChanged(int Line, int Column, bool Modified);
    /// The modified state (IsModified) may have changed: the tab title follows it.
    void ModifiedChanged(bool Modified);

protected:
    void resizeEvent(QResizeEvent* Event) override;
    void contextMenuEvent(QContextMenuEvent* Event) override;
    void focusInEvent(QFocusEvent* Event) override;

private:
    void LoadFromBuffer();
    void OnContentsChanged();
    void OnModuleModified();
    void UpdateLineNumberAreaWidth();
    void UpdateLineNumberArea(const QRect& Rect, int Dy);
    void HighlightCurrentLine();
    void EmitModifiedIfChanged();
    QString RawText() const;

    std::shared_ptr<TModule> FModule;
    std::shared_ptr<TEditBuffer> FBuffer;
    /// The buffer's bytes as the editor last agreed with them; user edits are mapped to byte
    /// offsets through these.
    std::string FSynced;
    /// The editor's raw text (block breaks as U+2029) matching FSynced.
    QString FShown;
    QWidget* FLineNumberArea = nullptr; // owned by this (Qt parent)
    QTimer* FModifiedTimer = nullptr;   // owned by this (Qt parent)
    TCallPoster* FPoster = nullptr;     // owned by this (Qt parent)
    TEvent<TModule*, const std::string&>::TToken FModifiedToken = 0;
    bool FApplying = false; // true while the editor applies the buffer's text to itself
    bool FBinary = false;
    bool FCrLf = false;
    bool FDeletedOnDisk = false;
    bool FLastModified = false;
};
