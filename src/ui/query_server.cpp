#include "ui/query_server.h"

#include "host/file_io.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QtGlobal>

#include <cerrno>
#include <exception>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

namespace {

/// Qt's error text without its "QLocalServer::listen: " prefix, in our lower case.
std::string ReasonOf(const QString& QtError) {
    std::string S = QtError.toStdString();
    if (const auto Colon = S.find(": "); S.starts_with("QLocalServer::") && Colon != S.npos)
        S.erase(0, Colon + 2);
    if (S.size() > 1 && std::isupper(static_cast<unsigned char>(S[0])) &&
        !std::isupper(static_cast<unsigned char>(S[1])))
        S[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(S[0])));
    return S.empty() ? "unknown error" : S;
}

/// Makes the folder Path (mode 0700) when missing, and the folders above it as umask says.
/// Empty on success, else the reason.
std::string MakeFolder(const std::filesystem::path& Path) {
    if (Path.empty() || std::filesystem::is_directory(Path))
        return {};
    std::error_code Ec;
    if (Path.has_parent_path() && Path.parent_path() != Path)
        std::filesystem::create_directories(Path.parent_path(), Ec);
    if (::mkdir(Path.c_str(), 0700) != 0 && errno != EEXIST)
        return "cannot make the folder " + Path.string() + ": " + ErrnoText(errno);
    return {};
}

} // namespace

std::string DefaultQuerySocketPath() {
    return DefaultQuerySocketPath(static_cast<int>(::getpid()));
}

TQueryServer::TQueryServer(THandler Handler, QObject* Parent)
    : QObject(Parent), FHandler(std::move(Handler)) {}

TQueryServer::~TQueryServer() {
    Close();
}

TStatus TQueryServer::Listen(const std::string& Path) {
    Close();
    const auto Fail = [&Path](const std::string& Reason) {
        return TStatus::Error("cannot listen on " + Path + ": " + Reason);
    };
    if (Path.empty())
        return Fail("no path");
    const std::filesystem::path Folder = std::filesystem::path(Path).parent_path();
    if (std::string Reason = MakeFolder(Folder); !Reason.empty())
        return Fail(Reason);
    // The shared default folder must be ours alone; a folder the user named is the user's call.
    if (Folder == std::filesystem::path(QuerySocketFolder()))
        if (TStatus S = CheckSocketFolder(Folder.string()); !S)
            return Fail(S.Message());

    const QString Name = QString::fromStdString(Path);
    struct stat Info {};
    if (::lstat(Path.c_str(), &Info) == 0) {
        if (!S_ISSOCK(Info.st_mode))
            return Fail("a file that is not a socket is in the way");
        // Another window that still runs keeps its socket; one left by a crash is replaced.
        QLocalSocket Probe;
        Probe.connectToServer(Name);
        if (Probe.waitForConnected(1000))
            return Fail("another program answers there");
        QLocalServer::removeServer(Name);
    }

    auto* Server = new QLocalServer(this);
    Server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!Server->listen(Name)) {
        const std::string Reason = ReasonOf(Server->errorString());
        delete Server;
        return Fail(Reason);
    }
    connect(Server, &QLocalServer::newConnection, this, [this] { Accept(); });
    FServer = Server;
    FPath = Path;
    return {};
}

void TQueryServer::Close() {
    if (!FServer)
        return;
    // close() removes the socket file. The server goes later, with its connections, so that a
    // handler that closes the server does not pull its own connection from under Serve.
    FServer->close();
    for (QLocalSocket* Socket : FServer->findChildren<QLocalSocket*>())
        Socket->abort();
    FServer->deleteLater();
    FServer = nullptr;
    FPath.clear();
}

std::string TQueryServer::SocketPath() const {
    return FPath;
}

void TQueryServer::Accept() {
    while (QLocalSocket* Socket = FServer ? FServer->nextPendingConnection() : nullptr) {
        connect(Socket, &QLocalSocket::disconnected, Socket, &QObject::deleteLater);
        connect(Socket, &QLocalSocket::readyRead, this, [this, Socket] { Serve(Socket); });
        if (Socket->bytesAvailable() > 0)
            Serve(Socket);
    }
}

void TQueryServer::Serve(QLocalSocket* Socket) {
    QPointer<QLocalSocket> Guard(Socket);
    // Requests stay in the socket's buffer until a whole frame is there.
    while (Guard && Guard->state() == QLocalSocket::ConnectedState && Guard->bytesAvailable() > 0) {
        const QByteArray Head = Guard->peek(QueryRequestSize);
        std::size_t Used = 0;
        auto Request = DecodeRequest(std::string_view(Head.constData(), Head.size()), Used);
        if (!Request) {
            qWarning("query connection closed: %s", Request.Status().Message().c_str());
            Guard->disconnectFromServer(); // answers already written still go out
            return;
        }
        if (!Request.Value())
            return;
        Guard->skip(static_cast<qint64>(Used));
        const TQueryRequest R = *Request.Value();
        TQueryAnswer Answer;
        if (R.Msg >= qmItemCount && R.Msg <= qmChecked) {
            try {
                Answer = FHandler(R.Msg, R.WParam);
            } catch (const std::exception& E) {
                qWarning("query %u failed: %s", R.Msg, E.what());
                if (Guard)
                    Guard->disconnectFromServer();
                return;
            }
            if (Answer.Reply && Answer.Reply->Bytes.size() > MaxQueryData) {
                qWarning("query %u: reply of %zu bytes is too large", R.Msg,
                         Answer.Reply->Bytes.size());
                if (Guard)
                    Guard->disconnectFromServer();
                return;
            }
        }
        if (!Guard || Guard->state() != QLocalSocket::ConnectedState)
            return;
        const std::string Frame = EncodeAnswer(Answer);
        Guard->write(Frame.data(), static_cast<qint64>(Frame.size()));
    }
}
