#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "core/selection.h"
#include "reader_test_support.h"

using namespace ferolin;

namespace {

// Whether a point stays on the export list under the criteria.
bool PointPasses(const TrackPoint& point, const SelectionCriteria& criteria) {
    return BuildExportList(&point, 1, criteria).size() == 1;
}

TrackPoint At(int h, int mi, float s, int record = 1) {
    return ferolin_test::WithFix(ferolin_test::DatedPoint(0, 0, 2007, 1, 1, h, mi, s),
                                 {.record = record});
}

TimeBound Bound(int h, int mi) { return TimeBound{2007, 1, 1, static_cast<int8_t>(h), static_cast<int8_t>(mi), 0}; }

std::vector<float> Altitudes(const std::vector<ExportEntry>& list) {
    std::vector<float> out;
    for (const auto& e : list) out.push_back(e.altitude);
    return out;
}

}  // namespace

TEST(Selection, TimeBoundsAreInclusiveAtMinutePrecision) {
    SelectionCriteria both, start, stop;
    both.flags = kSelectStart | kSelectStop;
    both.start = start.start = Bound(10, 0);
    both.stop = stop.stop = Bound(10, 30);
    start.flags = kSelectStart;
    stop.flags = kSelectStop;
    const struct {
        TrackPoint point;
        const SelectionCriteria& criteria;
        bool passes;
    } rows[] = {
        {At(10, 0, 0), both, true},       {At(9, 59, 59.9f), both, false},
        {At(10, 30, 0), both, true},      {At(10, 30, 0.9f), both, true},  // fractions take no part
        {At(10, 30, 1), both, false},
        // Undated points fail a start bound but pass a stop bound.
        {TrackPoint{}, start, false},     {TrackPoint{}, stop, true},
    };
    for (const auto& row : rows)
        EXPECT_EQ(PointPasses(row.point, row.criteria), row.passes)
            << ferolin_test::TimeOf(row.point) << " flags " << row.criteria.flags;
}

TEST(Selection, RulesCompareRawValuesAndCombineWithOr) {
    const ExclusionRule lowAltitude{kDataAltitude, kCompareLess, 0.0};
    const ExclusionRule fast{kDataSpeed, kCompareGreater, 100.0};
    SelectionCriteria c;
    SetCriteriaRules(c, {&lowAltitude, &fast}, 0xFFFF);
    c.flags |= kSelectGeoid;
    c.geoidHeight = 45;

    TrackPoint points[3] = {};
    points[0].altitude = 30;   // passes: the rule sees 30 m, not 30 - 45
    points[1].altitude = -1;   // excluded by the altitude rule
    points[2].altitude = 500;
    points[2].speed = 120;     // excluded by the speed rule
    const auto list = BuildExportList(points, 3, c);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].point, &points[0]);
    EXPECT_FLOAT_EQ(list[0].altitude, -15.0f);
}

TEST(Selection, RulesOutsideTheFieldMaskAreIgnored) {
    const ExclusionRule record12{kDataRecord, kCompareEqual, 12.0};
    const ExclusionRule hdop{kDataHdop, kCompareGreater, 2.0};
    TrackPoint points[2] = {At(1, 0, 0, 12), At(1, 0, 0, 13)};
    points[1].hdop = 5;

    SelectionCriteria all;
    SetCriteriaRules(all, {&record12, &hdop}, 0xFFFF);
    EXPECT_EQ(BuildExportList(points, 2, all).size(), 0u);

    SelectionCriteria positionOnly;
    SetCriteriaRules(positionOnly, {&record12, &hdop}, 0x000E);
    EXPECT_EQ(positionOnly.ruleCount, 2u);
    EXPECT_EQ(positionOnly.rules[0], nullptr);
    EXPECT_EQ(BuildExportList(points, 2, positionOnly).size(), 2u);
}

TEST(Selection, CompareRuleUsesTheLowByteOfTheComparator) {
    EXPECT_FALSE(CompareRule(5, kCompareEqual, 5));
    EXPECT_TRUE(CompareRule(5, kCompareEqual, 6));
    EXPECT_FALSE(CompareRule(4, kCompareLess, 5));
    EXPECT_TRUE(CompareRule(5, kCompareLess, 5));
    EXPECT_FALSE(CompareRule(6, kCompareGreater, 5));
    EXPECT_TRUE(CompareRule(5, kCompareGreater, 5));
    EXPECT_FALSE(CompareRule(5, 0x100 | kCompareEqual, 5));
    EXPECT_TRUE(CompareRule(5, 3, 5));  // unknown code excludes nothing
}

TEST(Selection, EveryDataTypeReadsItsField) {
    TrackPoint p{};
    p.satellites = 7; p.latitude = 48.1; p.longitude = -3.25; p.altitude = 12.5f;
    p.pdop = 1.5f; p.hdop = 0.5f; p.vdop = 2.5f; p.speed = 4.5f; p.direction = 90; p.record = 42;
    const std::pair<uint32_t, double> expected[] = {
        {kDataSatellites, 7}, {kDataLatitude, 48.1}, {kDataLongitude, -3.25},
        {kDataAltitude, 12.5}, {kDataPdop, 1.5}, {kDataHdop, 0.5}, {kDataVdop, 2.5},
        {kDataSpeed, 4.5}, {kDataDirection, 90}, {kDataRecord, 42}};
    for (const auto& [type, value] : expected) {
        double v = -1;
        ASSERT_TRUE(PointValue(p, type, v)) << type;
        EXPECT_EQ(v, value) << type;
    }
    double v;
    EXPECT_FALSE(PointValue(p, 0x200, v));
    // A rule of an unknown data type counts as met: the point stays.
    const ExclusionRule unknown{0x200, kCompareEqual, 0.0};
    SelectionCriteria c;
    SetCriteriaRules(c, {&unknown}, 0xFFFF);
    EXPECT_TRUE(PointPasses(p, c));
}

TEST(Selection, SmoothingAveragesAWindowCutAtTheEnds) {
    TrackPoint points[3] = {};
    points[0].altitude = 10;
    points[1].altitude = 20;
    points[2].altitude = 60;
    SelectionCriteria c;
    c.flags = kSelectSmooth;
    c.smoothingWidth = 1;
    EXPECT_EQ(Altitudes(BuildExportList(points, 3, c)), (std::vector<float>{15, 30, 40}));
    c.smoothingWidth = 50;
    EXPECT_EQ(Altitudes(BuildExportList(points, 3, c)), (std::vector<float>{30, 30, 30}));
    c.smoothingWidth = 0;
    EXPECT_EQ(Altitudes(BuildExportList(points, 3, c)), (std::vector<float>{10, 20, 60}));
}

TEST(Selection, SmoothingWorksLastOnCorrectedExportedPointsOnly) {
    TrackPoint points[4] = {};
    const float raw[4] = {100, 1000, 110, 120};
    for (int i = 0; i < 4; ++i) points[i].altitude = raw[i];
    const ExclusionRule spike{kDataAltitude, kCompareGreater, 500.0};
    SelectionCriteria c;
    SetCriteriaRules(c, {&spike}, 0xFFFF);
    c.flags |= kSelectGeoid | kSelectSmooth;
    c.geoidHeight = 10;
    c.smoothingWidth = 1;
    // Exported: 90, 100, 110 after the correction; then smoothed.
    EXPECT_EQ(Altitudes(BuildExportList(points, 4, c)), (std::vector<float>{95, 100, 105}));
}

TEST(Selection, NoCriteriaKeepsEveryAltitude) {
    TrackPoint points[2] = {};
    points[0].altitude = 1.25f;
    points[1].altitude = -7.5f;
    EXPECT_EQ(Altitudes(BuildExportList(points, 2, SelectionCriteria{})),
              (std::vector<float>{1.25f, -7.5f}));
    EXPECT_TRUE(BuildExportList(nullptr, 0, SelectionCriteria{}).empty());
}

TEST(Selection, RulesDescribeThemselvesForTheRuleList) {
    std::string text;
    ASSERT_TRUE(DescribeRule({kDataAltitude, kCompareLess, 0.0}, text));
    EXPECT_EQ(text, "Altitude is less than 0.000000");
    ASSERT_TRUE(DescribeRule({kDataRecord, kCompareEqual, 12.0}, text));
    EXPECT_EQ(text, "Record is equal to 12.000000");
    ASSERT_TRUE(DescribeRule({kDataSatellites, kCompareGreater, -1.5}, text));
    EXPECT_EQ(text, "Satellite No is greater than -1.500000");
    EXPECT_FALSE(DescribeRule({0x200, kCompareLess, 0.0}, text));
    EXPECT_FALSE(DescribeRule({kDataAltitude, 3, 0.0}, text));
    EXPECT_FALSE(DescribeRule({kDataAltitude, 0x101, 0.0}, text));
}

TEST(Selection, TimeBoundText) {
    TimeBound b{};
    ASSERT_TRUE(ParseTimeBound("9/3/2007 7:05", b));
    EXPECT_EQ(std::tuple(+b.day, +b.month, +b.year, +b.hour, +b.minute, +b.second),
              std::tuple(9, 3, 2007, 7, 5, 0));
    for (const char* bad : {"9/3/2007", "9/3/2007 7:05x", "9/13/2007 7:05", "9/3/2007 24:00",
                            "9/3/1969 7:05"})
        EXPECT_FALSE(ParseTimeBound(bad, b)) << bad;
    EXPECT_TRUE(ParseTimeBound("31/12/2007 23:59", b));
}
