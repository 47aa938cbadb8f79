// Files in the shape real receivers and programs write them, each beside the
// table of the points it holds (its name plus ".points", written by hand from
// the format's rules): each file is loaded through the format table as the
// program loads it, and every point is compared with its row.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

#include "convert/driver.h"
#include "reader_test_support.h"

namespace {

// One row: record latitude longitude altitude satellites speed direction pdop
// hdop vdop YYYY-MM-DD hh:mm:ss[.s]
struct Row {
    int record = 0;
    double latitude = 0, longitude = 0, seconds = 0;
    double altitude = 0, speed = 0, direction = 0, pdop = 0, hdop = 0, vdop = 0;
    int satellites = 0, year = 0, month = 0, day = 0, hour = 0, minute = 0;
};

bool ParseRow(const std::string& line, Row& r) {
    std::istringstream in(line);
    in.imbue(std::locale::classic());
    char dash1 = 0, dash2 = 0, colon1 = 0, colon2 = 0;
    in >> r.record >> r.latitude >> r.longitude >> r.altitude >> r.satellites >> r.speed >>
        r.direction >> r.pdop >> r.hdop >> r.vdop >> r.year >> dash1 >> r.month >> dash2 >>
        r.day >> r.hour >> colon1 >> r.minute >> colon2 >> r.seconds;
    if (in.fail() || (!in.eof() && !(in >> std::ws).eof())) return false;  // all of it
    return dash1 == '-' && dash2 == '-' && colon1 == ':' && colon2 == ':';
}

// The rows of a table; lines starting with '#' are comments.
std::vector<Row> ReadTable(const std::string& path) {
    std::istringstream in(ferolin_test::ReadFile(path));
    std::vector<Row> rows;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        Row r;
        EXPECT_TRUE(ParseRow(line, r)) << path << ": cannot read the row " << line;
        rows.push_back(r);
    }
    return rows;
}

std::vector<std::string> InputFiles(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            const bool table = name.size() > 7 && name.compare(name.size() - 7, 7, ".points") == 0;
            if (name[0] != '.' && !table) names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(RegressionFiles, ReadAsTheirPointTablesSay) {
    const std::string folder = std::string(FEROLIN_DATA_DIR) + "/regressions/";
    const std::vector<std::string> inputs = InputFiles(folder);
    ASSERT_FALSE(inputs.empty()) << "no file in " << folder;
    for (const std::string& name : inputs) {
        SCOPED_TRACE(name);
        const std::vector<Row> rows = ReadTable(folder + name + ".points");
        ASSERT_FALSE(rows.empty()) << "no point table beside the file";
        ferolin_test::RecordingHost host;
        ferolin::CurrentTrack track;
        ASSERT_EQ(ferolin::LoadTrack(track, folder + name, host), 0);
        EXPECT_TRUE(host.messages.empty());
        ASSERT_EQ(track.count, rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Row& e = rows[i];
            const ferolin::TrackPoint& p = track.points[i];
            SCOPED_TRACE("point " + std::to_string(i + 1));
            EXPECT_EQ(static_cast<int64_t>(p.record), e.record);
            EXPECT_NEAR(p.latitude, e.latitude, 1e-7);
            EXPECT_NEAR(p.longitude, e.longitude, 1e-7);
            EXPECT_NEAR(p.altitude, e.altitude, 1e-3);
            EXPECT_EQ(p.satellites, e.satellites);
            EXPECT_NEAR(p.speed, e.speed, 1e-3);
            EXPECT_NEAR(p.direction, e.direction, 1e-3);
            EXPECT_NEAR(p.pdop, e.pdop, 1e-4);
            EXPECT_NEAR(p.hdop, e.hdop, 1e-4);
            EXPECT_NEAR(p.vdop, e.vdop, 1e-4);
            EXPECT_EQ(std::vector<int>({p.year, p.month, p.day, p.hour, p.minute}),
                      std::vector<int>({e.year, e.month, e.day, e.hour, e.minute}));
            EXPECT_NEAR(p.seconds, e.seconds, 1e-3);
        }
    }
}
