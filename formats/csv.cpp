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

    const TrackDocument* document = sensors ? &sensors->document : nullptr;
    out.Append(kGeneratedByLine);
    if (options & kOptionStatistics) AppendStatisticsBlock(out, entries, count, document);
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
    // The track and segment columns after all others.
    const bool parts = TablePartColumns(sensors);
    if (parts) {
        if (!first) out.Append(separator);
        out.Append(kTrackHeader);
        out.Append(separator);
        out.Append(kSegmentHeader);
    }
    out.Append("\r\n");
    SegmentWalker walker(document);
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
        if (parts) {
            walker.Next(entries[i].index);
            if (!first) out.Append(separator);
            AppendPartCells(out, walker, separator);
        }
        out.Append("\r\n");
        file.Flush();
    }
    return file.Commit() ? 0 : 1;
}

}  // namespace ferolin
