#pragma once

#include "host/itodo_updater.h"
#include "host/parse_thread.h"
#include "items/source_todo_item.h"
#include "items/source_todo_manager.h"

#include <atomic>
#include <memory>
#include <string>
#include <string_view>

/// An updater over a string in memory with a small comment syntax of its own: "{...}",
/// "(*...*)", "/*...*/" and "//..." up to the line break (delivered without it). Lets the item
/// and manager logic be tested without the host.
class TFakeUpdater : public IToDoUpdater {
public:
    explicit TFakeUpdater(std::string Initial = {}) : Text(std::move(Initial)) {}

    std::string Text;
    int Writes = 0; ///< successful DeleteText/AddText/UpdateText calls

    TStatus DeleteText(int StartPos, int EndPos, int /*Section*/) override {
        if (StartPos < 0 || EndPos < StartPos || EndPos > Size())
            return TStatus::Error("range outside the text");
        Text.erase(size_t(StartPos), size_t(EndPos - StartPos));
        ++Writes;
        return {};
    }
    TStatus UpdateText(int StartPos, int EndPos, std::string_view New, int Section) override {
        if (TStatus S = DeleteText(StartPos, EndPos, Section); !S)
            return S;
        return AddText(StartPos, New, Section);
    }
    TStatus AddText(int Pos, std::string_view New, int /*Section*/) override {
        if (Pos < 0 || Pos > Size())
            return TStatus::Error("position outside the text");
        Text.insert(size_t(Pos), New);
        ++Writes;
        return {};
    }
    TStatus MakeComment(std::string& Body) override {
        Body = "{ " + Body + " }";
        return {};
    }
    void ParseItems(const TParseItemsProc& Proc) override { Enumerate(Text, Proc); }
    bool HoldsText(int Pos, std::string_view S) override {
        return Pos >= 0 && size_t(Pos) + S.size() <= Text.size() &&
               std::string_view(Text).substr(size_t(Pos), S.size()) == S;
    }
    bool IsOneComment(std::string_view S) override {
        int Count = 0;
        bool Whole = false;
        Enumerate(S, [&](std::string_view C, int Pos) {
            ++Count;
            Whole = Pos == 0 && C.size() == S.size();
        });
        return Count == 1 && Whole;
    }

    static void Enumerate(std::string_view T, const TParseItemsProc& Proc) {
        size_t I = 0;
        while (I < T.size()) {
            const auto Block = [&](std::string_view Closer, size_t From) {
                const size_t J = T.find(Closer, From);
                if (J == std::string_view::npos)
                    return false; // left open: no comment
                Proc(T.substr(I, J + Closer.size() - I), int(I));
                I = J + Closer.size();
                return true;
            };
            const std::string_view Rest = T.substr(I);
            if (Rest[0] == '{') {
                if (!Block("}", I + 1))
                    return;
            } else if (Rest.starts_with("(*") || Rest.starts_with("/*")) {
                if (!Block(Rest[0] == '(' ? "*)" : "*/", I + 2))
                    return;
            } else if (Rest.starts_with("//")) {
                size_t J = T.find_first_of("\r\n", I);
                if (J == std::string_view::npos)
                    J = T.size();
                Proc(T.substr(I, J - I), int(I));
                I = J;
            } else {
                ++I;
            }
        }
    }

private:
    int Size() const { return int(Text.size()); }
};

/// Counts the times something told the parse thread that a file changed.
class TCountingParseThread : public IParseThread {
public:
    std::atomic<int> Count{0};
    void Modified() override { ++Count; }
};

/// Installs a counting parse thread for the lifetime of the object.
class TParseThreadScope {
public:
    TParseThreadScope() { SetParseThread(&Thread); }
    ~TParseThreadScope() { SetParseThread(nullptr); }
    TCountingParseThread Thread;
};

/// A manager over a fake updater holding Text, already parsed.
struct TFakeFile {
    explicit TFakeFile(std::string Text, std::string Name = "/virtual/unit.pas")
        : Updater(std::make_shared<TFakeUpdater>(std::move(Text))),
          Manager(TSourceToDoManager::Create(std::move(Name))) {
        Manager->SetUpdater(Updater);
        Manager->Parse();
    }
    std::shared_ptr<TSourceToDoItem> Item(int Index) const {
        return std::dynamic_pointer_cast<TSourceToDoItem>(Manager->GetItem(Index));
    }

    std::shared_ptr<TFakeUpdater> Updater;
    std::shared_ptr<TSourceToDoManager> Manager;
};
