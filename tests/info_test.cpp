// `ferolin --info` on the bundled sample and small files (one with points
// that lack altitude or position, a FIT with its device's totals, a GPX of two
// tracks with waypoints and a route) against the outputs that
// tests/data/info/make_expected.py works out from the rules.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "convert/batch.h"
#include "desktop/settings_store.h"
#include "desktop_test_support.h"
#include "test_support.h"

using namespace ferolin;

TEST(Info, FiguresAgainstExpectedFiles) {
    const std::string data = FEROLIN_SOURCE_DIR "/tests/data/info/";
    const std::string hike = FEROLIN_SOURCE_DIR "/samples/hike.log";
    const std::string missing = data + "no-such-file.log";
    struct Case {
        std::vector<std::string> arguments;
        uint32_t storedThreshold;  // 0: nothing stored
        const char* expected;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {{"--info", "--no-settings", hike}, 0, "hike.txt", 0, ""},
        {{"--info", "--json", "--no-settings", hike}, 0, "hike.json", 0, ""},
        {{"--info", "--json", "--no-settings", "--start", "16/6/2007 7:40", "--stop",
          "16/6/2007 8:10", "--geoid", "48.5", "--smooth", "4", "--exclude", "record=100", hike},
         0, "hike-selected.json", 0, ""},
        {{"--info", "--json", hike}, 2, "hike-threshold-2.json", 0, ""},
        {{"--info", "--json", "--no-settings", hike}, 2, "hike.json", 0, ""},
        {{"--json", "--info", data + "walk.gpx", missing, data + "undated.gpx"}, 0,
         "walk-undated.json", 1, missing + ": Cannot open the file.\n"},
        {{"--info", data + "walk.gpx", data + "undated.gpx"}, 0, "walk-undated.txt", 0, ""},
        {{"--info", "--json", data + "ride.fit"}, 0, "ride.json", 0, ""},
        {{"--info", data + "ride.fit"}, 0, "ride.txt", 0, ""},
        {{"--info", data + "gaps.gpx"}, 0, "gaps.txt", 0, ""},
        {{"--info", data + "two_tracks.gpx"}, 0, "two_tracks.txt", 0, ""},
        {{"--info", "--json", data + "two_tracks.gpx"}, 0, "two_tracks.json", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        ferolin_test::ClearSettings();
        if (c.storedThreshold) WriteSettingUint(kSettingAscentThreshold, c.storedThreshold);
        std::ostringstream out, err;
        const StoredBatchSettings settings;
        EXPECT_EQ(FerolinMain(c.arguments, out, err, &settings), c.status);
        EXPECT_EQ(err.str(), c.err);
        // The files as the expected outputs name them: without their folders.
        std::string text = out.str();
        for (const std::string& folder : {data, std::string(FEROLIN_SOURCE_DIR "/samples/")})
            for (size_t at; (at = text.find(folder)) != std::string::npos;)
                text.erase(at, folder.size());
        EXPECT_EQ(text, ferolin_test::ReadFile(data + c.expected));
    }

    // --json alone, and --info without a file, are usage errors.
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--json", hike}, std::vector<std::string>{"--info"}}) {
        std::ostringstream out, err;
        EXPECT_EQ(FerolinMain(bad, out, err, nullptr), 2);
        EXPECT_EQ(out.str(), "");
    }
    std::vector<std::string> window;
    EXPECT_FALSE(IsWindowCommandLine({"--info", hike}, window));
}
