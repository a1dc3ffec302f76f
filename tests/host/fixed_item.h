#pragma once

// A to-do item whose fields are fixed at construction, for tests that need items without a
// file behind them (another package's items, items handed to the HTML table).

#include "host/intatodo_item.h"

#include <string>

/// What a fixed item says.
struct TItemFields {
    TItemFields(std::string T = {}, std::string O = {}, std::string C = {},
                std::string K = "$Source", int P = 0, bool Done = false, std::string M = {})
        : Text(std::move(T)), Owner(std::move(O)), Category(std::move(C)), Kind(std::move(K)),
          Priority(P), Checked(Done), Module(std::move(M)) {}
    std::string Text, Owner, Category, Kind;
    int Priority;
    bool Checked;
    std::string Module;
};

/// Immutable once made, so any thread may read it; every change is refused silently.
struct TFixedItem : INTAToDoItem {
    const TItemFields Fields;
    explicit TFixedItem(TItemFields F) : Fields(std::move(F)) {}
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
    std::string GetKind() override { return Fields.Kind; }
    int GetData() override { return 0; }
    std::string GetOwner() override { return Fields.Owner; }
    bool IsValid() override { return true; }
    TStatus SetChecked(bool) override { return {}; }
    TStatus Show() override { return {}; }
};
