// Numbers never follow the locale: every writer gives the same bytes and
// every reader the same points under the comma-decimal German locale as under
// C, in this process and in the ferolin program.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/driver.h"
#include "core/format_table.h"
#include "core/paths.h"
#include "core/text_format.h"
#include "program_runner.h"
#include "test_support.h"

using namespace ferolin;
using ferolin_test::LocaleScope;
using ferolin_test::ProgramRun;
using ferolin_test::ReadFile;
using ferolin_test::RunProgram;
using ferolin_test::TempDir;
using ferolin_test::WriteFile;

namespace {

constexpr const char* kGerman = "de_DE.UTF-8";

class QuietHost : public DriverHost {
public:
    void ShowMessage(const std::string& path, int stringId, MessageIcon) override {
        messages += path + ": " + std::to_string(stringId) + "\n";
    }
    std::string messages;
};

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

// Where two texts part, with some context, for the failure message.
std::string Difference(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    const std::size_t from = i < 40 ? 0 : i - 40;
    return "at byte " + std::to_string(i) + ":\n  C:  " + a.substr(from, 80) + "\n  de: " +
           b.substr(from, 80);
}

// The points a file loads to, as bytes.
std::string LoadedBytes(const std::string& path, std::string& messages) {
    CurrentTrack track;
    QuietHost host;
    LoadTrack(track, path, host);
    messages = host.messages;
    return std::string(reinterpret_cast<const char*>(track.points.get()),
                       track.count * sizeof(TrackPoint));
}

}  // namespace

TEST(Locale, TheCommaLocaleIsInstalled) {
    // The German runs of the suites depend on it: without it they would
    // quietly run in C.
    LocaleScope german(kGerman);
    ASSERT_TRUE(german.active()) << kGerman << " is missing: run scripts/install-deps.sh as root";
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", 2.5);
    EXPECT_STREQ(text, "2,5");
}

TEST(Locale, NumbersAreParsedWithThePointInEveryLocale) {
    LocaleScope german(kGerman);
    ASSERT_TRUE(german.active()) << kGerman << " is missing";
    EXPECT_EQ(ParseReal("12.75"), 12.75);
    EXPECT_EQ(ParseReal("12,75"), 12.0);
    // Beyond the range of a double, as the C library reads it in C.
    EXPECT_EQ(ParseReal("1.5e400"), HUGE_VAL);
    EXPECT_EQ(ParseReal("-2.5e999"), -HUGE_VAL);
    EXPECT_EQ(ParseReal("1.5e-400"), 0.0);
}

TEST(Locale, EveryWriterAndReaderGivesTheSameBytesUnderBothLocales) {
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    TempDir dir, folderC, folderDe;
    const std::string source = dir.File("rich.log");
    ASSERT_TRUE(WriteFile(source, RichDatalog()));
    const auto table = FormatTable();
    std::string messages;
    std::string loadedC, loadedDe;
    {
        LocaleScope c("C");
        loadedC = LoadedBytes(source, messages);
    }
    {
        LocaleScope german(kGerman);
        ASSERT_TRUE(german.active()) << kGerman << " is missing";
        loadedDe = LoadedBytes(source, messages);
    }
    ASSERT_EQ(loadedC.size(), 3 * sizeof(TrackPoint)) << messages;
    EXPECT_TRUE(loadedC == loadedDe);

    for (const int row : WriterRows()) {
        const std::string ext = table[row].extension;
        // The same name in two folders: several writers put the title in.
        const std::string inC = folderC.File("track." + ext);
        const std::string inDe = folderDe.File("track." + ext);
        CurrentTrack track;
        QuietHost host;
        ASSERT_EQ(LoadTrack(track, source, host), 0);
        {
            LocaleScope c("C");
            EXPECT_EQ(ExportToFile(track, inC, row, host), 0) << ext;
        }
        {
            LocaleScope german(kGerman);
            EXPECT_EQ(ExportToFile(track, inDe, row, host), 0) << ext;
        }
        const std::string a = ReadFile(inC);
        const std::string b = ReadFile(inDe);
        EXPECT_FALSE(a.empty()) << ext;
        EXPECT_TRUE(a == b) << ext << " differs " << Difference(a, b);

        // Read back by the readers of that extension (the text table is no
        // datalog).
        bool readable = false;
        for (const FormatEntry& r : table)
            if (r.reader && EqualsIgnoreCase(r.extension, ext)) readable = true;
        if (!readable || ext == "txt") continue;
        std::string readC, readDe, messagesDe;
        {
            LocaleScope c("C");
            readC = LoadedBytes(inC, messages);
        }
        {
            LocaleScope german(kGerman);
            readDe = LoadedBytes(inC, messagesDe);
        }
        EXPECT_EQ(messages, "") << ext;
        EXPECT_FALSE(readC.empty()) << ext;
        EXPECT_TRUE(readC == readDe) << ext << " reads differently";
    }
}

TEST(Locale, TheProgramConvertsTheSameUnderBothLocales) {
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
