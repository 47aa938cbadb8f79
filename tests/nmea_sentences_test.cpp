#include <gtest/gtest.h>

#include <string>

#include "formats/nmea_sentences.h"
#include "reader_test_support.h"

namespace ferolin {
namespace {

TEST(NmeaSentences, AllFiveSentencesInTableOrder) {
    // 18.52 km/h is 10 knots; the entry's altitude is the one written.
    const TrackPoint p = ferolin_test::WithFix(
        ferolin_test::DatedPoint(-33.5, 2.25, 2007, 3, 7, 12, 34, 56.5f),
        {.altitude = 999, .speed = 18.52f, .direction = 90, .satellites = 8, .pdop = 1.5f,
         .hdop = 0.9f, .vdop = 1.2f});
    const ExportEntry e{&p, 123.5f};

    TextBuffer time, date, out;
    AppendNmeaPointTime(time, p);
    AppendNmeaPointDate(date, p);
    EXPECT_EQ(time.View(), "123456.500");
    EXPECT_EQ(date.View(), "070307");
    AppendNmeaSentences(out, e, 0xFFFFFFFF, time.View(), date.View());
    EXPECT_EQ(out.View(),
              "$GPGSA,A,3,,,,,,,,,,,,,1.5,0.9,1.2,*10\r\n"
              "$GPGGA,123456.500,3330.0000,S,00215.0000,E,1,08,0.9,123.5,M,,M,,*5C\r\n"
              "$GPRMC,123456.500,A,3330.0000,S,00215.0000,E,10.000000,90.000000,070307,,*12\r\n"
              "$GPGLL,3330.0000,S,00215.0000,E,123456.500,A*2E\r\n"
              "$GPVTG,90.000000,T,,M,10.000000,N,18.520000,K*66\r\n");

    out.clear();
    AppendNmeaSentences(out, e, kNmeaGll | kNmeaGsa, "T", "D");
    EXPECT_EQ(out.View().substr(0, 7), "$GPGSA,");
    EXPECT_NE(out.View().find("\r\n$GPGLL,"), std::string_view::npos);
    out.clear();
    AppendNmeaSentences(out, e, kNmeaBaudMask, "T", "D");
    EXPECT_TRUE(out.empty());
}

TEST(NmeaSentences, MinutesAndSecondsNeverCarry) {
    TrackPoint p{};
    p.latitude = 10.99999999;  // minutes print as 60.0000 after the same degrees
    p.hour = 23;
    p.minute = 59;
    p.seconds = 59.9996f;      // would print 60.000
    p.satellites = -3;
    const ExportEntry e{&p, 0};
    TextBuffer time, out;
    AppendNmeaPointTime(time, p);
    EXPECT_EQ(time.View(), "235959.999");
    AppendNmeaSentences(out, e, kNmeaGga, time.View(), "");
    EXPECT_EQ(out.View(), "$GPGGA,235959.999,1060.0000,N,00000.0000,E,1,-3,0.0,0.0,M,,M,,*53\r\n");
    TextBuffer date;  // two digits of the year
    AppendNmeaPointDate(date, ferolin_test::DatedPoint(0, 0, 1999, 1, 1));
    EXPECT_EQ(date.View(), "010199");
}

}  // namespace
}  // namespace ferolin
