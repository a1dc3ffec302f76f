#pragma once

// The queries another program may send the To-Do List window, and the local socket they travel
// on. The frame layout is described in docs/query-protocol.md; the window answers through
// TQueryServer (src/ui/query_server.h), a program asks with SendQuery.

#include "host/status.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/// The message number of a reply carrying data (a copy-data record) back to the asker.
constexpr unsigned WM_COPYDATA = 74;

/// The queries the window answers. "Row" in the grid counts the header as row 0; an item index
/// is 0-based over the listed items.
enum TQueryMessage : unsigned {
    qmItemCount = 1125, ///< result: number of listed items
    qmSelectedRow,      ///< result: top grid row of the selection
    qmSelectedColumn,   ///< result: left column of the selection
    qmCellRect,         ///< param: column, grid row; reply: left, top, right, bottom (int32 LE)
    qmCellTextLength,   ///< param: column, item index; result: the cell text's length in bytes
    qmCellText,         ///< param: column, item index; result: length; reply: text + zero byte
    qmChecked,          ///< whole param: item index; result: 1 checked, 0 not or bad index
};

/// The longest cell text a qmCellText reply carries, in bytes (the zero byte not counted).
constexpr std::size_t MaxCellText = 4095;

/// The largest reply data a frame may carry, in bytes; longer ones are refused as damaged.
constexpr std::size_t MaxQueryData = 64 * 1024;

/// Size of a request frame in bytes, and of an answer frame without its data.
constexpr std::size_t QueryRequestSize = 12;
constexpr std::size_t QueryAnswerHeaderSize = 28;

/// The word parameter of a cell query: Col in the low 16 bits, Row in the high 16 bits. Both
/// must lie in 0..65535.
std::uint32_t MakeQueryParam(int Col, int Row);
/// The column (low 16 bits) of a word parameter.
int QueryParamCol(std::uint32_t WParam);
/// The row or item index (high 16 bits) of a word parameter.
int QueryParamRow(std::uint32_t WParam);

/// A cell rectangle as the qmCellRect reply carries it: 16 bytes, left, top, right, bottom as
/// little-endian signed 32-bit numbers; Right and Bottom are exclusive.
struct TQueryRect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
};
std::string EncodeRect(const TQueryRect& Rect);
/// Nothing unless Bytes is exactly 16 bytes long.
std::optional<TQueryRect> DecodeRect(std::string_view Bytes);

/// A block of data sent back with an answer. DataNumber is the query's message number.
struct TCopyData {
    std::uint32_t DataNumber = 0;
    std::string Bytes; ///< at most MaxQueryData bytes
    bool operator==(const TCopyData&) const = default;
};

/// What the window answers to one query.
struct TQueryAnswer {
    std::int64_t Result = 0;
    std::uint32_t Window = 0; ///< the answering window's handle; 0 when none names itself
    std::optional<TCopyData> Reply;
    bool operator==(const TQueryAnswer&) const = default;
};

/// One query: a message number and its word parameter.
struct TQueryRequest {
    std::uint32_t Msg = 0;
    std::uint32_t WParam = 0;
    bool operator==(const TQueryRequest&) const = default;
};

/// The request frame of Request (QueryRequestSize bytes).
std::string EncodeRequest(const TQueryRequest& Request);
/// The answer frame of Answer. Answer.Reply, when present, must hold at most MaxQueryData bytes.
std::string EncodeAnswer(const TQueryAnswer& Answer);

/// Decodes the request frame at the start of Bytes (untrusted). A complete frame is returned
/// with Used set to its size (bytes after it are left alone); nullopt means more bytes are
/// needed (Used is 0); an error means the bytes can never become a valid frame (a wrong magic or
/// version is seen as soon as its first byte arrives).
TResult<std::optional<TQueryRequest>> DecodeRequest(std::string_view Bytes, std::size_t& Used);
/// Decodes the answer frame at the start of Bytes, as DecodeRequest does. Data longer than
/// MaxQueryData is refused from the header alone, before it arrives.
TResult<std::optional<TQueryAnswer>> DecodeAnswer(std::string_view Bytes, std::size_t& Used);

/// Sends one query to the window serving at SocketPath and waits for its answer: connects,
/// writes the request, reads the whole answer and closes. Timeout bounds the whole exchange.
/// A reply whose data number is not Msg counts as a bad answer. Blocking; any thread.
TResult<TQueryAnswer> SendQuery(const std::string& SocketPath, unsigned Msg, std::uint32_t WParam,
                                std::chrono::milliseconds Timeout = std::chrono::seconds(5));

/// The folder of the windows' sockets: $XDG_RUNTIME_DIR/todolist when that variable holds an
/// absolute path, else /tmp/todolist-<uid>.
std::string QuerySocketFolder();

/// Checks that Folder (the socket folder) is a folder of the current user that nobody else may
/// write to: under /tmp another user could otherwise make it first and put a socket of theirs
/// where a window's is expected. A symbolic link is refused too.
TStatus CheckSocketFolder(const std::string& Folder);

/// Where the window of process Pid serves: $TODOLIST_QUERY_SOCKET when set and not empty, else
/// QuerySocketFolder()/window-<Pid>.sock.
std::string DefaultQuerySocketPath(int Pid);

/// The socket to ask when the user named none: $TODOLIST_QUERY_SOCKET when set and not empty,
/// else the only window-<pid>.sock in QuerySocketFolder() whose process still runs. Fails when
/// there is no such socket or several.
TResult<std::string> FindQuerySocket();
