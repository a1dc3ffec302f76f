#include "table/table_options.h"

#include "host/ini_file.h"
#include "host/project.h"
#include "table/component_stream.h"
#include "table/html_table.h"

#include <memory>
#include <vector>

namespace {

std::unique_ptr<THTMLTable> GTable; // main thread only

} // namespace

std::string PreviewFileName(std::string_view ProgramFolder) {
    return std::string(ProgramFolder) + PreviewFileBaseName;
}

TStatus ReadTableOptions(THTMLTable& Table, const TIniFile& Ini) {
    if (!Ini.ValueExists(TableSettingsSection, TableOptionsKey))
        return {};
    std::vector<unsigned char> Stream;
    if (!Ini.ReadBinaryStream(TableSettingsSection, TableOptionsKey, Stream))
        return TStatus::Error(std::string("the table options (") + TableOptionsKey +
                              ") are not hex data");
    if (Stream.empty())
        return {};
    return ReadComponentStream(Table, Stream);
}

void WriteTableOptions(const THTMLTable& Table, TIniFile& Ini) {
    Ini.WriteBinaryStream(TableSettingsSection, TableOptionsKey, WriteComponentStream(Table));
}

THTMLTable* Table() {
    return GTable.get();
}

THTMLTable& CreateTable() {
    if (!GTable)
        GTable = std::make_unique<THTMLTable>();
    return *GTable;
}

void FreeTable() {
    GTable.reset();
}

void CopyTableToClipboard(IOTAToDoServices& Items) {
    if (GTable && MainProjectGroup().ActiveProject())
        GTable->CopyToClipboard(Items);
}
