// Any bytes go through the to-do file scanner and the .todo updater's ParseItems without
// reading out of bounds or looping: every comment reported lies inside the text, in file order
// without overlap, reads back alone as one whole comment, and the same comments come out
// whatever the blocks the text arrives in.

#include "host/module.h"
#include "todofile/todo_file_scanner.h"
#include "todofile/todo_file_updater.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

void Check(bool Condition) {
    if (!Condition)
        std::abort();
}

using TComments = std::vector<std::pair<int, std::string>>;

TComments Scan(std::string_view Text, size_t BlockSize) {
    TStringSourceReader Reader(Text, BlockSize);
    TToDoFileScanner Scanner;
    Scanner.StartScanner(Reader);
    TComments Found;
    size_t Tokens = 0;
    for (; Scanner.Token() != tfEnd; Scanner.NextToken()) {
        Check(++Tokens <= Text.size()); // every token but the end consumes a byte
        if (Scanner.Token() == tfComment)
            Found.emplace_back(Scanner.GetTokenPos() - 1, Scanner.GetTokenIdent());
    }
    return Found;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size == 0)
        return 0;
    const size_t BlockSize = Data[0] % 8; // 0: one block
    const std::string Text(reinterpret_cast<const char*>(Data) + 1, Size - 1);

    auto Module = std::make_shared<TModule>(
        "/fuzz.todo", std::make_shared<TEditBuffer>("/fuzz.todo", Text, TDiskStamp{}));
    auto Updater = std::make_shared<TToDoFileUpdater>(Module->GetModuleIntf());
    TComments Parsed;
    int End = 0;
    Updater->ParseItems([&](std::string_view S, int Pos) {
        Check(Pos >= End && !S.empty());
        Check(static_cast<size_t>(Pos) + S.size() <= Text.size());
        Check(std::string_view(Text).substr(static_cast<size_t>(Pos), S.size()) == S);
        Check(Updater->IsOneComment(S));
        End = Pos + static_cast<int>(S.size());
        Parsed.emplace_back(Pos, S);
    });
    Check(Scan(Text, BlockSize) == Parsed);
    return 0;
}
