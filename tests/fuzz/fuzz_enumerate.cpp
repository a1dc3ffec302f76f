// Feeds arbitrary bytes to the comment enumerators and to MakeComment. The first byte picks the
// language; the rest is the text.
#include "host/comment_syntax.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

constexpr int kLanguages = static_cast<int>(TLanguage::Dart); // Pascal .. Dart, None aside

void Check(bool Condition) {
    if (!Condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size == 0)
        return 0;
    const auto Language = static_cast<TLanguage>(1 + Data[0] % kLanguages);
    const std::string_view Text(reinterpret_cast<const char*>(Data + 1), Size - 1);

    size_t Next = 0;
    EnumerateComments(Language, Text, [&](std::string_view S, int Offset) {
        Check(Offset >= 0);
        const auto At = static_cast<size_t>(Offset);
        Check(At >= Next);
        Check(S.size() >= 2);
        Check(At + S.size() <= Text.size());
        Check(S == Text.substr(At, S.size()));
        Next = At + S.size();
    });

    // A slice of the input as a to-do body: when it is wrapped, the comment reads back whole,
    // also between two lines of code.
    std::string Body(Text.substr(0, Text.size() / 2));
    const std::string Original = Body;
    if (MakeComment(Language, Body).Ok()) {
        const std::string Code = "x\n" + Body + "\ny\n";
        int Count = 0;
        EnumerateComments(Language, Code, [&](std::string_view S, int Offset) {
            ++Count;
            Check(Offset == 2 && S == Body);
        });
        Check(Count == 1);
    } else {
        Check(Body == Original);
    }
    return 0;
}
