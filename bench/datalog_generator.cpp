#include "datalog_generator.h"

#include <cmath>
#include <cstdio>
#include <memory>

namespace ferolin_tools {

namespace {

// Small deterministic generator, so that every run makes the same file.
struct Random {
    uint64_t state;
    double Next() {  // 0 <= x < 1
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state >> 11) * (1.0 / 9007199254740992.0);
    }
};

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

}  // namespace

bool WriteSampleDatalog(const std::string& path, uint32_t count, uint32_t seed) {
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) return false;
    FILE* f = file.get();
    std::fprintf(f, "BlueGPS Datalog\r\nDevice: BT-GPS logger\r\nAbout total Numbers: %u\r\n", count);
    std::fprintf(f, "=====================\r\n");

    Random random{seed * 2654435761ull + 1};
    double latitude = 45.188529, longitude = 5.724524, altitude = 212.0;
    double heading = 40.0;
    long long t = 0;  // seconds since 2007-06-16 07:30:00
    for (uint32_t i = 0; i < count; ++i) {
        // A walker pauses now and then, otherwise moves at 3 to 6 km/h.
        const bool pause = std::fmod(i / 60.0, 7.0) > 6.3;
        const double speed = pause ? random.Next() * 0.8 : 3.0 + 3.0 * random.Next();
        heading = std::fmod(heading + (random.Next() - 0.5) * 30.0 + 360.0, 360.0);
        const double metres = speed / 3.6 * 5.0;
        latitude += metres * std::cos(heading * M_PI / 180.0) / 111195.0;
        longitude += metres * std::sin(heading * M_PI / 180.0) /
                     (111195.0 * std::cos(latitude * M_PI / 180.0));
        altitude += (random.Next() - 0.35) * 2.0;

        const long long seconds = 7 * 3600 + 30 * 60 + t;
        const int day = 16 + static_cast<int>(seconds / 86400);
        const int hour = static_cast<int>(seconds / 3600 % 24);
        const int minute = static_cast<int>(seconds / 60 % 60);
        const int second = static_cast<int>(seconds % 60);
        const int satellites = 6 + static_cast<int>(random.Next() * 6);
        const double hdop = 0.8 + random.Next() * 1.2;
        std::fprintf(f,
                     "Record: %u\r\nEvent Type: Log\r\nYear: 2007\r\nMonth: 6\r\nDay: %d\r\n"
                     "Hour: %d\r\nMinute: %d\r\nSecond: %d.%03d\r\nLatitude: %.6f\r\n"
                     "Longitude: %.6f\r\nAltitude: %.1f\r\nPDOP: %.1f\r\nHDOP: %.1f\r\n"
                     "Satellite No: %d\r\nSpeed(KMs/hr): %.2f\r\nDirection: %.1f\r\n"
                     "=====================\r\n",
                     i + 1, day, hour, minute, second, static_cast<int>(random.Next() * 1000),
                     latitude, longitude, altitude, hdop * 1.4, hdop, satellites, speed, heading);
        t += 5;
    }
    return std::fflush(f) == 0 && !std::ferror(f);
}

}  // namespace ferolin_tools
