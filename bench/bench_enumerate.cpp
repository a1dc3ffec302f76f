// Throughput of the comment enumerators, alone and followed by the to-do parser on every
// comment, over generated source text that looks like real code: identifiers, numbers,
// strings, every comment form of the language at about one comment per ten lines, some to-do
// comments, and decoys (to-do words and comment openers inside strings, directives, near
// misses such as "TODO2:" or "// TODOS").
#include "comments/todo_comment.h"
#include "host/comment_syntax.h"

#include "bench_random.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

const char* const Words[] = {"count",  "index",  "buffer", "result", "value",  "item",  "node",
                             "parent", "offset", "length", "width",  "height", "name",  "owner",
                             "state",  "cache",  "reader", "writer", "stream", "token", "list",
                             "map",    "entry",  "total",  "first",  "last",   "next",  "prev",
                             "config", "handle", "source", "target"};

const char* const ToDoBodies[] = {"TODO 2 -oAnn -cUI : Fix the splitter",
                                  "TODO: handle the empty case",
                                  "DONE 1 -oBob: ship it",
                                  "todo -cCore: lower-case keyword",
                                  "TODO -oEve -cIO: flush before close",
                                  "TODO2: near miss, one word",
                                  "TODOS: near miss too",
                                  "TODO fix this without a colon",
                                  "NOTE TODO: not the first word",
                                  "FIXME: another kind of note"};

const char* const PlainComments[] = {"compute the total before the loop",
                                     "the caller owns the buffer",
                                     "keep in sync with the reader",
                                     "see the note above about offsets",
                                     "fast path for ASCII text",
                                     "returns -1 when nothing is found",
                                     "this is safe: the list is never empty here"};

const char* const StringTexts[] = {
    "hello, world",       "TODO: not a comment", "/* not a comment */",   "// not a comment either",
    "C:\\\\temp\\\\file", "value = %d\\n",       "{ TODO: in a string }", "a \\\"quoted\\\" word",
    "(* nor this *)"};

/// Writes code of one language, line by line.
class TCodeWriter {
public:
    TCodeWriter(TLanguage Language, uint32_t Seed) : FLanguage(Language), FRandom(Seed) {}

    /// Appends lines until Out holds at least Size bytes more.
    void Write(std::string& Out, size_t Size) {
        const size_t Stop = Out.size() + Size;
        while (Out.size() < Stop)
            Line(Out);
    }

private:
    TLanguage FLanguage;
    TRandom FRandom;

    bool Pascal() const { return FLanguage == TLanguage::Pascal; }

    const char* Word() { return FRandom.Pick(Words); }

    void Indent(std::string& Out) { Out.append(4 * (1 + FRandom.Below(3)), ' '); }

    void Line(std::string& Out) {
        const auto Kind = FRandom.Below(100);
        Indent(Out);
        if (Kind < 10)
            Comment(Out);
        else if (Kind < 14)
            Out += Pascal() ? "begin" : "{";
        else if (Kind < 18)
            Out += Pascal() ? "end;" : "}";
        else if (Kind < 20 && Pascal())
            Out += FRandom.Chance(50) ? "{$IFDEF DEBUG}" : "{$ENDIF}";
        else
            Statement(Out);
        if (FRandom.Chance(3)) {
            Out += ' ';
            LineComment(Out);
        }
        Out += '\n';
    }

    void LineComment(std::string& Out) {
        Out += FRandom.Chance(10) ? "/// " : "// ";
        Out += FRandom.Chance(30) ? FRandom.Pick(ToDoBodies) : FRandom.Pick(PlainComments);
    }

    void Comment(std::string& Out) {
        const char* Body =
            FRandom.Chance(30) ? FRandom.Pick(ToDoBodies) : FRandom.Pick(PlainComments);
        const auto Form = FRandom.Below(10);
        if (Form < 5) {
            LineComment(Out);
        } else if (Pascal()) {
            Out += Form < 8 ? "{ " : "(* ";
            Out += Body;
            if (Form == 9) {
                Out += "\n      and a second line of the same comment";
            }
            Out += Form < 8 ? " }" : " *)";
        } else {
            Out += Form == 9 ? "/**\n     * " : "/* ";
            Out += Body;
            Out += Form == 9 ? "\n     */" : " */";
        }
    }

    void Statement(std::string& Out) {
        const auto Kind = FRandom.Below(100);
        if (Kind < 15) {
            Out += Pascal() ? "if " : "if (";
            Expression(Out);
            Out += Pascal() ? " then" : ") {";
            return;
        }
        if (Kind < 25) {
            Out += Pascal() ? "Result := " : "return ";
        } else if (Kind < 40) {
            Out += Word(), Out += '(', Expression(Out), Out += ')';
            Out += ';';
            return;
        } else if (Pascal()) {
            Out += Word(), Out += " := ";
        } else if (Kind < 55) {
            Out += FLanguage == TLanguage::Go ? "var " : "auto ", Out += Word(), Out += " = ";
        } else {
            Out += Word(), Out += '.', Out += Word(), Out += " = ";
        }
        Expression(Out);
        Out += ';';
    }

    void Expression(std::string& Out) {
        const auto Terms = 1 + FRandom.Below(3);
        for (uint32_t K = 0; K < Terms; ++K) {
            if (K)
                Out += FRandom.Pick({" + ", " - ", " * ", " / ", " < ", " == ", " && ", " >= "});
            Term(Out);
        }
    }

    void Term(std::string& Out) {
        const auto Kind = FRandom.Below(100);
        if (Kind < 45) {
            Out += Word();
            if (FRandom.Chance(30))
                Out += '.', Out += Word();
        } else if (Kind < 60) {
            Out += std::to_string(FRandom.Below(100000));
        } else if (Kind < 85) {
            Out += Word();
            Out += '(';
            Out += Word();
            Out += ", ";
            Out += std::to_string(FRandom.Below(10));
            Out += ')';
        } else if (Kind < 96) {
            String(Out);
        } else {
            Special(Out);
        }
    }

    void String(std::string& Out) {
        const std::string Text = FRandom.Pick(StringTexts);
        if (Pascal()) {
            Out += '\'';
            for (char C : Text)
                Out += C == '\\'   ? std::string()
                       : C == '\'' ? std::string("''")
                                   : std::string(1, C);
            Out += "''s'";
            return;
        }
        const char Quote = (FLanguage == TLanguage::JavaScript ||
                            FLanguage == TLanguage::TypeScript || FLanguage == TLanguage::Dart) &&
                                   FRandom.Chance(50)
                               ? '\''
                               : '"';
        Out += Quote;
        Out += Text;
        Out += Quote;
    }

    /// A literal form peculiar to the language.
    void Special(std::string& Out) {
        switch (FLanguage) {
        case TLanguage::Pascal:
            Out += "#13#10'line (* no *)'#$0A";
            break;
        case TLanguage::C:
        case TLanguage::ObjectiveC:
            Out += FRandom.Chance(50) ? "'\"'" : "'\\''";
            break;
        case TLanguage::Cpp:
            Out += FRandom.Chance(50) ? "R\"x(raw /* no */ \" )x\"" : "1'000'000";
            break;
        case TLanguage::CSharp:
            Out += FRandom.Chance(50) ? "@\"C:\\dir\\\"" : "$\"{count} of {total /* c */}\"";
            break;
        case TLanguage::Java:
            Out += "'\\''";
            break;
        case TLanguage::JavaScript:
        case TLanguage::TypeScript:
            Out += FRandom.Chance(50) ? "`total ${count / 2} // no`" : "/[/*]+/g.test(name)";
            break;
        case TLanguage::Go:
            Out += "`raw // no`";
            break;
        case TLanguage::Rust:
            Out += FRandom.Chance(50) ? "r#\"raw \"/* no */\" \"#" : "'a'";
            break;
        case TLanguage::Swift:
            Out += "\"total \\(count /* c */) items\"";
            break;
        case TLanguage::Kotlin:
            Out += "\"total ${count} items\"";
            break;
        case TLanguage::Scala:
            Out += "s\"total ${count} items\"";
            break;
        case TLanguage::Dart:
            Out += "'total ${count} items'";
            break;
        case TLanguage::None:
            break;
        }
    }
};

constexpr size_t kLanguageBytes = 8u << 20; // per-language corpus
constexpr size_t kMixBytes = 56u << 20;     // the mix, at least 50 MB

const std::string& LanguageCorpus(TLanguage Language) {
    static std::map<TLanguage, std::string> Cache;
    auto& Text = Cache[Language];
    if (Text.empty())
        TCodeWriter(Language, 1000 + static_cast<uint32_t>(Language)).Write(Text, kLanguageBytes);
    return Text;
}

struct TFile {
    TLanguage Language;
    std::string Text;
};

/// Files of 4 to 64 KiB in random languages, Pascal and the C family about equally often.
const std::vector<TFile>& MixCorpus() {
    static std::vector<TFile> Files;
    if (Files.empty()) {
        TRandom Random(42);
        size_t Total = 0;
        while (Total < kMixBytes) {
            TFile F;
            F.Language = Random.Chance(50) ? TLanguage::Pascal
                                           : static_cast<TLanguage>(2 + Random.Below(13));
            TCodeWriter(F.Language, Random.Below(1u << 30))
                .Write(F.Text, 4096 + Random.Below(60 * 1024));
            Total += F.Text.size();
            Files.push_back(std::move(F));
        }
    }
    return Files;
}

/// What the benchmark does with each comment.
struct TCounter {
    bool Parse;
    int64_t Comments = 0;
    int64_t ToDos = 0;

    void operator()(std::string_view S, int Offset) {
        ++Comments;
        benchmark::DoNotOptimize(Offset);
        if (Parse && ParseToDoComment(S))
            ++ToDos;
    }
};

void Run(benchmark::State& State, TLanguage Language, bool Parse) {
    const std::string& Text = LanguageCorpus(Language);
    TCounter Counter{Parse};
    const TCommentProc Proc = [&Counter](std::string_view S, int Offset) { Counter(S, Offset); };
    for (auto _ : State)
        EnumerateComments(Language, Text, Proc);
    State.SetBytesProcessed(static_cast<int64_t>(State.iterations() * Text.size()));
    State.counters["comments"] =
        benchmark::Counter(static_cast<double>(Counter.Comments) / State.iterations());
    if (Parse)
        State.counters["todos"] =
            benchmark::Counter(static_cast<double>(Counter.ToDos) / State.iterations());
}

void RunMix(benchmark::State& State, bool Parse) {
    const auto& Files = MixCorpus();
    size_t Bytes = 0;
    for (const auto& F : Files)
        Bytes += F.Text.size();
    TCounter Counter{Parse};
    const TCommentProc Proc = [&Counter](std::string_view S, int Offset) { Counter(S, Offset); };
    for (auto _ : State)
        for (const auto& F : Files)
            EnumerateComments(F.Language, F.Text, Proc);
    State.SetBytesProcessed(static_cast<int64_t>(State.iterations() * Bytes));
    State.counters["comments"] =
        benchmark::Counter(static_cast<double>(Counter.Comments) / State.iterations());
}

void RegisterAll() {
    for (int L = 1; L <= static_cast<int>(TLanguage::Dart); ++L) {
        const auto Language = static_cast<TLanguage>(L);
        const std::string Name = LanguageName(Language);
        benchmark::RegisterBenchmark(("Enumerate/" + Name).c_str(), Run, Language, false)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("EnumerateParse/" + Name).c_str(), Run, Language, true)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("Enumerate/mix", RunMix, false)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("EnumerateParse/mix", RunMix, true)->Unit(benchmark::kMillisecond);
}

} // namespace

int main(int argc, char** argv) {
    RegisterAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
