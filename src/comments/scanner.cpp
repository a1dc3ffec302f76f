#include "comments/scanner.h"

#include <algorithm>

namespace {

constexpr size_t BlockSize = 64 * 1024;

char UpperAscii(char C) {
    return (C >= 'a' && C <= 'z') ? static_cast<char>(C - 'a' + 'A') : C;
}

} // namespace

void TScanner::Reset() {
    FScanPtr = FTokenStart = FBuffer.data();
    FToken = 0;
    FTokenHash = 0;
}

void TScanner::StartScannerString(std::string_view S) {
    FSource = nullptr;
    FBuffer.assign(S.data(), S.size());
    Reset();
    ScannerStarted();
}

void TScanner::StartScanner(ISourceReader& Source) {
    FSource = &Source;
    FBuffer.clear();
    Reset();
    ReadSource();
    ScannerStarted();
}

void TScanner::StopScanner() {
    FSource = nullptr;
    FBuffer.clear();
    Reset();
}

void TScanner::SkipToPos(int Index) {
    const int Last = static_cast<int>(FBuffer.size()) + 1;
    Index = std::clamp(Index, 1, Last);
    FScanPtr = FTokenStart = FBuffer.data() + (Index - 1);
}

bool TScanner::TokenIdentEq(std::string_view Literal) const {
    std::string_view Ident = GetTokenIdent();
    if (Ident.size() != Literal.size())
        return false;
    for (size_t I = 0; I < Ident.size(); ++I)
        if (UpperAscii(Ident[I]) != UpperAscii(Literal[I]))
            return false;
    return true;
}

bool TScanner::ReadSource() {
    if (FSource == nullptr || !AtBufferEnd())
        return false;
    const size_t ScanOffset = static_cast<size_t>(FScanPtr - FBuffer.data());
    const size_t TokenOffset = static_cast<size_t>(FTokenStart - FBuffer.data());
    const size_t OldSize = FBuffer.size();
    FBuffer.resize(OldSize + BlockSize);
    const size_t Got = std::min(FSource->Read(FBuffer.data() + OldSize, BlockSize), BlockSize);
    FBuffer.resize(OldSize + Got);
    if (Got == 0)
        FSource = nullptr; // exhausted: later calls answer at once
    FScanPtr = FBuffer.data() + ScanOffset;
    FTokenStart = FBuffer.data() + TokenOffset;
    return Got != 0;
}
