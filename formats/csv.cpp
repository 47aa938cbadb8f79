#include "formats/csv.h"

#include "core/output_file.h"
#include "formats/text_table.h"

namespace ferolin {

namespace {

char Separator(uint32_t options) {
    if (options & kOptionCsvTab) return '\t';
    if (options & kOptionCsvComma) return ',';
    return ';';
}

}  // namespace

int WriteCsvTable(const std::string& path, const ExportEntry* entries, uint32_t count,
                  uint32_t options, const SensorChannels* sensors) {
    if (options == 0) return 0;
    OutputFile file;
    if (!file.Create(path)) return 1;
    TextBuffer& out = file.Buffer();
    const char separator = Separator(options);

    out.Append(kGeneratedByLine);
    if (options & kOptionStatistics) AppendStatisticsBlock(out, entries, count);
    out.Append("\r\n");

    bool first = true;
    for (const TableColumn& c : kTableColumns) {
        if (!(options & c.bit)) continue;
        if (!first) out.Append(separator);
        first = false;
        out.Append(c.value == ColumnValue::kAltitude ? "Altitude: " : c.header);
    }
    Sensor present[kSensorCount];
    const int channels = TableSensors(PresentChannels(sensors), present);
    for (int s = 0; s < channels; ++s) {
        if (!first) out.Append(separator);
        first = false;
        out.Append(kSensorTable[static_cast<int>(present[s])].name);
    }
    out.Append("\r\n");
    for (uint32_t i = 0; i < count; ++i) {
        first = true;
        for (const TableColumn& c : kTableColumns) {
            if (!(options & c.bit)) continue;
            if (!first) out.Append(separator);
            first = false;
            AppendCell(out, c.value, entries[i], 0);  // year not padded
        }
        for (int s = 0; s < channels; ++s) {
            if (!first) out.Append(separator);
            first = false;
            AppendSensorCell(out, sensors->Value(present[s], entries[i].index));
        }
        out.Append("\r\n");
        file.Flush();
    }
    return file.Commit() ? 0 : 1;
}

}  // namespace ferolin
