#pragma once

// Items for the table tests: fixed to-do items and a to-do service that lists them, and a
// table set up far from the defaults.

#include "../host/fixed_item.h"

#include "host/errors.h"
#include "host/intatodo_item.h"
#include "host/tools_api.h"
#include "table/html_table.h"

#include <memory>
#include <string>
#include <vector>

using TFakeItem = TFixedItem;

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
    return {{"Fix <b> & \xC3\xA9t\xC3\xA9", "Ann", "UI", "$Source", 2, false, "/src/main.pas"},
            {"Line one\nline two", "", "Core", "$Source", 0, true, ""},
            {"Ship it", "Bo\xE2\x82\xAC", "", "$Source", 0x85, false, "/src/caf\xE9.c"}};
}

/// A table far from the defaults in every property.
inline void Vary(THTMLTable& T) {
    T.SetCaption(L"Sprint \u0416 \U0001F600");
    T.SetAlign(taCenter);
    T.SetBorderWidth(-3);
    T.SetCellSpacing(0);
    T.SetCellPadding(2147483647);
    T.SetWidth(0);
    T.SetBackgroundColor(static_cast<TColor>(0xFF00000F));
    for (int I = 0; I < THTMLTable::ColumnCount; ++I) {
        THTMLColumn& C = T.GetColumn(I);
        C.SetAlign(static_cast<TAlignment>((I + 1) % 3));
        C.SetVAlign(static_cast<TVAlignment>(I % 4));
        C.SetWrap(I % 2 == 0);
        C.SetHeight(I * 100 - 1);
        C.SetWidth(-I);
        C.SetTitle(I == 2 ? L"" : L"T\u00e9tel " + std::to_wstring(I));
        C.SetVisible(I % 3 != 0);
        THTMLFont F;
        F.Size = I - 2;
        F.SetFaceName(std::string(static_cast<size_t>(I * 13), static_cast<char>('a' + I)));
        F.Bold = I & 1;
        F.Italic = I & 2;
        F.Color = RGBColor(I, 255 - I, 7);
        C.SetFont(F);
    }
}
