// Numbers never follow the locale: the ferolin program converts a datalog to
// every output format with the same bytes under the comma-decimal German
// locale as under C. (The engine tests run once more under that locale.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "convert/driver.h"
#include "formats/format_table.h"
#include "program_runner.h"
#include "test_support.h"

using namespace ferolin;
using namespace ferolin_test;

namespace {

constexpr const char* kGerman = "de_DE.UTF-8";

// Points with fractions in every field, both hemispheres, no date on one.
std::string RichDatalog() {
    return "About total Numbers: 3\r\n=====================\r\n"
           "Record: 1\r\nYear: 2007\r\nMonth: 3\r\nDay: 9\r\nHour: 10\r\nMinute: 1\r\n"
           "Second: 2.75\r\nLatitude: 45.123456789\r\nLongitude: 6.5432109\r\n"
           "Altitude: 1234.56\r\nPDOP: 2.5\r\nHDOP: 1.25\r\nSatellite No: 7\r\n"
           "Speed(KMs/hr): 36.125\r\nDirection: 90.5\r\n=====================\r\n"
           "Record: 2\r\nYear: 2007\r\nMonth: 3\r\nDay: 9\r\nHour: 23\r\nMinute: 59\r\n"
           "Second: 59.999\r\nLatitude: -33.8765\r\nLongitude: -70.25\r\n"
           "Altitude: -12.5\r\nPDOP: 0.75\r\nHDOP: 0.5\r\nSatellite No: 12\r\n"
           "Speed(KMs/hr): 0.5\r\nDirection: 359.75\r\n=====================\r\n"
           "Record: 3\r\nLatitude: 0.000001\r\nLongitude: 179.999999\r\nAltitude: 0.25\r\n"
           "=====================\r\n";
}

std::vector<int> WriterRows() {
    std::vector<int> rows;
    const auto table = FormatTable();
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i].writer && std::string(table[i].extension) != "com")
            rows.push_back(static_cast<int>(i));
    return rows;
}

}  // namespace

TEST(Locale, TheProgramConvertsTheSameUnderBothLocales) {
    // Without the locale the German runs would quietly run in C.
    ASSERT_TRUE(LocaleScope(kGerman).active()) << kGerman << " is missing: run scripts/install-deps.sh";
    TempDir c, de, scratch;
    const auto table = FormatTable();
    for (const int row : WriterRows()) {
        const std::string ext = table[row].extension;
        // Afresh each time: the "log" writer replaces the input.
        ASSERT_TRUE(WriteFile(c.File("rich.log"), RichDatalog()));
        ASSERT_TRUE(WriteFile(de.File("rich.log"), RichDatalog()));
        const std::vector<std::string> common = {"SOURCE_DATE_EPOCH=1700000000",
                                                 "XDG_CONFIG_HOME=" + scratch.path()};
        std::vector<std::string> envC = common, envDe = common;
        envC.insert(envC.end(), {"LANG=C", "LC_ALL=C"});
        envDe.insert(envDe.end(), {std::string("LANG=") + kGerman, std::string("LC_ALL=") + kGerman});
        const ProgramRun a =
            RunProgram(FEROLIN_BIN, {"--no-settings", c.File("rich.log"), ext}, envC, scratch.path());
        const ProgramRun b =
            RunProgram(FEROLIN_BIN, {"--no-settings", de.File("rich.log"), ext}, envDe, scratch.path());
        EXPECT_EQ(a.status, 0) << ext << a.err;
        EXPECT_EQ(b.status, 0) << ext << b.err;
        const std::string outC = ReadFile(c.File("rich." + ext));
        EXPECT_FALSE(outC.empty()) << ext;
        EXPECT_TRUE(outC == ReadFile(de.File("rich." + ext))) << ext << " differs";
    }
}
