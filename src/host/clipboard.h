#pragma once

#include <iosfwd>
#include <string>

/// The system clipboard as the core uses it: plain text only. Main thread only, like every
/// clipboard a front end can offer.
class IClipboard {
public:
    virtual ~IClipboard() = default;
    /// Empties the clipboard.
    virtual void Clear() = 0;
    /// Replaces the clipboard's content by Text.
    virtual void SetAsWideText(const std::wstring& Text) = 0;
    /// The clipboard's text; empty when it holds none.
    virtual std::wstring AsWideText() const = 0;
};

/// The clipboard a front end installed, or else a process-wide in-memory one. Main thread only.
IClipboard& Clipboard();

/// Installs a front end's clipboard (not owned; it must stay alive until replaced); nullptr
/// restores the in-memory one. Main thread only.
void SetClipboard(IClipboard* Clipboard);

/// Clipboard().SetAsWideText(Text). Main thread only.
void ClipboardSetAsWideText(const std::wstring& Text);

/// The command line's clipboard: what is copied is written to a stream (standard output) as
/// UTF-8, byte for byte, with no newline added, and flushed. It also remembers the last text
/// for AsWideText. Main thread only.
class TStreamClipboard : public IClipboard {
public:
    /// Out is not owned and must outlive the clipboard.
    explicit TStreamClipboard(std::ostream& Out) : FOut(Out) {}

    /// Forgets the remembered text; writes nothing.
    void Clear() override;
    void SetAsWideText(const std::wstring& Text) override;
    std::wstring AsWideText() const override;

private:
    std::ostream& FOut;
    std::wstring FText;
};
