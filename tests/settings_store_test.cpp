// The settings store under a private $XDG_CONFIG_HOME, what the batch run
// takes from it, and the program's batch mode without a display.
#include <gtest/gtest.h>

#include <QSettings>
#include <sys/stat.h>

#include <cstring>

#include "desktop/settings_store.h"
#include "desktop_test_support.h"
#include "formats/format_table.h"
#include "program_runner.h"
#include "test_support.h"

using namespace ferolin;
using namespace ferolin_test;

namespace {

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override { ClearSettings(); }
    static void Raw(const char* name, const QVariant& value) {
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Ferolix")).setValue(name, value);
    }
};

}  // namespace

TEST_F(SettingsStore, NumbersPersistAndValuesOfAnotherTypeCountAsMissing) {
    uint32_t value = 1;
    EXPECT_EQ(ReadSettingUint("Rules", value, 0), SettingsStatus::kNotFound);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(WriteSettingUint("WRT_CSV", 0x1800E), SettingsStatus::kOk);
    EXPECT_EQ(WriteSettingUint("MainDlgX", static_cast<uint32_t>(-20)), SettingsStatus::kOk);
    WriteSettingFloat(kSettingGeoidHeight, -12.345f);
    EXPECT_NE(ReadFile(ConfigHome() + "/Ferolix.conf").find("WRT_CSV=98318"), std::string::npos);
    EXPECT_EQ(ReadSettingUint("WRT_CSV", value, 7), SettingsStatus::kOk);
    EXPECT_EQ(value, 0x1800Eu);
    ReadSettingUint("MainDlgX", value, 0);
    EXPECT_EQ(static_cast<int32_t>(value), -20);
    EXPECT_EQ(ReadSettingFloat(kSettingGeoidHeight, 45.0f), -12.345f);  // stored as its bits
    ReadSettingUint(kSettingGeoidHeight, value, 0);
    const float bits = -12.345f;
    EXPECT_EQ(std::memcmp(&value, &bits, 4), 0);

    Raw("SmoothPoint", QStringLiteral("five"));
    Raw("Rules", QStringLiteral("-3"));
    Raw("Options", QByteArray("\x08\x00\x00\x00", 4));
    Raw("GeoidHeight", QStringLiteral("99999999999"));
    for (const char* name : {"SmoothPoint", "Rules", "Options"}) {
        EXPECT_NE(ReadSettingUint(name, value, 5), SettingsStatus::kOk) << name;
        EXPECT_EQ(value, 5u) << name;
    }
    EXPECT_EQ(ReadSettingFloat("GeoidHeight", 45.0f), 45.0f);
}

TEST_F(SettingsStore, RulesAreSixteenBytesAndDamagedOnesDoNotLoad) {
    const ExclusionRule first{kDataAltitude, kCompareLess, -0.5}, second{kDataHdop, kCompareGreater, 4.0};
    QSettings* store = OpenSettings();
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(SaveRule(0, first, store), SettingsStatus::kOk);
    EXPECT_EQ(SaveRule(12, second, store), SettingsStatus::kOk);
    CloseSettings(store);
    ExclusionRule loaded{};
    ASSERT_EQ(LoadRule(0, loaded), SettingsStatus::kOk);
    EXPECT_EQ(std::memcmp(&loaded, &first, 16), 0);
    unsigned char bytes[32] = {};
    uint32_t size = sizeof bytes;
    ASSERT_EQ(ReadSettingBytes("012", bytes, size), SettingsStatus::kOk);
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(std::memcmp(bytes, &second, 16), 0);
    EXPECT_NE(LoadRule(1, loaded), SettingsStatus::kOk);

    Raw("000", QByteArray("\x08\x00\x00\x00\x02\x00\x00\x00", 8));  // cut short
    Raw("001", QByteArray(40, '\x01'));                             // too long
    ExclusionRule rule{kDataSpeed, kCompareEqual, 1.0};
    EXPECT_NE(LoadRule(0, rule), SettingsStatus::kOk);
    EXPECT_NE(LoadRule(1, rule), SettingsStatus::kOk);
    EXPECT_EQ(rule.dataType, kDataSpeed);  // untouched
    unsigned char small[4] = {9, 9, 9, 9};
    size = sizeof small;
    EXPECT_EQ(ReadSettingBytes("001", small, size), SettingsStatus::kTooLong);
    EXPECT_EQ(small[0], 9);  // never overrun
}

TEST_F(SettingsStore, TheBatchRunTakesWhatTheWindowWouldRestore) {
    QSettings* store = OpenSettings();
    SaveRule(0, {kDataAltitude, kCompareGreater, 250.0}, store);
    SaveRule(1, {0x200, kCompareEqual, 1.0}, store);  // unknown data type: dropped
    SaveRule(2, {kDataHdop, kCompareEqual, 1.0}, store);
    WriteSettingUint(kSettingRules, 3, store);
    WriteSettingFloat(kSettingGeoidHeight, 10.004f, store);  // shown and used as 10.00
    WriteSettingUint(kSettingSmoothPoint, 1, store);
    WriteSettingUint(kSettingOptions, kOptionGeoidChecked | kOptionSmoothChecked, store);
    WriteSettingUint("WRT_TXT", 0x8008, store);
    CloseSettings(store);
    const StoredBatchSettings settings;
    StoredSelection s = settings.Selection();
    ASSERT_EQ(s.rules.size(), 2u);
    EXPECT_EQ(std::tuple(+s.rules[1].dataType, +s.rules[1].comparator, +s.rules[1].reference),
              std::tuple(kDataHdop, static_cast<uint32_t>(kCompareEqual), 1.0));
    EXPECT_EQ(std::tuple(s.geoidOn, s.geoidHeight, s.smoothOn, s.smoothingWidth), std::tuple(true, 10.0f, true, 1u));
    EXPECT_EQ(settings.WriterOptions("txt"), 0x8008u);
    EXPECT_EQ(settings.WriterOptions("gpx"), kAllOptions);
    // Unchecked geoid and smoothing stay off, whatever their values.
    WriteSettingUint(kSettingOptions, 0);
    s = settings.Selection();
    EXPECT_FALSE(s.geoidOn || s.smoothOn);
}

TEST(BatchProgram, RunsWithoutADisplayAndWithAnUnreadableStore) {
    // QT_QPA_PLATFORM=xcb without a display: any window would fail. A settings
    // store that cannot be read (a folder where the file should be) leaves
    // every default in place: every option on.
    TempDir dir;
    WriteFile(dir.File("walk.log"), ReadFile(std::string(FEROLIN_TEST_DATA) + "/batch/walk.log"));
    WriteFile(dir.File("bad.log"), "x\n");
    ASSERT_EQ(mkdir(dir.File("config").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir.File("config/Ferolix.conf").c_str(), 0755), 0);
    ProgramRun run = RunProgram(FEROLIN_BIN, {dir.File("*.log"), "txt"},
                                {"QT_QPA_PLATFORM=xcb", "XDG_CONFIG_HOME=" + dir.File("config")}, dir.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, dir.File("bad.log") + ": No track point in the file.\n");
    EXPECT_EQ(ReadFile(dir.File("walk.txt")), ReadFile(std::string(FEROLIN_TEST_DATA) + "/batch/walk.all.txt"));
    EXPECT_EQ(RunProgram(FEROLIN_BIN, {"x.log", "gpz"}, {"QT_QPA_PLATFORM=xcb"}, dir.path()).status, 2);
}
