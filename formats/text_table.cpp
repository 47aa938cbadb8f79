#include "formats/text_table.h"

#include <cmath>

#include "core/output_file.h"
#include "core/statistics.h"

namespace ferolin {

void AppendCell(TextBuffer& out, ColumnValue value, const ExportEntry& e, int yearWidth) {
    const TrackPoint& p = *e.point;
    switch (value) {
        case ColumnValue::kRecord: AppendInt(out, p.record, 5); break;
        case ColumnValue::kDate:
            AppendInt(out, p.day, 2);
            out.Append('/');
            AppendInt(out, p.month, 2);
            out.Append('/');
            AppendInt(out, p.year, yearWidth);
            break;
        case ColumnValue::kTime:
            AppendHourMinute(out, p.hour, p.minute);
            AppendFixedPadded(out, p.seconds, 3, 6);
            break;
        case ColumnValue::kLatitude: AppendFixed(out, p.latitude, 6); break;
        case ColumnValue::kLongitude: AppendFixed(out, p.longitude, 6); break;
        case ColumnValue::kAltitude: AppendFixed(out, e.altitude, 6); break;
        case ColumnValue::kPdop: AppendFixed(out, p.pdop, 6); break;
        case ColumnValue::kHdop: AppendFixed(out, p.hdop, 6); break;
        case ColumnValue::kVdop: AppendFixed(out, p.vdop, 6); break;
        case ColumnValue::kSatellites: AppendInt(out, p.satellites); break;
        case ColumnValue::kSpeed: AppendFixed(out, p.speed, 6); break;
        case ColumnValue::kDirection: AppendFixed(out, p.direction, 6); break;
    }
}

int TableSensors(const SensorChannels* sensors, Sensor (&present)[kSensorCount]) {
    int n = 0;
    if (!sensors) return 0;
    for (const SensorInfo& info : kSensorTable)
        if (sensors->Has(info.sensor)) present[n++] = info.sensor;
    return n;
}

void AppendSensorCell(TextBuffer& out, float value) {
    if (!IsSensorValue(value)) return;
    const double v = value;
    if (v == std::round(v) && std::fabs(v) < 1e15)
        AppendInt(out, static_cast<int64_t>(v));
    else
        AppendFixed(out, v, v * 10 == std::round(v * 10) ? 1 : 2);
}

bool TablePartColumns(const SensorChannels* sensors) {
    const TrackDocument* document = sensors ? &sensors->document : nullptr;
    return document && (document->TrackCount() > 1 || document->SegmentCount() > 1);
}

void AppendStatisticsBlock(TextBuffer& out, const ExportEntry* entries, uint32_t count,
                           const TrackDocument* document) {
    TrackStatistics s;
    // The distance does not cross the gaps between segments.
    ComputeTrackStatistics(entries, count, s, nullptr, document);

    AppendInt(out, count);
    out.Append(" records\r\n");
    out.Append("Distance ");
    AppendFixed(out, s.distanceKm, 3);
    out.Append(" KMs\r\n");
    out.Append("Duration ");
    AppendDuration(out, s.durationSeconds);
    out.Append("\r\n");

    // Each line only when its value is not 0; a table without rows has none.
    if (count == 0) return;
    auto line = [&out](const char* label, double value, const char* unit, const TrackPoint* at) {
        if (value == 0) return;
        out.Append(label);
        AppendFixed(out, value, 2);
        out.Append(unit);
        if (at) {
            out.Append(", record ");
            AppendInt(out, at->record);
        }
        out.Append("\r\n");
    };
    const ExportEntry& fastest = entries[s.maxSpeedIndex];
    const ExportEntry& lowest = entries[s.minAltitudeIndex];
    const ExportEntry& highest = entries[s.maxAltitudeIndex];
    line("Max Speed ", fastest.point->speed, " KMs/hr", fastest.point);
    line("Min Altitude ", lowest.altitude, " Meters", lowest.point);
    line("Max Altitude ", highest.altitude, " Meters", highest.point);
    line("Average Speed ", s.averageSpeed, " KMs/hr", nullptr);
    line("Average Speed (without stop) ", s.averageSpeedNoStop, " KMs/hr", nullptr);
}

void AppendPartCells(TextBuffer& out, const SegmentWalker& walker, char separator) {
    AppendInt(out, walker.Track() + 1);
    out.Append(separator);
    AppendInt(out, walker.SegmentInTrack() + 1);
}

int WriteTextTable(const std::string& path, const ExportEntry* entries, uint32_t count,
                   uint32_t options, const SensorChannels* sensors) {
    if (options == 0) return 0;
    OutputFile file;
    if (!file.Create(path)) return 1;
    TextBuffer& out = file.Buffer();

    const TrackDocument* document = sensors ? &sensors->document : nullptr;
    out.Append(kGeneratedByLine);
    if (options & kOptionStatistics) AppendStatisticsBlock(out, entries, count, document);
    out.Append("\r\n");

    // Every selected cell, the header's too, is followed by a tab.
    for (const TableColumn& c : kTableColumns) {
        if (!(options & c.bit)) continue;
        out.Append(c.header);
        out.Append('\t');
    }
    Sensor present[kSensorCount];
    const int channels = TableSensors(PresentChannels(sensors), present);
    for (int s = 0; s < channels; ++s) {
        out.Append(kSensorTable[static_cast<int>(present[s])].name);
        out.Append('\t');
    }
    const bool parts = TablePartColumns(sensors);
    if (parts) {
        out.Append(kTrackHeader);
        out.Append('\t');
        out.Append(kSegmentHeader);
        out.Append('\t');
    }
    out.Append("\r\n");
    SegmentWalker walker(document);
    for (uint32_t i = 0; i < count; ++i) {
        for (const TableColumn& c : kTableColumns) {
            if (!(options & c.bit)) continue;
            AppendCell(out, c.value, entries[i], 4);
            out.Append('\t');
        }
        for (int s = 0; s < channels; ++s) {
            AppendSensorCell(out, sensors->Value(present[s], entries[i].index));
            out.Append('\t');
        }
        if (parts) {
            walker.Next(entries[i].index);
            AppendPartCells(out, walker, '\t');
            out.Append('\t');
        }
        out.Append("\r\n");
        file.Flush();
    }
    return file.Commit() ? 0 : 1;
}

}  // namespace ferolin
