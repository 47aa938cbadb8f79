#include "formats/nmea_port.h"

#include <ctime>
#include <thread>

#include "core/text_format.h"
#include "formats/nmea_sentences.h"
#include "formats/serial_port.h"

namespace ferolin {

namespace {

// The current UTC time "hhmmss.sss" and date "ddmmyy" from the system clock,
// whatever SOURCE_DATE_EPOCH says: the listener expects live time.
void AppendLiveTimeAndDate(TextBuffer& time, TextBuffer& date) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm utc{};
    gmtime_r(&now.tv_sec, &utc);
    AppendInt(time, utc.tm_hour, 2);
    AppendInt(time, utc.tm_min, 2);
    AppendInt(time, utc.tm_sec, 2);
    time.Append('.');
    AppendInt(time, now.tv_nsec / 1000000, 3);
    AppendInt(date, utc.tm_mday, 2);
    AppendInt(date, utc.tm_mon + 1, 2);
    AppendInt(date, (utc.tm_year + 1900) % 100, 2);
}

}  // namespace

int SendNmeaToPort(const std::string& path, const ExportEntry* entries, uint32_t count,
                   uint32_t options) {
    return SendNmeaToPortPaced(path, entries, count, options, std::chrono::milliseconds(1000));
}

int SendNmeaToPortPaced(const std::string& path, const ExportEntry* entries, uint32_t count,
                        uint32_t options, std::chrono::milliseconds pace) {
    SerialPort port;
    if (!port.Open(path)) return 1;
    port.SetLine8N1(options & kNmeaBaudMask);
    port.Purge();

    TextBuffer sentences, time, date;
    for (uint32_t i = 0; i < count; ++i) {
        sentences.clear();
        time.clear();
        date.clear();
        AppendLiveTimeAndDate(time, date);
        AppendNmeaSentences(sentences, entries[i], options, time.View(), date.View());
        // A stuck line costs the point its sentences, not the replay.
        if (!sentences.empty())
            port.Write(sentences.data(), sentences.size(), WriteTimeoutMs(sentences.size()));
        std::this_thread::sleep_for(pace);
    }
    port.Close();
    return 0;
}

}  // namespace ferolin
