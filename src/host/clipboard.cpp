#include "host/clipboard.h"

#include "host/utf8.h"

#include <ostream>

namespace {

/// The clipboard of a process with no front-end clipboard: it holds the text in memory.
class TMemoryClipboard : public IClipboard {
public:
    void Clear() override { FText.clear(); }
    void SetAsWideText(const std::wstring& Text) override { FText = Text; }
    std::wstring AsWideText() const override { return FText; }

private:
    std::wstring FText;
};

// Main thread only, so neither needs a lock.
TMemoryClipboard GMemoryClipboard;
IClipboard* GClipboard = nullptr; // not owned

} // namespace

IClipboard& Clipboard() {
    return GClipboard ? *GClipboard : GMemoryClipboard;
}

void SetClipboard(IClipboard* Clipboard) {
    GClipboard = Clipboard;
}

void ClipboardSetAsWideText(const std::wstring& Text) {
    Clipboard().SetAsWideText(Text);
}

void TStreamClipboard::Clear() {
    FText.clear();
}

void TStreamClipboard::SetAsWideText(const std::wstring& Text) {
    const std::string Bytes = WideToUtf8(Text);
    FOut.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
    FOut.flush();
    FText = Text;
}

std::wstring TStreamClipboard::AsWideText() const {
    return FText;
}
