#pragma once

#include "host/iinterface.h"
#include "host/status.h"

#include <functional>
#include <string>
#include <string_view>

/// Receives one comment: its whole text (opener through closer) and the 0-based byte offset of
/// its first character in the file. The view is valid only during the call.
using TParseItemsProc = std::function<void(std::string_view S, int Pos)>;

/// Reads and edits the text of one file. Offsets are 0-based byte offsets into the file as the
/// updater holds it now; Section is the host's source-section value and is always 1 here.
class IToDoUpdater : public virtual IInterface {
public:
    /// Removes the bytes from StartPos up to, not including, EndPos.
    virtual TStatus DeleteText(int StartPos, int EndPos, int Section) = 0;
    /// Replaces the bytes from StartPos up to EndPos by Text.
    virtual TStatus UpdateText(int StartPos, int EndPos, std::string_view Text, int Section) = 0;
    /// Inserts Text before the byte at Pos (Pos may equal the text length).
    virtual TStatus AddText(int Pos, std::string_view Text, int Section) = 0;
    /// Turns a to-do comment body into one complete comment of the file's syntax. A body that
    /// cannot be wrapped without breaking the file is refused and Text is left unchanged.
    virtual TStatus MakeComment(std::string& Text) = 0;
    /// Calls Proc once for every comment of the file, in file order. Strings and character
    /// literals are never comments; a comment left open at the end of the file is none.
    virtual void ParseItems(const TParseItemsProc& Proc) = 0;
    /// True when the bytes at Pos are exactly Text. Rewrites use it to refuse an item whose
    /// comment changed since it was parsed.
    virtual bool HoldsText(int Pos, std::string_view Text) = 0;
    /// True when Text, standing alone, reads as exactly one whole comment of the file's syntax
    /// (its closer is the last byte, nothing opens a nested comment that stays open, a line
    /// comment holds no line break). Rewrites use it to refuse a value that would break the file.
    virtual bool IsOneComment(std::string_view Text) = 0;
};
