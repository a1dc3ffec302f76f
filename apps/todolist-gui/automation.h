#pragma once

// Remote control of the running program for end-to-end tests and screenshot scripts: a line
// protocol on a local socket, started by `todolist-gui --automation SOCKET`.

#include <QObject>
#include <QPointer>
#include <QString>

class QLocalServer;
class QLocalSocket;
class QMainWindow;

/// Serves automation requests on a local socket. One request line (UTF-8, '\n'-terminated) gets
/// one reply line: "ok" or "ok <data>" on success, "error <message>" on failure. Requests are
/// read from the event loop, so they are served while a modal dialog runs its own loop too;
/// anything that could open a modal dialog (trigger, modal-button, quit) is queued and answered
/// "ok" at once, and the client polls ("modal") for its effect.
///
/// Commands (arguments are separated by one space; the last one takes the rest of the line):
///   open-project PATH | close-project | open-file PATH | project
///   trigger ACTION | enabled ACTION | checked ACTION
///   editor | editor-text | goto BYTE_OFFSET | type TEXT | modified
///   modal | modal-set OBJECTNAME VALUE | modal-button TEXT
///   modal-check LIST ITEM_TEXT 0|1 | modal-checked LIST ITEM_TEXT
///   click-cell COL ROW [X] | drag-column COL WIDTH
///   dock-visible OBJECTNAME | dock-height OBJECTNAME HEIGHT
///   resize W H | grab FILE | quit
/// TEXT of "type" and the reply of "editor-text" use the escapes \n, \t, \r and \\. For a code
/// editor (TCodeEditor) "editor-text" is its buffer's text as the file will be written (line
/// endings and byte order mark included), "goto" takes a byte offset into that text and
/// "modified" is the editor's own state (TCodeEditor::IsModified); "type" into a read-only
/// editor is an error. "enabled" and "checked" report an action as it is, without bringing
/// the commands up to date first; "trigger" does, as opening a menu would. click-cell
/// clicks X pixels right of the cell's left edge (default: its middle) of the To-Do window's
/// grid; ROW counts the header as 0 and is scrolled into view first when needed. drag-column
/// drags the right boundary of column COL in the grid's header, as the user resizes a column,
/// until the column is WIDTH pixels wide.
/// modal-check unticks (0) or ticks (1) the checkable item whose text is ITEM_TEXT (exactly; it
/// may hold spaces) in the list widget LIST of the modal window, as a click on its box would;
/// modal-checked reports its state. LIST "-" is the modal window's first list widget, for one
/// without an object name.
/// Main thread only.
class TAutomationServer : public QObject {
    Q_OBJECT
public:
    /// Main is the main window the requests act on; it must outlive the server (make it the
    /// parent).
    TAutomationServer(QMainWindow* Main, QObject* Parent);
    ~TAutomationServer() override;

    /// Listens on SocketPath (an absolute file name whose folder exists), replacing a stale
    /// socket file left there. Empty on success, else the reason.
    QString Listen(const QString& SocketPath);

    /// Runs one request line (without its line break) and returns the reply line (without its
    /// line break). Public for the in-process tests.
    QString Execute(const QString& Line);

private:
    void Accept();
    void Serve(QLocalSocket* Socket);

    QMainWindow* FMain;              // not owned
    QLocalServer* FServer = nullptr; // owned by this (Qt parent)
};

/// Starts a TAutomationServer owned by Main (Qt parent) on SocketPath; a failure is reported on
/// stderr and leaves the program running without automation.
void StartAutomationServer(QMainWindow* Main, const QString& SocketPath);
