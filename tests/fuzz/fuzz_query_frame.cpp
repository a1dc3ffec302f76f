// Feeds arbitrary bytes to the query frame decoders, as a window or a client reads them from a
// socket, and checks that a decoded frame encodes back to exactly the bytes it was read from
// (so no two byte strings mean the same frame) and that a frame's prefixes only ever ask for
// more bytes.
#include "host/window_query.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void Check(bool Condition) {
    if (!Condition)
        std::abort();
}

template <class TDecode, class TEncode>
void CheckDecoder(std::string_view Input, TDecode Decode, TEncode Encode) {
    std::size_t Used = 1;
    auto Decoded = Decode(Input, Used);
    if (!Decoded.Ok() || !Decoded.Value()) {
        Check(Used == 0);
        Check(Decoded.Ok() || !Decoded.Status().Message().empty());
        return;
    }
    Check(Used > 0 && Used <= Input.size() && Used <= QueryAnswerHeaderSize + MaxQueryData);
    Check(Encode(*Decoded.Value()) == Input.substr(0, Used));
    for (std::size_t N : {Used - 1, Used / 2, std::size_t(3)}) {
        if (N >= Used)
            continue;
        std::size_t PrefixUsed = 1;
        auto Prefix = Decode(Input.substr(0, N), PrefixUsed);
        Check(Prefix.Ok() && !Prefix.Value() && PrefixUsed == 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const std::string_view Input(reinterpret_cast<const char*>(Data), Size);
    CheckDecoder(Input, DecodeRequest, EncodeRequest);
    CheckDecoder(Input, DecodeAnswer, EncodeAnswer);
    return 0;
}
