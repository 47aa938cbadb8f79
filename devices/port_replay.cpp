#include "devices/port_replay.h"

#include <ctime>
#include <thread>

#include "devices/serial_port.h"

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

int ReplayOnPort(const std::string& path, uint32_t baud, uint32_t count,
                 std::chrono::milliseconds pace, const PointSentences& sentences) {
    SerialPort port;
    if (!port.Open(path)) return 1;
    port.SetLine8N1(baud);
    port.Purge();

    TextBuffer text, time, date;
    for (uint32_t i = 0; i < count; ++i) {
        text.clear();
        time.clear();
        date.clear();
        AppendLiveTimeAndDate(time, date);
        sentences(i, time.View(), date.View(), text);
        if (!text.empty()) port.Write(text.data(), text.size(), WriteTimeoutMs(text.size()));
        std::this_thread::sleep_for(pace);
    }
    port.Close();
    return 0;
}

}  // namespace ferolin
