#include "convert/device_rows.h"

#include "devices/logger.h"
#include "devices/port_replay.h"
#include "formats/nmea_sentences.h"

namespace ferolin {

ReaderFn ReaderOf(const FormatEntry& row) {
    if (row.device == DeviceRow::kLoggerDownload) return WithoutSensors<DownloadLoggerTrack>;
    return row.reader;
}

WriterFn WriterOf(const FormatEntry& row) {
    if (row.device == DeviceRow::kNmeaReplay) return WithoutSensors<SendNmeaToPort>;
    return row.writer;
}

int SendNmeaToPort(const std::string& path, const ExportEntry* entries, uint32_t count,
                   uint32_t options) {
    return SendNmeaToPortPaced(path, entries, count, options, std::chrono::milliseconds(1000));
}

int SendNmeaToPortPaced(const std::string& path, const ExportEntry* entries, uint32_t count,
                        uint32_t options, std::chrono::milliseconds pace) {
    return ReplayOnPort(path, options & kNmeaBaudMask, count, pace,
                        [&](uint32_t i, std::string_view time, std::string_view date,
                            TextBuffer& out) {
                            AppendNmeaSentences(out, entries[i], options, time, date);
                        });
}

}  // namespace ferolin
