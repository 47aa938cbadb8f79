#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "convert/driver.h"
#include "formats/native.h"
#include "reader_test_support.h"
#include "test_support.h"

using namespace ferolin;
using namespace ferolin_test;

namespace {

struct Read {
    ReadStatus status;
    TrackPointArray points;
    uint32_t count;
};

Read ReadFrn(const std::string& bytes) {
    TempDir dir;
    const std::string path = dir.File("track.frn");
    WriteFile(path, bytes);
    Read r{};
    r.count = 99;
    r.status = ReadNativeTrack(path, r.points, r.count);
    return r;
}

// A record whose every byte differs from its neighbours', so that any shift
// or lost byte shows.
TrackPoint Pattern(int seed) {
    TrackPoint p;
    unsigned char* bytes = reinterpret_cast<unsigned char*>(&p);
    for (std::size_t i = 0; i < sizeof p; ++i) bytes[i] = static_cast<unsigned char>(seed * 59 + i);
    return p;
}

std::string Bytes(const void* data, std::size_t size) {
    return std::string(static_cast<const char*>(data), size);
}

// The file header spelled out: version bytes 01 01 05 01, then the count.
std::string Header(uint32_t n) {
    return std::string("\x01\x01\x05\x01", 4) +
           std::string{static_cast<char>(n & 0xFF), static_cast<char>(n >> 8 & 0xFF),
                       static_cast<char>(n >> 16 & 0xFF), static_cast<char>(n >> 24 & 0xFF)};
}

}  // namespace

TEST(NativeFile, RoundTripsRecordsByteForByte) {
    TempDir dir;
    std::vector<TrackPoint> points;
    for (int i = 0; i < 3; ++i) points.push_back(Pattern(i));
    points[1].record = 1234567;  // record numbers are kept, not renumbered
    const float altitudes[] = {-12.5f, 8848.86f, 0.0f};
    std::vector<ExportEntry> entries;
    for (int i = 0; i < 3; ++i) entries.push_back({&points[i], altitudes[i]});
    const std::string path = dir.File("t.frn");
    ASSERT_EQ(WriteNativeTrack(path, entries.data(), 3, 0), 0);

    // Expected bytes: the records as they are, the exported altitude at
    // offset 30.
    std::string expected = Header(3);
    for (int i = 0; i < 3; ++i) {
        std::string record = Bytes(&points[i], 55);
        record.replace(30, 4, Bytes(&altitudes[i], 4));
        expected += record;
    }
    const std::string file = ReadFile(path);
    EXPECT_EQ(file.size(), 8u + 3 * 55);
    EXPECT_EQ(file, expected);

    Read r{};
    r.status = ReadNativeTrack(path, r.points, r.count);
    ASSERT_EQ(r.status, ReadStatus::kOk);
    ASSERT_EQ(r.count, 3u);
    EXPECT_EQ(Bytes(r.points.get(), 3 * 55), expected.substr(8));
    EXPECT_EQ(+r.points[1].record, 1234567);
    EXPECT_EQ(+r.points[0].altitude, -12.5f);

    // Written again from what was read: the same file.
    std::vector<ExportEntry> again;
    for (int i = 0; i < 3; ++i) again.push_back({&r.points[i], r.points[i].altitude});
    ASSERT_EQ(WriteNativeTrack(dir.File("again.frn"), again.data(), 3, 0xFFFFFFFF), 0);
    EXPECT_EQ(ReadFile(dir.File("again.frn")), expected);

    // No entries: an 8-byte file that reads as no point.
    ASSERT_EQ(WriteNativeTrack(dir.File("empty.frn"), nullptr, 0, 0), 0);
    EXPECT_EQ(ReadFile(dir.File("empty.frn")), Header(0));
    r.status = ReadNativeTrack(dir.File("empty.frn"), r.points, r.count);
    EXPECT_EQ(r.status, ReadStatus::kOk);
    EXPECT_EQ(r.count, 0u);

    EXPECT_EQ(WriteNativeTrack(dir.File("missing/x.frn"), entries.data(), 3, 0), 1);
}

TEST(NativeFile, DamagedAndForeignFiles) {
    const TrackPoint a = Pattern(1), b = Pattern(2), c = Pattern(3);
    const std::string records = Bytes(&a, 55) + Bytes(&b, 55) + Bytes(&c, 55);

    struct Row {
        std::string bytes;
        ReadStatus status;
        uint32_t count;  // the first records, byte for byte
    };
    std::vector<Row> rows = {
        {"", ReadStatus::kOk, 0},  // empty: no records, no failure
        // Another format version: no records; bytes 1-3 are not examined.
        {std::string("\x02\x01\x05\x01", 4) + Header(3).substr(4) + records, ReadStatus::kOk, 0},
        {std::string("\x01\x09\x09\x09", 4) + Header(1).substr(4) + records.substr(0, 55), ReadStatus::kOk, 1},
        // The last record cut short: only the complete ones.
        {Header(3) + records.substr(0, 2 * 55 + 20), ReadStatus::kOk, 2},
        // A declared count beyond the records present, even the largest one:
        // the records present, without asking for gigabytes first.
        {Header(0xFFFFFFFFu) + records.substr(0, 55), ReadStatus::kOk, 1},
        {Header(2) + records, ReadStatus::kOk, 2},  // a smaller count: that many
        {Header(5), ReadStatus::kOk, 0},
    };
    // Version 1 but shorter than the header: a failure.
    for (std::size_t n = 1; n < 8; ++n) rows.push_back({Header(1).substr(0, n), ReadStatus::kNotThisFormat, 0});
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.bytes.substr(0, 8)));
        const auto r = ReadFrn(row.bytes);
        EXPECT_EQ(r.status, row.status);
        ASSERT_EQ(r.count, row.count);
        if (row.count) {
            EXPECT_EQ(Bytes(r.points.get(), 55 * row.count), records.substr(0, 55 * row.count));
        }
    }
}

TEST(NativeFile, OnlyRegularFilesAreRead) {
    TempDir dir;
    const std::string fifo = dir.File("pipe.frn");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    TrackPointArray points;
    uint32_t count = 4;
    EXPECT_EQ(ReadNativeTrack(fifo, points, count), ReadStatus::kCannotOpen);  // must not wait for a writer
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(ReadNativeTrack(dir.path(), points, count), ReadStatus::kCannotOpen);
    EXPECT_EQ(ReadNativeTrack("/dev/zero", points, count), ReadStatus::kCannotOpen);
    EXPECT_EQ(ReadNativeTrack(dir.File("missing.frn"), points, count), ReadStatus::kCannotOpen);
}

TEST(NativeFile, LoadsAndExportsThroughTheFormatTable) {
    TempDir dir;
    TrackPoint p = Pattern(5);
    p.day = 0;  // keeps the selection out of the way
    const ExportEntry e{&p, p.altitude};
    ASSERT_EQ(WriteNativeTrack(dir.File("in.frn"), &e, 1, 0), 0);
    RecordingHost host;
    CurrentTrack track;
    ASSERT_EQ(LoadTrack(track, dir.File("in.frn"), host), 0);
    EXPECT_EQ(track.fieldMask, 0xFFFFu);
    const int row = FindWriterRow("frn");
    ASSERT_GE(row, 0);
    ASSERT_EQ(ExportToFile(track, dir.File("out.frn"), row, host), 0);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(ReadFile(dir.File("out.frn")), ReadFile(dir.File("in.frn")));

    // A version-1 file without records loads no point.
    WriteFile(dir.File("none.frn"), Header(0));
    EXPECT_NE(LoadTrack(track, dir.File("none.frn"), host), 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "No track point in the file.");
}
