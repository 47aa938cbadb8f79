#include <gtest/gtest.h>

#include <cstring>

#include "core/point_buffer.h"
#include "core/track_point.h"
#include "reader_test_support.h"

using namespace ferolin;

namespace {
TrackPoint Dated(int y, int mo, int d, int h, int mi, float s) {
    return ferolin_test::DatedPoint(0, 0, y, mo, d, h, mi, s);
}
}  // namespace

TEST(TrackPoint, RecordBytesSitAtTheirOffsets) {
    TrackPoint p{};
    p.record = 0x01020304;
    p.year = 2007;
    p.latitude = -45.5;
    p.longitude = -3.25;
    p.satellites = 9;
    unsigned char bytes[55];
    std::memcpy(bytes, &p, sizeof bytes);
    EXPECT_EQ(bytes[0], 0x04);  // little-endian
    EXPECT_EQ(bytes[3], 0x01);
    EXPECT_EQ(bytes[6] | (bytes[7] << 8), 2007);
    double latitude;
    std::memcpy(&latitude, bytes + 14, 8);
    EXPECT_EQ(latitude, -45.5);
    EXPECT_EQ(bytes[54], 9);
}

TEST(TrackPoint, AllocationIsZeroFilled) {
    TrackPointArray points = AllocateTrackPoints(1000);
    ASSERT_TRUE(points);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(points.get());
    for (size_t i = 0; i < 1000 * sizeof(TrackPoint); ++i) ASSERT_EQ(bytes[i], 0) << i;
    EXPECT_FALSE(AllocateTrackPoints(SIZE_MAX / 8));  // overflowing size fails, no crash
}

// Points added across several growths, within a limit and beyond it (an
// input that grew while read): each new point zeroed, the old ones kept, and
// the array handed over holds exactly the points asked for.
TEST(PointBuffer, GrowsKeepsAndHandsOverExactly) {
    for (const std::size_t limit : {std::size_t{0}, std::size_t{300}, PointBuffer::kMaxPoints}) {
        SCOPED_TRACE(limit);
        PointBuffer buffer(limit);
        buffer.Expect(100);
        for (int i = 0; i < 1500; ++i) {
            TrackPoint* p = buffer.Add();
            ASSERT_TRUE(p);
            ASSERT_EQ(+p->record, 0);
            ASSERT_EQ(+p->satellites, 0);
            p->record = i + 1;
            p->satellites = 7;
        }
        ASSERT_TRUE(buffer.Resize(1600));  // zeroed slots up to 1600
        EXPECT_EQ(+buffer[1599].record, 0);
        EXPECT_EQ(+buffer[1599].satellites, 0);
        EXPECT_EQ(buffer.size(), 1600u);
        TrackPointArray array = buffer.Release(1499);
        ASSERT_TRUE(array);
        for (int i = 0; i < 1499; ++i) ASSERT_EQ(+array[i].record, i + 1);
        EXPECT_EQ(buffer.size(), 0u);
        EXPECT_FALSE(buffer.Release(0));
    }
}

TEST(TrackPointTime, IsUtcCalendarArithmetic) {
    EXPECT_EQ(TrackPointTime(Dated(1970, 1, 1, 0, 0, 0)), 0);
    EXPECT_EQ(TrackPointTime(Dated(2007, 3, 9, 10, 0, 0)), 1173434400);
    // Across a European daylight-saving change the difference is exact.
    EXPECT_EQ(TrackPointTime(Dated(2007, 3, 25, 3, 0, 0)) -
                  TrackPointTime(Dated(2007, 3, 25, 0, 0, 0)),
              3 * 3600);
    EXPECT_EQ(TrackPointTime(Dated(2000, 2, 29, 12, 0, 0)) -
                  TrackPointTime(Dated(2000, 2, 28, 12, 0, 0)),
              86400);
    EXPECT_EQ(TrackPointTime(Dated(2038, 1, 19, 3, 14, 8)), 2147483648LL);
}

TEST(TrackPointTime, DropsFractionsAndRejectsUndatedAndEarlyTimes) {
    EXPECT_EQ(TrackPointTime(Dated(2007, 1, 1, 12, 0, 59.9f)),
              TrackPointTime(Dated(2007, 1, 1, 12, 0, 59.0f)));
    EXPECT_EQ(TrackPointTime(TrackPoint{}), -1);
    EXPECT_EQ(TrackPointTime(Dated(2007, 0, 5, 1, 0, 0)), -1);  // no month: undated
    EXPECT_EQ(TrackPointTime(Dated(1969, 12, 31, 23, 59, 59)), -1);
    EXPECT_EQ(TrackPointTime(Dated(2007, 1, 1, 0, 0, std::numeric_limits<float>::quiet_NaN())),
              TrackPointTime(Dated(2007, 1, 1, 0, 0, 0)));
}

TEST(TrackPointTime, OutOfRangeFieldsCarryOver) {
    EXPECT_EQ(CalendarTime(2006, 13, 1, 0, 0, 0), CalendarTime(2007, 1, 1, 0, 0, 0));
    EXPECT_EQ(CalendarTime(2007, 3, 0, 0, 0, 0), CalendarTime(2007, 2, 28, 0, 0, 0));
    EXPECT_EQ(CalendarTime(2007, 1, 1, 25, 0, 0), CalendarTime(2007, 1, 2, 1, 0, 0));
    EXPECT_EQ(CalendarTime(2007, -1, 1, 0, 0, 0), CalendarTime(2006, 11, 1, 0, 0, 0));
}
