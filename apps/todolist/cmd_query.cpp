// todolist query: asks the running To-Do List window what it shows, through its query socket,
// so that scripts and other tools can read the window as a user sees it.
#include "cmd_query.h"

#include "cli_common.h"

#include "host/window_query.h"

#include <charconv>
#include <cstdint>
#include <iostream>

namespace {

/// A query as the command line names it, with the names of its numbers.
struct TQueryForm {
    const char* Name;
    TQueryMessage Msg;
    std::vector<const char*> Args;
};

const TQueryForm Forms[] = {
    {"count", qmItemCount, {}},
    {"selected-row", qmSelectedRow, {}},
    {"selected-column", qmSelectedColumn, {}},
    {"cell-rect", qmCellRect, {"COL", "ROW"}},
    {"text-length", qmCellTextLength, {"COL", "INDEX"}},
    {"text", qmCellText, {"COL", "INDEX"}},
    {"checked", qmChecked, {"INDEX"}},
};

/// The number written in Text (decimal, nothing around it) when it lies in Min..Max.
std::optional<long long> ParseInRange(const std::string& Text, long long Min, long long Max) {
    long long Value = 0;
    const char* End = Text.data() + Text.size();
    auto [Stop, Err] = std::from_chars(Text.data(), End, Value);
    if (Text.empty() || Err != std::errc() || Stop != End || Value < Min || Value > Max)
        return std::nullopt;
    return Value;
}

} // namespace

int RunQuery(const TQueryCommandOptions& Options) {
    std::string Names;
    for (const TQueryForm& F : Forms)
        Names += (Names.empty() ? "" : ", ") + std::string(F.Name);
    if (Options.Args.empty())
        return Fail(ecUsage, "which query? (" + Names + ")");
    const TQueryForm* Form = nullptr;
    for (const TQueryForm& F : Forms)
        if (Options.Args[0] == F.Name)
            Form = &F;
    if (!Form)
        return Fail(ecUsage, "unknown query '" + Options.Args[0] + "' (" + Names + ")");
    if (Options.Args.size() != Form->Args.size() + 1) {
        std::string Usage = Form->Name;
        for (const char* A : Form->Args)
            Usage += std::string(" ") + A;
        return Fail(ecUsage, "usage: todolist query " + Usage);
    }

    // Cell queries pack the column and the row into 16 bits each; checked takes the whole
    // 32-bit parameter, so -1 is sent as 0xFFFFFFFF and the window answers 0 for it.
    std::uint32_t WParam = 0;
    if (Form->Msg == qmChecked) {
        const auto Index = ParseInRange(Options.Args[1], INT32_MIN, UINT32_MAX);
        if (!Index)
            return Fail(ecUsage, "INDEX must be a whole number from " + std::to_string(INT32_MIN) +
                                     " to " + std::to_string(UINT32_MAX) + ", not '" +
                                     Options.Args[1] + "'");
        WParam = static_cast<std::uint32_t>(*Index);
    } else if (!Form->Args.empty()) {
        int Values[2] = {};
        for (int I = 0; I < 2; ++I) {
            const auto V = ParseInRange(Options.Args[I + 1], 0, 0xFFFF);
            if (!V)
                return Fail(ecUsage, std::string(Form->Args[I]) +
                                         " must be a whole number from 0 to 65535, not '" +
                                         Options.Args[I + 1] + "'");
            Values[I] = static_cast<int>(*V);
        }
        WParam = MakeQueryParam(Values[0], Values[1]);
    }

    std::string Socket;
    if (Options.Socket) {
        Socket = *Options.Socket;
    } else {
        auto Found = FindQuerySocket();
        if (!Found)
            return Fail(ecFailed, Found.Status().Message() + "; name the socket with --socket");
        Socket = Found.Value();
    }
    auto Answer = SendQuery(Socket, Form->Msg, WParam);
    if (!Answer)
        return Fail(ecFailed, Answer.Status().Message());
    const TQueryAnswer& A = Answer.Value();
    if (Form->Msg == qmCellRect) {
        const std::optional<TQueryRect> R = A.Reply ? DecodeRect(A.Reply->Bytes) : std::nullopt;
        if (!R)
            return Fail(ecFailed, "bad answer from " + Socket + ": no rectangle in the reply");
        std::cout << R->Left << ' ' << R->Top << ' ' << R->Right << ' ' << R->Bottom << '\n';
    } else if (Form->Msg == qmCellText) {
        // The copied text ends at its zero byte; a window that copied nothing sent no reply.
        const std::string Text =
            A.Reply ? A.Reply->Bytes.substr(0, A.Reply->Bytes.find('\0')) : std::string();
        std::cout << Text << '\n';
    } else {
        std::cout << A.Result << '\n';
    }
    return ecSuccess;
}
