#pragma once

#include "host/comment_syntax.h"
#include "host/itodo_updater.h"
#include "host/parse_thread.h"
#include "items/source_todo_manager.h"

#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

/// An updater over a string in memory that reads comments as Language does and counts its
/// successful writes, so items and managers can be tested without the host's modules.
struct TFakeUpdater : IToDoUpdater {
    TFakeUpdater(std::string T, TLanguage L) : Text(std::move(T)), Language(L) {}
    std::string Text;
    TLanguage Language;
    int Writes = 0;

    TStatus DeleteText(int From, int To, int) override {
        Text.erase(size_t(From), size_t(To - From));
        return ++Writes, TStatus();
    }
    TStatus AddText(int Pos, std::string_view S, int) override {
        Text.insert(size_t(Pos), S);
        return ++Writes, TStatus();
    }
    TStatus UpdateText(int, int, std::string_view, int) override { std::abort(); }
    TStatus MakeComment(std::string&) override { std::abort(); }
    void ParseItems(const TParseItemsProc& P) override { EnumerateComments(Language, Text, P); }
    bool HoldsText(int Pos, std::string_view S) override {
        return Text.compare(size_t(Pos), S.size(), S) == 0;
    }
    bool IsOneComment(std::string_view S) override {
        std::vector<std::string_view> All;
        EnumerateComments(Language, S, [&](std::string_view C, int) { All.push_back(C); });
        return All.size() == 1 && All[0].size() == S.size();
    }
};

/// Counts the wake-ups of the parse thread while installed.
struct TParseThreadScope : IParseThread {
    std::atomic<int> Count{0};
    TParseThreadScope() { SetParseThread(this); }
    ~TParseThreadScope() override { SetParseThread(nullptr); }
    void Modified() override { ++Count; }
};

/// A parsed manager over a fake updater holding Text; C syntax when Text holds a C block
/// comment, else Pascal.
struct TFakeFile {
    explicit TFakeFile(std::string Text, std::string Name = "/virtual/unit.pas")
        : Updater(std::make_shared<TFakeUpdater>(
              Text, Text.find("/*") != std::string::npos ? TLanguage::Cpp : TLanguage::Pascal)),
          Manager(TSourceToDoManager::Create(std::move(Name))) {
        Manager->SetUpdater(Updater);
        Manager->Parse();
    }
    std::shared_ptr<TSourceToDoItem> Item(int I) const {
        return std::dynamic_pointer_cast<TSourceToDoItem>(Manager->GetItem(I));
    }
    std::shared_ptr<TFakeUpdater> Updater;
    std::shared_ptr<TSourceToDoManager> Manager;
};
