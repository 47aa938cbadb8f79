#include <gtest/gtest.h>

#include <QSettings>

#include <cstring>

#include "formats/format_table.h"
#include "desktop/settings_store.h"
#include "desktop_test_support.h"
#include "test_support.h"

using namespace ferolin;

namespace {

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override { ferolin_test::ClearSettings(); }
    static void Raw(const char* name, const QVariant& value) {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Ferolix"));
        settings.setValue(QString::fromUtf8(name), value);
    }
};

}  // namespace

TEST_F(SettingsStore, NumbersPersistInTheUsersConfigFile) {
    uint32_t value = 1;
    EXPECT_EQ(ReadSettingDword("Rules", value, 0), kSettingsNotFound);
    EXPECT_EQ(value, 0u);

    EXPECT_EQ(WriteSettingDword("WRT_CSV", 0x1800E), kSettingsOk);
    EXPECT_EQ(WriteSettingDword("MainDlgX", static_cast<uint32_t>(-20)), kSettingsOk);
    WriteSettingFloat(kSettingGeoidHeight, -12.345f);
    const std::string file = ferolin_test::ConfigHome() + "/Ferolix.conf";
    EXPECT_NE(ferolin_test::ReadFile(file).find("WRT_CSV=98318"), std::string::npos);
    EXPECT_EQ(ReadSettingDword("WRT_CSV", value, 7), kSettingsOk);
    EXPECT_EQ(value, 0x1800Eu);
    ReadSettingDword("MainDlgX", value, 0);
    EXPECT_EQ(static_cast<int32_t>(value), -20);
    // A float is stored as its bits.
    EXPECT_EQ(ReadSettingFloat(kSettingGeoidHeight, 45.0f), -12.345f);
    ReadSettingDword(kSettingGeoidHeight, value, 0);
    const float expected = -12.345f;
    EXPECT_EQ(std::memcmp(&value, &expected, 4), 0);
}

TEST_F(SettingsStore, ValuesOfAnotherTypeCountAsMissing) {
    Raw("SmoothPoint", QStringLiteral("five"));
    Raw("Rules", QStringLiteral("-3"));
    Raw("Options", QByteArray("\x08\x00\x00\x00", 4));
    Raw("GeoidHeight", QStringLiteral("99999999999"));
    uint32_t value = 0;
    EXPECT_NE(ReadSettingDword("SmoothPoint", value, 5), kSettingsOk);
    EXPECT_EQ(value, 5u);
    for (const char* name : {"Rules", "Options"}) {
        EXPECT_NE(ReadSettingDword(name, value, 0), kSettingsOk) << name;
        EXPECT_EQ(value, 0u) << name;
    }
    EXPECT_EQ(ReadSettingFloat("GeoidHeight", 45.0f), 45.0f);
}

TEST_F(SettingsStore, RulesAreSixteenBytesUnderThreeDigitNames) {
    const ExclusionRule first{kDataAltitude, kCompareLess, -0.5};
    const ExclusionRule second{kDataHdop, kCompareGreater, 4.0};
    SettingsKey key = OpenSettingsKey();
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(SaveRule(0, first, key), kSettingsOk);
    EXPECT_EQ(SaveRule(12, second, key), kSettingsOk);
    CloseSettingsKey(key);

    ExclusionRule loaded{};
    ASSERT_EQ(LoadRule(0, loaded), kSettingsOk);
    EXPECT_EQ(std::memcmp(&loaded, &first, 16), 0);
    ASSERT_EQ(LoadRule(12, loaded), kSettingsOk);
    EXPECT_EQ(std::memcmp(&loaded, &second, 16), 0);

    unsigned char bytes[32] = {};
    uint32_t size = sizeof bytes;
    ASSERT_EQ(ReadSettingBinary("012", bytes, size), kSettingsOk);
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(std::memcmp(bytes, &second, 16), 0);
    EXPECT_NE(LoadRule(1, loaded), kSettingsOk);
}

TEST_F(SettingsStore, DamagedRulesDoNotLoadAndBuffersAreNeverOverrun) {
    Raw("000", QByteArray("\x08\x00\x00\x00\x02\x00\x00\x00", 8));  // cut short
    Raw("001", QByteArray(40, '\x01'));                             // too long
    ExclusionRule rule{kDataSpeed, kCompareEqual, 1.0};
    EXPECT_NE(LoadRule(0, rule), kSettingsOk);
    EXPECT_NE(LoadRule(1, rule), kSettingsOk);
    EXPECT_EQ(rule.dataType, kDataSpeed);  // untouched

    unsigned char small[4] = {9, 9, 9, 9};
    uint32_t size = sizeof small;
    EXPECT_EQ(ReadSettingBinary("001", small, size), kSettingsMoreData);
    EXPECT_EQ(small[0], 9);
}
