// Any bytes go through the comment tokenizer and the to-do parser without reading out of
// bounds, without looping, and with every range the parser reports inside the comment.

#include "comments/comment_scanner.h"
#include "comments/todo_comment.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void Check(bool Condition) {
    if (!Condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const std::string_view S(reinterpret_cast<const char*>(Data), Size);

    TCommentScanner Scanner;
    Scanner.StartScannerString(S);
    // Every token but the end token consumes at least one byte, so Size + 1 tokens suffice.
    size_t Tokens = 0;
    int LastPos = 0;
    while (Scanner.Token() != tkEnd) {
        Check(++Tokens <= Size);
        const int Pos = Scanner.GetTokenPos();
        Check(Pos > LastPos && Pos >= 1);
        Check(Pos + static_cast<int>(Scanner.GetTokenIdent().size()) <= static_cast<int>(Size) + 1);
        LastPos = Pos;
        Scanner.NextToken();
    }
    Check(Scanner.GetTokenPos() <= static_cast<int>(Size) + 1);
    Check(Scanner.GetTokenIdent().empty());

    if (const auto Fields = ParseToDoComment(S)) {
        const int Last = static_cast<int>(Size) + 1;
        for (TRange R :
             {Fields->Keyword, Fields->Text, Fields->Owner, Fields->Category, Fields->Priority}) {
            Check(R.Start <= R.End);
            Check(R == TRange{} || (R.Start >= 1 && R.End <= Last));
            for (int Skip : {0, 2})
                Check(RangeText(S, R, Skip).size() <= Size);
        }
        Check(RangeText(S, Fields->Keyword).size() == 4);
        (void)PriorityValue(RangeText(S, Fields->Priority));
    }
    return 0;
}
