#include "host/source_updater.h"

#include "host/module.h"

#include <utility>

TSourceUpdater::TSourceUpdater(std::string FileName, TLanguage Language)
    : FFileName(std::move(FileName)), FLanguage(Language) {}

std::shared_ptr<TEditBuffer> TSourceUpdater::LoadedBuffer() const {
    auto Module = FindDocModule(FFileName);
    return Module ? Module->GetBuffer() : nullptr;
}

TStatus TSourceUpdater::NotOpen() const {
    return TStatus::Error(FFileName + " is not open in an editor");
}

TStatus TSourceUpdater::Edit(const std::function<TStatus(TEditBuffer&)>& Change) {
    auto Module = FindDocModule(FFileName);
    if (!Module)
        return NotOpen();
    TStatus S = Change(*Module->GetBuffer());
    if (S)
        Module->Modified(); // as an editor reports a changed buffer
    return S;
}

TStatus TSourceUpdater::DeleteText(int StartPos, int EndPos, int /*Section*/) {
    return Edit([&](TEditBuffer& B) { return B.Delete(StartPos, EndPos); });
}

TStatus TSourceUpdater::UpdateText(int StartPos, int EndPos, std::string_view Text,
                                   int /*Section*/) {
    return Edit([&](TEditBuffer& B) { return B.Replace(StartPos, EndPos, Text); });
}

TStatus TSourceUpdater::AddText(int Pos, std::string_view Text, int /*Section*/) {
    return Edit([&](TEditBuffer& B) { return B.Insert(Pos, Text); });
}

TStatus TSourceUpdater::MakeComment(std::string& Text) {
    return ::MakeComment(FLanguage, Text);
}

void TSourceUpdater::ParseItems(const TParseItemsProc& Proc) {
    if (auto Buffer = LoadedBuffer()) {
        Buffer->WithText([&](std::string_view Text) { EnumerateComments(FLanguage, Text, Proc); });
        return;
    }
    // Not loaded: a snapshot for this one enumeration, dropped right after, so that scanning
    // many files keeps no texts around.
    auto Text = TEditBuffer::ReadFile(FFileName, nullptr);
    if (Text)
        EnumerateComments(FLanguage, Text.Value(), Proc);
}

bool TSourceUpdater::HoldsText(int Pos, std::string_view Text) {
    auto Buffer = LoadedBuffer();
    return Buffer && Buffer->HoldsText(Pos, Text);
}

bool TSourceUpdater::IsOneComment(std::string_view Text) {
    int Count = 0;
    bool Whole = false;
    EnumerateComments(FLanguage, Text, [&](std::string_view Comment, int Offset) {
        ++Count;
        Whole = Offset == 0 && Comment.size() == Text.size();
    });
    return Count == 1 && Whole;
}
