#pragma once

#include "host/comment_syntax.h"
#include "host/edit_buffer.h"
#include "host/itodo_updater.h"

#include <functional>
#include <memory>
#include <string>

/// The host's updater of one source file, Pascal or C-family. It works on the edit buffer of the
/// file's loaded module, which it looks up by name on every call: an updater made before the
/// file was opened then edits the editor's buffer, and one whose module was closed stops
/// editing. Without a loaded module ParseItems reads the file from disk into a snapshot that
/// lives only for that call, and the edits fail. Thread-safe as far as the buffer is.
class TSourceUpdater : public IToDoUpdater {
public:
    TSourceUpdater(std::string FileName, TLanguage Language);

    const std::string& GetFileName() const { return FFileName; }
    TLanguage GetLanguage() const { return FLanguage; }

    /// The edits fail with "FILE is not open in an editor" when no module is loaded, and for
    /// a range outside the text; a successful edit marks the buffer modified and raises the
    /// module's modification (EvModuleModified). Section is ignored.
    TStatus DeleteText(int StartPos, int EndPos, int Section) override;
    TStatus UpdateText(int StartPos, int EndPos, std::string_view Text, int Section) override;
    TStatus AddText(int Pos, std::string_view Text, int Section) override;
    TStatus MakeComment(std::string& Text) override;
    /// Proc runs while the buffer's lock is held: it must not call back into this updater or
    /// the buffer. A file that cannot be read yields no comments.
    void ParseItems(const TParseItemsProc& Proc) override;
    /// False when no module is loaded.
    bool HoldsText(int Pos, std::string_view Text) override;
    bool IsOneComment(std::string_view Text) override;

private:
    /// The buffer of the loaded module of FFileName, or null.
    std::shared_ptr<TEditBuffer> LoadedBuffer() const;
    TStatus NotOpen() const;
    /// Runs Change on the loaded module's buffer and reports a successful change as the
    /// module's modification.
    TStatus Edit(const std::function<TStatus(TEditBuffer&)>& Change);

    std::string FFileName;
    TLanguage FLanguage;
};
