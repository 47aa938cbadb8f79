// The ground floor: numbers and text against the C library they stand in
// for, paths, calendar time, output files, lines and the selection rules.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/line_reader.h"
#include "core/output_file.h"
#include "core/paths.h"
#include "core/point_buffer.h"
#include "core/selection.h"
#include "core/statistics.h"
#include "core/text_format.h"
#include "core/track_point.h"
#include "core/xml_text.h"
#include "test_support.h"

using namespace ferolin;
using namespace ferolin_test;

namespace {

const TrackPoint kZeroPoint{};

std::string Printf(const char* format, double v) {
    const CNumbers cNumbers;
    char text[512];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

}  // namespace

TEST(TextFormat, NumbersPrintAsPrintfPrintsThemInTheCLocale) {
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> values = {0.0, -0.0, 0.5, 2.5, -2.5, 0.125, 0.0000005, 48.1173, 1e22, -1e300,
                                  std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min(),
                                  inf, -inf, std::nan(""), -std::nan("")};
    std::mt19937_64 random(42);
    std::uniform_real_distribution<double> coordinate(-180.0, 180.0);
    std::uniform_int_distribution<int64_t> whole(0, 99999999);
    for (int i = 0; i < 2000; ++i) {
        values.push_back(coordinate(random));
        values.push_back(static_cast<float>(coordinate(random) * 50));
        values.push_back(coordinate(random) * std::pow(10.0, i % 50 - 12));
        // On and next to the halfway points, where a scaled product could round the wrong way.
        const double tie = (static_cast<double>(whole(random)) + 0.5) / std::pow(10.0, i % 10);
        values.insert(values.end(), {tie, std::nextafter(tie, 0.0), std::nextafter(tie, 1e300)});
    }
    for (double v : values) {
        for (int precision : {0, 1, 2, 3, 4, 6, 7, 9}) {
            TextBuffer out;
            AppendFixed(out, v, precision);
            ASSERT_EQ(out.View(), Printf(("%." + std::to_string(precision) + "f").c_str(), v)) << v;
        }
        TextBuffer padded;
        AppendFixedPadded(padded, v, 3, 6);
        ASSERT_EQ(padded.View(), Printf("%06.3f", v)) << v;
    }
    for (long long v : {0LL, 7LL, -12LL, 99999LL, -99999LL, 2147483647LL, -2147483648LL})
        for (int width : {0, 2, 5}) {
            char expected[64];
            std::snprintf(expected, sizeof expected, "%0*lld", width, v);
            TextBuffer out;
            AppendInt(out, v, width);
            EXPECT_EQ(out.View(), expected) << width;
        }
    // The buffer grows past any first size without losing text.
    TextBuffer big;
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        AppendFixed(big, 1e300 * (i % 3 - 1), 6);
        expected += Printf("%f", 1e300 * (i % 3 - 1));
    }
    EXPECT_EQ(big.View(), expected);
}

TEST(TextFormat, NumbersReadAsAtoiAndAtofReadThem) {
    for (const char* s : {"12", "  -34xyz", "+7", "", "abc", " \t\r\n 5", "-0", "2147483647", "-2147483648",
                          "4294967295", "99999999999999999999", "-99999999999999999999", "- 5", "1e3", "0x10"})
        EXPECT_EQ(ParseInt(s), std::atoi(s)) << '"' << s << '"';
    for (const char* s : {"1.5", "  -45.5 N", "+3.25", "", ".5", "-.5e1", "1e", "1e+", "12,5", "1e999",
                          "-1e999", "1e-400", "5.", "+-3", "00012.250", "4916.45,N"}) {
        double expected;
        {
            const CNumbers cNumbers;
            expected = std::atof(s);
        }
        EXPECT_EQ(ParseReal(s), expected) << '"' << s << '"';
    }
    // Only decimal reals: what the C library reads as infinities, NaN or
    // hexadecimal numbers is 0 here.
    for (const char* s : {"inf", "-Infinity", "nan", "NaN(123)", "0x1p4", " 0X1A"}) EXPECT_EQ(ParseReal(s), 0.0) << s;
    // Never past the end of the range, terminator or not.
    const std::string text = "123456";
    EXPECT_EQ(ParseInt(text.data(), text.data() + 3), 123);
    EXPECT_EQ(ParseReal(std::string_view(text.data(), 2)), 12.0);
    // Truncation saturates and takes NaN as 0.
    EXPECT_EQ(TruncateToInt(-12.9), -12);
    EXPECT_EQ(TruncateToInt(1e300), INT_MAX);
    EXPECT_EQ(TruncateToInt(-std::numeric_limits<double>::infinity()), INT_MIN);
    EXPECT_EQ(TruncateToInt(std::nan("")), 0);
    EXPECT_EQ(TruncateTo<int8_t>(300.0), 127);
    EXPECT_EQ(TruncateTo<uint8_t>(-3.0), 0);
    EXPECT_TRUE(std::isinf(ToFloat(1e300)));
}

TEST(Paths, WindowsAndPosixPathsSplitTheSameWay) {
    const struct {
        const char *path, *extension, *directory, *title, *changed;
    } rows[] = {
        {"track.log", "log", "", "track", "track.gpx"},
        {"TRACK.LOG", "LOG", "", "TRACK", "TRACK.gpx"},
        {"C:\\logs\\walk.2007.log", "log", "C:\\logs\\", "walk.2007", "C:\\logs\\walk.2007.gpx"},
        {"C:\\data.2007\\track", "2007\\track", "C:\\data.2007\\", "track", "C:\\data.gpx"},
        {"/home/a/trip", "/home/a/trip", "/home/a/", "trip", "gpx"},
        {"mixed/dir\\a.tar.gz", "gz", "mixed/dir\\", "a.tar", "mixed/dir\\a.tar.gpx"},
        {"name.", "", "", "name", "name.gpx"},
        {"/dev/COM5.rbt", "rbt", "/dev/", "COM5", "/dev/COM5.gpx"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FileExtension(row.path), row.extension) << row.path;
        EXPECT_EQ(FileDirectory(row.path), row.directory) << row.path;
        EXPECT_EQ(FileTitle(row.path), row.title) << row.path;
        EXPECT_EQ(ChangeExtension(row.path, "gpx"), row.changed) << row.path;
    }
    const struct {
        const char *pattern, *name;
        bool matches;
    } wildcards[] = {
        {"*.log", "a.log", true},      {"*.log", ".log", true},     {"*.log", "a.log.bak", false},
        {"*.log", "a.LOG", false},     {"t?ip*.l*g", "trip-1.log", true}, {"t?ip", "tip", false},
        {"*", "", true},               {"a*b*c", "aXXbYYbZZc", true},      {"[ab].log", "a.log", false},
        {"[ab].log", "[ab].log", true},
    };
    for (const auto& w : wildcards) EXPECT_EQ(WildcardMatch(w.pattern, w.name), w.matches) << w.pattern << " " << w.name;
    EXPECT_TRUE(EqualsIgnoreCase("GPX", "gpx"));
    EXPECT_FALSE(EqualsIgnoreCase("gpx", "gpxx"));
}

TEST(TrackPointTime, IsUtcCalendarArithmetic) {
    const auto at = [](int y, int mo, int d, int h, int mi, float s) {
        TrackPoint p{};
        p.year = static_cast<int16_t>(y);
        p.month = static_cast<int8_t>(mo);
        p.day = static_cast<int8_t>(d);
        p.hour = static_cast<int8_t>(h);
        p.minute = static_cast<int8_t>(mi);
        p.seconds = s;
        return TrackPointTime(p);
    };
    EXPECT_EQ(at(1970, 1, 1, 0, 0, 0), 0);
    EXPECT_EQ(at(2007, 3, 9, 10, 0, 59.9f), 1173434459);  // the fraction dropped
    EXPECT_EQ(at(2007, 3, 25, 3, 0, 0) - at(2007, 3, 25, 0, 0, 0), 3 * 3600);  // no daylight saving
    EXPECT_EQ(at(2000, 2, 29, 12, 0, 0) - at(2000, 2, 28, 12, 0, 0), 86400);
    EXPECT_EQ(at(2038, 1, 19, 3, 14, 8), 2147483648LL);
    EXPECT_EQ(at(2007, 1, 1, 0, 0, std::nanf("")), at(2007, 1, 1, 0, 0, 0));
    EXPECT_EQ(at(0, 0, 0, 0, 0, 0), -1);
    EXPECT_EQ(at(2007, 0, 5, 1, 0, 0), -1);  // no month: undated
    EXPECT_EQ(at(1969, 12, 31, 23, 59, 59), -1);
    EXPECT_EQ(CalendarTime(2006, 13, 1, 0, 0, 0), CalendarTime(2007, 1, 1, 0, 0, 0));
    EXPECT_EQ(CalendarTime(2007, 3, 0, 0, 0, 0), CalendarTime(2007, 2, 28, 0, 0, 0));
    EXPECT_EQ(CalendarTime(2007, -1, 1, 25, 0, 0), CalendarTime(2006, 11, 2, 1, 0, 0));
    // Arrays come zero-filled; a size that overflows fails without a crash.
    TrackPointArray points = AllocateTrackPoints(1000);
    ASSERT_TRUE(points);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(std::memcmp(&points[i], &kZeroPoint, sizeof kZeroPoint), 0) << i;
    EXPECT_FALSE(AllocateTrackPoints(SIZE_MAX / 8));
}

// Points added across several growths, within a limit and beyond it (an input
// that grew while read): each new point zeroed, the old ones kept, and the
// array handed over holds exactly the points asked for.
TEST(PointBuffer, GrowsKeepsAndHandsOverExactly) {
    for (const std::size_t limit : {std::size_t{0}, std::size_t{300}, PointBuffer::kMaxPoints}) {
        SCOPED_TRACE(limit);
        PointBuffer buffer(limit);
        buffer.Expect(100);
        for (int i = 0; i < 1500; ++i) {
            TrackPoint* p = buffer.Add();
            ASSERT_TRUE(p);
            ASSERT_EQ(std::memcmp(p, &kZeroPoint, sizeof kZeroPoint), 0);
            p->record = i + 1;
            p->satellites = 7;
        }
        ASSERT_TRUE(buffer.Resize(1600));  // zeroed slots up to 1600
        EXPECT_EQ(std::memcmp(&buffer[1599], &kZeroPoint, sizeof kZeroPoint), 0);
        EXPECT_EQ(buffer.size(), 1600u);
        TrackPointArray array = buffer.Release(1499);
        ASSERT_TRUE(array);
        for (int i = 0; i < 1499; ++i) ASSERT_EQ(+array[i].record, i + 1);
        EXPECT_EQ(buffer.size(), 0u);
        EXPECT_FALSE(buffer.Release(0));
    }
}

TEST(OutputFile, ReplacesItsTargetOnlyWhenCommitted) {
    TempDir dir;
    const std::string path = dir.File("out.txt"), link = dir.File("link.txt");
    WriteFile(path, "before");
    chmod(path.c_str(), 0640);
    ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
    {
        OutputFile file;
        ASSERT_TRUE(file.Create(path));
        file.Write("half");
    }  // dropped without Commit: the target stays, the temporary goes
    EXPECT_EQ(ReadFile(path), "before");
    EXPECT_EQ(CountFiles(dir.path()), 2);
    OutputFile file;
    ASSERT_TRUE(file.Create(link));  // through the link
    std::string big;
    for (int i = 0; i < 100000; ++i) {
        file.Write("line of text\r\n");
        big += "line of text\r\n";
        file.Flush();
    }
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(ReadFile(path), big);
    struct stat info;
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));  // still a link, to the new contents
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);  // the permissions stay
    EXPECT_EQ(CountFiles(dir.path()), 2);
    OutputFile missing, device;
    EXPECT_FALSE(missing.Create(dir.File("no/folder/out.txt")));
    EXPECT_FALSE(missing.Commit());
    EXPECT_FALSE(device.Create("/dev/full"));  // only regular files are written
}

TEST(XmlText, EscapesMarkupKeepsValidUtf8AndReplacesTheRest) {
    const std::string r = "\xEF\xBF\xBD";
    const struct {
        std::string in, out;
    } rows[] = {
        {"a&b <c> \"d\" 'e'", "a&amp;b &lt;c&gt; \"d\" 'e'"},
        {"Randonn\xC3\xA9" "e \xE2\x82\xAC \xF0\x9F\x97\xBA", "Randonn\xC3\xA9" "e \xE2\x82\xAC \xF0\x9F\x97\xBA"},
        {"tab\tlf\ncr\r", "tab\tlf\ncr\r"},
        {std::string("a\x01" "b\x00" "c", 5), "a" + r + "b" + r + "c"},
        {"Z\xFCrich", "Z" + r + "rich"},           // a Latin-1 byte
        {"\xC0\xAF", r + r},                       // an overlong "/"
        {"\xED\xA0\x80", r + r + r},               // a surrogate
        {"\xF4\x90\x80\x80", r + r + r + r},       // above U+10FFFF
        {"\xE2\x82<", r + r + "&lt;"},             // cut short
    };
    for (const auto& row : rows) {
        std::string out;
        AppendXmlText(out, row.in);
        EXPECT_EQ(out, row.out);
    }
}

TEST(Clock, SourceDateEpochStandsInForTheSystemClock) {
    {
        const FixedClock clock("951782400");
        EXPECT_EQ(CurrentUtcTime(), 951782400);
        const UtcDateTime t = CurrentUtcDateTime();
        EXPECT_EQ(std::vector<int>({t.year, t.month, t.day, t.hour}), std::vector<int>({2000, 2, 29, 0}));
    }
    const FixedClock notANumber("soon");
    EXPECT_GT(CurrentUtcTime(), 1700000000);
    const UtcDateTime before = UtcFromTime(-1);
    EXPECT_EQ(std::vector<int>({before.year, before.month, before.day, before.second}),
              std::vector<int>({1969, 12, 31, 59}));
}

TEST(LineReader, HandsOutPiecesTheWayFgetsDoes) {
    TempDir dir;
    const auto pieces = [&dir](const std::string& text, std::size_t max) {
        WriteFile(dir.File("lines.txt"), text);
        LineReader lines(max);
        EXPECT_TRUE(lines.Open(dir.File("lines.txt")));
        std::string out;
        for (std::string_view piece; lines.Next(piece);) out += std::string(piece) + "|";
        return out;
    };
    EXPECT_EQ(pieces("ab\r\ncd", 4), "ab|cd|");              // CRLF folded, last line unended
    EXPECT_EQ(pieces("abcdefghij\n", 4), "abcd|efgh|ij|");
    EXPECT_EQ(pieces("abcd\nx\n", 4), "abcd||x|");          // no room left for the line end
    EXPECT_EQ(pieces("abc\r\nx\n", 4), "abc|x|");            // "\r\n" counts as one
    EXPECT_EQ(pieces("a\rb\n", 4), "a\rb|");                 // a lone CR stays
    EXPECT_EQ(pieces(std::string("ab\0cd\nef\n", 9), 8), "ab|ef|");  // a piece ends at NUL
    EXPECT_EQ(pieces("\n\n", 4), "||");
    EXPECT_EQ(pieces(std::string(200000, 'x') + "\nend\n", 1023).size(), 200000 + 196 + 4u);
    const std::string fifo = dir.File("pipe.log");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    LineReader reader;
    for (const std::string& path : {fifo, dir.path(), std::string("/dev/null"), dir.File("missing")})
        EXPECT_FALSE(reader.Open(path)) << path;  // without waiting for a FIFO's writer
}

TEST(Selection, RuleCodesDataTypesAndTheFieldMask) {
    // Comparators: the low byte decides; a rule is met (the point excluded)
    // when its comparison holds, an unknown code excludes nothing.
    EXPECT_TRUE(CompareRule(5, kCompareEqual, 6));
    EXPECT_FALSE(CompareRule(5, kCompareEqual, 5));
    EXPECT_FALSE(CompareRule(4, kCompareLess, 5));
    EXPECT_FALSE(CompareRule(6, kCompareGreater, 5));
    EXPECT_FALSE(CompareRule(5, 0x100 | kCompareEqual, 5));
    EXPECT_TRUE(CompareRule(5, 3, 5));
    TrackPoint p{};
    p.satellites = 7, p.latitude = 48.1, p.longitude = -3.25, p.altitude = 12.5f, p.pdop = 1.5f;
    p.hdop = 0.5f, p.vdop = 2.5f, p.speed = 4.5f, p.direction = 90, p.record = 42;
    const std::pair<uint32_t, double> values[] = {
        {kDataSatellites, 7}, {kDataLatitude, 48.1}, {kDataLongitude, -3.25}, {kDataAltitude, 12.5}, {kDataPdop, 1.5},
        {kDataHdop, 0.5},     {kDataVdop, 2.5},      {kDataSpeed, 4.5},       {kDataDirection, 90},   {kDataRecord, 42}};
    for (const auto& [type, value] : values) {
        double v = -1;
        ASSERT_TRUE(PointValue(p, type, v)) << type;
        EXPECT_EQ(v, value) << type;
    }
    // A rule of an unknown data type counts as met: the point stays. Rules
    // outside the loaded row's data types are left out.
    const ExclusionRule unknown{0x200, kCompareEqual, 0.0}, record42{kDataRecord, kCompareEqual, 42.0};
    const auto kept = [&p](const ExclusionRule& rule, uint32_t mask) {
        SelectionCriteria c;
        SetCriteriaRules(c, {&rule}, mask);
        return BuildExportList(&p, 1, c).size();
    };
    EXPECT_EQ(kept(unknown, 0xFFFF), 1u);
    EXPECT_EQ(kept(record42, 0xFFFF), 0u);
    EXPECT_EQ(kept(record42, 0x000E), 1u);
}

// The KML writer's statistics: a point marked without altitude is no extreme
// and lends its chords the other end's altitude, one without speed is no
// speed; unmarked, every stored value counts (as the text tables keep them).
TEST(TrackStatistics, PointsWithoutAValueCountInNoneOfItsFigures) {
    using namespace ferolin;
    TrackPoint p[3] = {};
    for (int i = 0; i < 3; ++i) p[i].longitude = 10 + 0.001 * i, p[i].altitude = i == 1 ? 0 : 1000, p[i].speed = i == 2 ? 30 : 0;
    const ExportEntry entries[3] = {{&p[0], 1000, 0}, {&p[1], 0, 1}, {&p[2], 1000, 2}};
    SensorChannels lacking;
    lacking.MarkAbsent(1, kFieldAltitude | kFieldSpeed);
    const double segment = 2 * (6371000.0 + 1000) * std::sin(0.0005 * M_PI / 180);  // metres at 1000 m
    const struct { const SensorChannels* extras; int lowest; float average; double km; } cases[] = {
        {&lacking, 0, 15, 2 * segment / 1000}, {nullptr, 1, 10, 2 * std::hypot(1000.0, segment * 6371 / 6372) / 1000}};
    for (const auto& c : cases) {
        TrackStatistics s;
        ComputeTrackStatistics(entries, 3, s, c.extras);
        EXPECT_EQ(s.minAltitudeIndex, c.lowest);
        EXPECT_FLOAT_EQ(s.averageSpeed, c.average);
        EXPECT_NEAR(s.distanceKm, c.km, 1e-4) << (c.extras ? "marked" : "stored");
    }
}
