#include "host/todo_intf.h"

#include <type_traits>

void (*RegisterCFileHandlerProc)(const TCFileHandlerClass* AClass) = nullptr;
void (*UnregisterCFileHandlerProc)(const TCFileHandlerClass* AClass) = nullptr;
const TCFileHandlerClass* (*GetCFileHandlerProc)(const std::string& FileName) = nullptr;
void (*RegisterToDoManagerCreatorProc)(TToDoManagerCreator* Creator) = nullptr;
void (*UnRegisterToDoManagerCreatorProc)(TToDoManagerCreator* Creator) = nullptr;
std::function<TRef<IToDoManager>(const std::string& FileName, const std::string& SourceFileName)>
    CreateSourceToDoManagerProc;
std::function<TRef<IToDoManager>(const std::string& FileName)> CreateProjectToDoManagerProc;

// The body is "KEYWORD[ n][ -oOwner][ -cCategory] : Text". The blank after each field ends its
// last word, the priority comes before the switches (a number after a switch would join the
// switch's value), and the text starts right after " : ", where the parser takes the first
// token after the colon as the text's start.
std::wstring FormatItem(const std::wstring& Text, const std::wstring& Owner,
                        const std::wstring& Category, unsigned char Priority, bool Checked) {
    std::wstring Body = Checked ? L"DONE" : L"TODO";
    // 0 means no priority, and anything above 5 reads back as 0 too.
    if (Priority >= 1 && Priority <= 5) {
        Body += L' ';
        Body += static_cast<wchar_t>(L'0' + Priority);
    }
    if (!Owner.empty())
        Body += L" -o" + Owner;
    if (!Category.empty())
        Body += L" -c" + Category;
    Body += L" : ";
    Body += Text;
    return Body;
}

namespace {

// Characters the comment tokenizer skips between tokens (controls and space, ( ) * / { }).
bool IsSkipped(wchar_t C) {
    return (C >= 1 && C <= L' ') || C == L'(' || C == L')' || C == L'*' || C == L'/' || C == L'{' ||
           C == L'}';
}

bool IsLineBreak(wchar_t C) {
    return C == L'\r' || C == L'\n';
}

// True when every code point is a Unicode scalar value, so that the UTF-8 written for it
// decodes back to the same characters.
bool IsValidUnicode(const std::wstring& S) {
    for (size_t I = 0; I < S.size(); ++I) {
        const auto C = static_cast<unsigned long>(static_cast<std::make_unsigned_t<wchar_t>>(S[I]));
        if (C >= 0xD800 && C <= 0xDBFF && sizeof(wchar_t) < 4 && I + 1 < S.size() &&
            S[I + 1] >= 0xDC00 && S[I + 1] <= 0xDFFF) {
            ++I;
            continue;
        }
        if ((C >= 0xD800 && C <= 0xDFFF) || C > 0x10FFFF)
            return false;
    }
    return true;
}

// A switch value reads from its "-o"/"-c" to the end of the last token before the next switch
// or the colon. Its last character is outside every token when it is a blank or control
// character, or when it ends a run of ( ) * / { } that follows one: those are skipped between
// tokens and only belong to a word they continue.
bool EndsOutsideToken(const std::wstring& S) {
    size_t I = S.size();
    while (I > 0 && IsSkipped(S[I - 1]) && S[I - 1] > L' ')
        --I;
    return I > 0 && S[I - 1] <= L' ';
}

TStatus CheckSwitchValue(const std::wstring& Value, const char* Name) {
    if (Value.empty())
        return {};
    const std::string N = Name;
    if (!IsValidUnicode(Value))
        return TStatus::Error(N + " holds a character that is not valid unicode");
    for (wchar_t C : Value) {
        if (C == L':' || C == L'-')
            return TStatus::Error(N + " must not contain ':' or '-'");
        if (IsLineBreak(C))
            return TStatus::Error(N + " must not contain a line break");
        if (C == L'\0')
            return TStatus::Error(N + " must not contain a nul character");
    }
    if (Value.front() <= L' ')
        return TStatus::Error(N + " must not start with a blank");
    if (EndsOutsideToken(Value))
        return TStatus::Error(N + " must not end with a blank or with ( ) * / { } after a blank");
    return {};
}

} // namespace

TStatus CheckPriority(long long Value) {
    if (Value < 0 || Value > 5)
        return TStatus::Error("Priority must be between 0 and 5.");
    return {};
}

TStatus CheckItemFields(const std::wstring& Text, const std::wstring& Owner,
                        const std::wstring& Category) {
    if (!IsValidUnicode(Text))
        return TStatus::Error("text holds a character that is not valid unicode");
    if (Text.find(L'\0') != std::wstring::npos)
        return TStatus::Error("text must not contain a nul character");
    if (!Text.empty() && IsSkipped(Text.front()))
        return TStatus::Error("text must not start with a blank or with ( ) * / { }");
    if (TStatus S = CheckSwitchValue(Owner, "owner"); !S)
        return S;
    return CheckSwitchValue(Category, "category");
}
