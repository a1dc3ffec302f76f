#include "cli_common.h"

#include "comments/cfile_handler.h"
#include "comments/trim_text.h"
#include "host/c_language.h"
#include "host/comment_syntax.h"
#include "host/intatodo_item.h"
#include "host/module.h"
#include "host/utf8.h"
#include "items/source_todo_item.h"
#include "items/source_todo_manager.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <malloc.h>
#include <set>
#include <tuple>

namespace fs = std::filesystem;

int Fail(TExitCode Code, const std::string& Message) {
    std::cerr << "todolist: " << Message << '\n';
    return Code;
}

void Warn(const std::string& Message) {
    std::cerr << "todolist: warning: " << Message << '\n';
}

void StartUnits() {
    // Locale-aware comparisons and wide-character conversions follow the user's environment.
    std::setlocale(LC_ALL, "");
    // Every file is read whole into a fresh buffer. Left alone, glibc maps and unmaps each large
    // one, and the page faults on every new page cost more than the reading itself; freed
    // buffers are reused instead, so memory stays bounded by the files in flight.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
    InitializeToDoUtils();
    InitializeCLanguage();
    std::atexit([] {
        FinalizeCLanguage();
        FinalizeToDoUtils();
    });
}

namespace {

std::optional<int> ParseNumber(std::string_view S) {
    int Value = 0;
    if (S.empty())
        return std::nullopt;
    auto [End, Err] = std::from_chars(S.data(), S.data() + S.size(), Value);
    if (Err != std::errc() || End != S.data() + S.size() || Value < 0)
        return std::nullopt;
    return Value;
}

} // namespace

TResult<TLocation> ParseLocation(const std::string& Text) {
    TLocation L;
    L.Text = Text;
    // Numbers are taken from the right, so a file name may itself hold ':' or '@'.
    if (auto At = Text.rfind('@'); At != std::string::npos && At > 0) {
        if (auto Offset = ParseNumber(std::string_view(Text).substr(At + 1))) {
            L.File = Text.substr(0, At);
            L.Offset = *Offset;
            return L;
        }
    }
    auto Colon = Text.rfind(':');
    if (Colon != std::string::npos && Colon > 0) {
        auto Last = ParseNumber(std::string_view(Text).substr(Colon + 1));
        if (Last) {
            auto Colon2 = Text.rfind(':', Colon - 1);
            if (Colon2 != std::string::npos && Colon2 > 0) {
                if (auto Line = ParseNumber(
                        std::string_view(Text).substr(Colon2 + 1, Colon - Colon2 - 1))) {
                    L.File = Text.substr(0, Colon2);
                    L.Line = *Line;
                    L.Column = *Last;
                    if (L.Line > 0 && L.Column > 0)
                        return L;
                }
            }
            L.File = Text.substr(0, Colon);
            L.Line = *Last;
            L.Column = 0;
            if (L.Line > 0)
                return L;
        }
    }
    return TStatus::Error("bad location '" + Text +
                          "': expected FILE@OFFSET or FILE:LINE[:COL] (1-based line and column)");
}

std::vector<std::pair<int, int>> LineColumns(std::string_view Text,
                                             const std::vector<int>& Offsets) {
    std::vector<std::pair<int, int>> Result;
    Result.reserve(Offsets.size());
    int Line = 1;
    size_t LineStart = 0;
    size_t Pos = 0;
    for (int Offset : Offsets) {
        size_t Target = std::min<size_t>(static_cast<size_t>(Offset), Text.size());
        while (Pos < Target) {
            const void* Nl = std::memchr(Text.data() + Pos, '\n', Target - Pos);
            if (!Nl) {
                Pos = Target;
                break;
            }
            Pos = static_cast<const char*>(Nl) - Text.data() + 1;
            ++Line;
            LineStart = Pos;
        }
        Result.emplace_back(Line, static_cast<int>(Target - LineStart) + 1);
    }
    return Result;
}

std::vector<TPlacedItem> PlacedItems(TSourceToDoManager& Manager, const TEditBuffer& Buffer) {
    std::vector<TPlacedItem> Placed;
    std::vector<int> Offsets;
    for (int I = 0; I < Manager.GetItemCount(); ++I) {
        auto Item = std::dynamic_pointer_cast<TSourceToDoItem>(Manager.GetItem(I));
        Offsets.push_back(Item->GetComment().Start);
        Placed.push_back({std::move(Item)});
    }
    std::vector<std::pair<int, int>> Where;
    Buffer.WithText([&](std::string_view Text) { Where = LineColumns(Text, Offsets); });
    for (size_t I = 0; I < Placed.size(); ++I)
        std::tie(Placed[I].Line, Placed[I].Column) = Where[I];
    return Placed;
}

std::string NotASourceFile(const std::string& File) {
    return File + ": not a recognised source file (by its extension)";
}

std::string ItemLine(const std::string& File, int Line, int Column, INTAToDoItem& Item) {
    std::string Out = File + ':' + std::to_string(Line) + ':' + std::to_string(Column) + ": " +
                      (Item.GetChecked() ? "DONE" : "TODO");
    if (int Priority = Item.GetPriority())
        Out += ' ' + std::to_string(Priority);
    if (auto Owner = Item.GetOwner(); !Owner.empty())
        Out += " -o" + Owner;
    if (auto Category = Item.GetCategory(); !Category.empty())
        Out += " -c" + Category;
    Out += ':';
    if (auto Text = WideToUtf8(TrimText(Utf8ToWide(Item.GetText()))); !Text.empty())
        Out += ' ' + Text;
    return Out;
}

namespace {

bool IsHiddenName(const fs::path& P) {
    auto Name = P.filename().string();
    return Name.size() > 1 && Name[0] == '.' && Name != "..";
}

void Walk(const fs::path& Dir, const std::function<void(const std::string&)>& Found, bool& Ok) {
    std::vector<fs::directory_entry> Entries;
    std::error_code Ec;
    fs::directory_iterator It(Dir, fs::directory_options::skip_permission_denied, Ec);
    if (Ec) {
        Warn("cannot read folder " + Dir.string() + ": " + Ec.message());
        Ok = false;
        return;
    }
    for (; It != fs::directory_iterator(); It.increment(Ec)) {
        if (Ec) {
            Warn("cannot read folder " + Dir.string() + ": " + Ec.message());
            Ok = false;
            break;
        }
        Entries.push_back(*It);
    }
    std::sort(Entries.begin(), Entries.end(), [](const auto& A, const auto& B) {
        return A.path().filename() < B.path().filename();
    });
    for (const auto& E : Entries) {
        std::error_code Ec2;
        // Folders reached through symbolic links are not followed, so a link cycle cannot loop.
        if (E.is_directory(Ec2) && !E.is_symlink(Ec2)) {
            if (!IsHiddenName(E.path()))
                Walk(E.path(), Found, Ok);
        } else if (E.is_regular_file(Ec2) && LanguageOfFile(E.path().string()) != TLanguage::None) {
            Found(E.path().string());
        }
    }
}

} // namespace

bool CollectFiles(const std::vector<std::string>& Paths,
                  const std::function<void(const std::string& File, bool Given)>& Found) {
    bool Ok = true;
    std::set<std::string> Seen;
    auto AddFile = [&](const std::string& F, bool Given) {
        if (Seen.insert(NormalizeFileName(F)).second)
            Found(F, Given);
    };
    for (const auto& P : Paths) {
        std::error_code Ec;
        auto Status = fs::status(P, Ec);
        if (Ec || !fs::exists(Status)) {
            Warn("cannot read " + P + ": no such file or folder");
            Ok = false;
        } else if (fs::is_directory(Status)) {
            Walk(
                P, [&](const std::string& F) { AddFile(F, false); }, Ok);
        } else {
            AddFile(P, true);
        }
    }
    return Ok;
}

std::string ShownFileName(const std::string& FileName) {
    if (FileName.empty())
        return FileName;
    // The commands never change folder: asked once, not once per listed row.
    static const std::filesystem::path Cwd = [] {
        std::error_code Ec;
        auto Path = std::filesystem::current_path(Ec);
        return Ec ? std::filesystem::path() : Path;
    }();
    if (Cwd.empty())
        return FileName;
    auto Rel = std::filesystem::path(FileName).lexically_relative(Cwd);
    if (Rel.empty() || *Rel.begin() == "..")
        return FileName;
    return Rel.string();
}

TResult<int> OffsetOfLine(std::string_view Text, int Line, int Column) {
    size_t Start = 0;
    for (int L = 1; L < Line; ++L) {
        size_t Lf = Text.find('\n', Start);
        if (Lf == std::string_view::npos)
            return TStatus::Error("the file has no line " + std::to_string(Line));
        Start = Lf + 1;
    }
    size_t End = Text.find('\n', Start);
    if (End == std::string_view::npos)
        End = Text.size();
    if (End > Start && Text[End - 1] == '\r')
        --End;
    const size_t Col = Column > 1 ? static_cast<size_t>(Column - 1) : 0;
    if (Start + Col > End)
        return TStatus::Error("line " + std::to_string(Line) + " has only " +
                              std::to_string(End - Start) + " bytes");
    return static_cast<int>(Start + Col);
}
