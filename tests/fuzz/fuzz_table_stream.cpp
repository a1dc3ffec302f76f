// Feeds arbitrary bytes to the table options reader, then checks that whatever it made of them
// writes a stream that reads back to the same table, and that the table still renders.
#include "host/tools_api.h"
#include "table/component_stream.h"
#include "table/html_table.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

void Check(bool Condition) {
    if (!Condition)
        std::abort();
}

/// A list without items: the header row alone exercises every column template.
struct TNoItems : IOTAToDoServices {
    int AddManager(TRef<IOTAToDoManager>) override { return 0; }
    int AddNotifier(TRef<IOTANotifier>) override { return 0; }
    TRef<INTAToDoItem> GetItem(int) override { return nullptr; }
    int GetItemCount() override { return 0; }
    void RemoveManager(int) override {}
    void RemoveNotifier(int) override {}
    void UpdateList() override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    THTMLTable Table;
    (void)ReadComponentStream(Table, std::span(Data, Size));

    const std::vector<unsigned char> Written = WriteComponentStream(Table);
    THTMLTable Again;
    Check(ReadComponentStream(Again, Written).Ok());
    Check(Again == Table);
    Check(WriteComponentStream(Again) == Written);

    TNoItems Items;
    Table.GenerateTable(Items);
    Check(Table.Text().ends_with(L"</TABLE>\r\n"));
    return 0;
}
