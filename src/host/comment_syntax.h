#pragma once

#include "host/status.h"

#include <functional>
#include <string>
#include <string_view>

/// The comment syntax of a source file, decided from its extension.
enum class TLanguage {
    None,        ///< not a recognised source file
    Pascal,      ///< .pas .pp .p .inc .dpr .lpr .dpk
    C,           ///< .c .h
    Cpp,         ///< .cpp .cc .cxx .c++ .hpp .hh .hxx .h++ .ipp .inl .tpp
    ObjectiveC,  ///< .m .mm
    CSharp,      ///< .cs
    Java,        ///< .java
    JavaScript,  ///< .js .mjs .cjs .jsx
    TypeScript,  ///< .ts .mts .cts .tsx
    Go,          ///< .go
    Rust,        ///< .rs
    Swift,       ///< .swift
    Kotlin,      ///< .kt .kts
    Scala,       ///< .scala .sc
    Dart,        ///< .dart
};

/// The language of FileName from its extension, compared without regard to case; None when the
/// extension is not one of ours.
TLanguage LanguageOfFile(std::string_view FileName);

/// A short lower-case name of the language ("pascal", "c", "cpp", ...).
const char* LanguageName(TLanguage Language);

/// True for the C-family languages (everything but Pascal and None).
inline bool IsCFamily(TLanguage Language) {
    return Language != TLanguage::None && Language != TLanguage::Pascal;
}

/// Receives one comment: its bytes (opener through closer; a line comment without its line
/// break) and the 0-based byte offset of its first byte. The view points into the enumerated
/// text and is valid during the call.
using TCommentProc = std::function<void(std::string_view Comment, int Offset)>;

/// Calls Proc for every comment of Text in file order, exactly as the language reads it:
/// string and character literals (and the language's raw, verbatim and template forms) are
/// never comments, block comments nest where the language nests them, and a block comment left
/// open at the end of the text is no comment. Line comments are delivered without their line
/// break (neither LF nor the CR of CR LF), so that no rewrite of a comment can remove or join a
/// line. Any bytes are accepted: invalid UTF-8 and NUL bytes never stop the enumeration.
/// Text longer than INT_MAX bytes is not supported (offsets are int).
void EnumerateComments(TLanguage Language, std::string_view Text, const TCommentProc& Proc);

/// Wraps a to-do comment body into one complete comment of Language:
/// Pascal "{ body }", or "(* body *)" when the body holds "}";
/// C "/* body */"; the other C-family languages "// body" for a one-line body, else
/// "/* body */". A body that cannot be wrapped so that it reads back whole (it holds the
/// closers of every form that fits, or a nested opener where comments nest) is refused with a
/// message and Body is left unchanged.
TStatus MakeComment(TLanguage Language, std::string& Body);
