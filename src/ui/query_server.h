#pragma once

#include "host/status.h"
#include "host/window_query.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <string>

class QLocalServer;
class QLocalSocket;

/// Where this process's window serves its queries: $TODOLIST_QUERY_SOCKET when set and not
/// empty, else $XDG_RUNTIME_DIR/todolist/window-<pid>.sock (when XDG_RUNTIME_DIR holds an
/// absolute path), else /tmp/todolist-<uid>/window-<pid>.sock.
std::string DefaultQuerySocketPath();

/// Serves the window's queries (TQueryMessage) on a local socket; `todolist query` and other
/// programs ask through SendQuery. Each connection may carry several requests, each answered
/// in order with one answer frame.
///
/// - The handler runs on the thread this object lives in (the GUI thread), one request at a
///   time, and returns the answer as the window would give it: the result, the window's handle
///   and, for queries with data, the reply (its DataNumber the query's message number).
/// - Messages outside qmItemCount..qmChecked never reach the handler: they are answered with
///   result 0, window 0 and no reply, as an unhandled window message answers.
/// - A connection that sends bytes that are not a request frame is closed without an answer;
///   so is one whose handler throws or returns a reply larger than MaxQueryData (both logged
///   as warnings). Other connections go on.
class TQueryServer : public QObject {
    Q_OBJECT
public:
    using THandler = std::function<TQueryAnswer(unsigned Msg, std::uint32_t WParam)>;

    explicit TQueryServer(THandler Handler, QObject* Parent = nullptr);
    /// Closes the server (see Close).
    ~TQueryServer() override;

    /// Starts serving at Path (closing a socket served before). A socket file left at Path by a
    /// program that no longer answers there is replaced; a live one, or a file that is not a
    /// socket, is left alone and fails. A missing parent folder is made (mode 0700, the
    /// folders above it as umask says). The socket file is readable and writable by the user
    /// only. Fails with "cannot listen on <path>: <reason>".
    TStatus Listen(const std::string& Path);

    /// Stops serving: drops every connection (requests not yet answered stay unanswered) and
    /// removes the socket file. Nothing when not listening.
    void Close();

    /// The path served, empty when not listening.
    std::string SocketPath() const;

private:
    void Accept();
    void Serve(QLocalSocket* Socket);

    THandler FHandler;
    QLocalServer* FServer = nullptr; // owned through the Qt parent
    std::string FPath;
};
