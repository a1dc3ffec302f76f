#pragma once

// Items for the table tests: fixed to-do items and a to-do service that lists them.

#include "host/errors.h"
#include "host/intatodo_item.h"
#include "host/tools_api.h"

#include <memory>
#include <string>
#include <vector>

/// What a fake item says.
struct TItemFields {
    std::string Text, Owner, Category, Module;
    int Priority = 0;
    bool Checked = false;
};

struct TFakeItem : INTAToDoItem {
    const TItemFields Fields;
    explicit TFakeItem(TItemFields F) : Fields(std::move(F)) {}
    bool CanDelete() override { return false; }
    bool CanEdit() override { return false; }
    bool CanShow() override { return false; }
    TStatus Delete() override { return {}; }
    void DrawImage(TCanvas&, const TRect&) override {}
    void DoubleClicked() override {}
    bool Edit() override { return false; }
    std::string GetText() override { return Fields.Text; }
    int GetPriority() override { return Fields.Priority; }
    std::string GetCategory() override { return Fields.Category; }
    bool GetChecked() override { return Fields.Checked; }
    std::string GetModuleName() override { return Fields.Module; }
    std::string GetKind() override { return "$Source"; }
    int GetData() override { return 0; }
    std::string GetOwner() override { return Fields.Owner; }
    bool IsValid() override { return true; }
    TStatus SetChecked(bool) override { return {}; }
    TStatus Show() override { return {}; }
};

/// A to-do service that lists fixed items; the rest does nothing.
struct TFakeItems : IOTAToDoServices {
    std::vector<TRef<INTAToDoItem>> Items;

    TFakeItems() = default;
    explicit TFakeItems(const std::vector<TItemFields>& Fields) {
        for (const auto& F : Fields)
            Items.push_back(std::make_shared<TFakeItem>(F));
    }
    int AddManager(TRef<IOTAToDoManager>) override { return 0; }
    int AddNotifier(TRef<IOTANotifier>) override { return 0; }
    TRef<INTAToDoItem> GetItem(int I) override {
        if (I < 0 || I >= int(Items.size()))
            throw EListError(I);
        return Items[size_t(I)];
    }
    int GetItemCount() override { return int(Items.size()); }
    void RemoveManager(int) override {}
    void RemoveNotifier(int) override {}
    void UpdateList() override {}
};

/// Three items that exercise every cell rule: a "<" and non-ASCII text, priority 0 ("-"), an
/// empty owner ("-"), a checked item, a module name that is not UTF-8.
inline std::vector<TItemFields> SampleItems() {
    return {{"Fix <b> & \xC3\xA9t\xC3\xA9", "Ann", "UI", "/src/main.pas", 2, false},
            {"Line one\nline two", "", "Core", "", 0, true},
            {"Ship it", "Bo\xE2\x82\xAC", "", "/src/caf\xE9.c", 0x85, false}};
}
