#include "desktop/settings_store.h"

#include <QByteArray>
#include <QSettings>
#include <QVariant>

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/strings.h"
#include "core/text_format.h"
#include "formats/format_table.h"

namespace ferolin {

QSettings* OpenSettings() {
    auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                QStringLiteral("Ferolix"));
    if (settings->status() != QSettings::NoError) return nullptr;
    return settings.release();
}

void CloseSettings(QSettings* settings) {
    if (!settings) return;
    settings->sync();
    delete settings;
}

namespace {

// The caller's settings, or settings opened for this access and closed
// afterwards.
class SettingsScope {
public:
    explicit SettingsScope(QSettings* settings)
        : settings_(settings ? settings : OpenSettings()), owned_(!settings) {}
    ~SettingsScope() {
        if (owned_) CloseSettings(settings_);
    }
    SettingsScope(const SettingsScope&) = delete;
    SettingsScope& operator=(const SettingsScope&) = delete;
    QSettings* get() const { return settings_; }

private:
    QSettings* settings_;
    bool owned_;
};

QString Name(const char* name) { return QString::fromUtf8(name); }

}  // namespace

SettingsStatus ReadSettingUint(const char* name, uint32_t& value, uint32_t defaultValue,
                     QSettings* settings) {
    value = defaultValue;
    SettingsScope scope(settings);
    if (!scope.get()) return SettingsStatus::kOk;
    const QVariant stored = scope.get()->value(Name(name));
    if (!stored.isValid()) return SettingsStatus::kNotFound;
    // Byte arrays are another type; numbers read back from the file as text.
    if (stored.typeId() == QMetaType::QByteArray) return SettingsStatus::kNotFound;
    bool ok = false;
    const qulonglong number = stored.toString().trimmed().toULongLong(&ok, 10);
    if (!ok || number > 0xFFFFFFFFull) return SettingsStatus::kNotFound;
    value = static_cast<uint32_t>(number);
    return SettingsStatus::kOk;
}

SettingsStatus WriteSettingUint(const char* name, uint32_t value, QSettings* settings) {
    SettingsScope scope(settings);
    if (!scope.get()) return SettingsStatus::kOk;
    scope.get()->setValue(Name(name), QVariant::fromValue<uint>(value));
    return SettingsStatus::kOk;
}

uint32_t ReadWriterOptions(std::string_view extension) {
    uint32_t word = kAllOptions;
    ReadSettingUint(WriterOptionName(extension).c_str(), word, kAllOptions);
    return word;
}

std::string ReadSettingString(const char* name, QSettings* settings) {
    SettingsScope scope(settings);
    if (!scope.get()) return std::string();
    const QVariant stored = scope.get()->value(Name(name));
    if (!stored.isValid() || stored.typeId() == QMetaType::QByteArray) return std::string();
    return stored.toString().toStdString();
}

SettingsStatus WriteSettingString(const char* name, const std::string& value, QSettings* settings) {
    SettingsScope scope(settings);
    if (!scope.get()) return SettingsStatus::kOk;
    scope.get()->setValue(Name(name), QString::fromStdString(value));
    return SettingsStatus::kOk;
}

double StoredBatchSettings::AscentThreshold() const {
    uint32_t metres = 0;
    ReadSettingUint(kSettingAscentThreshold, metres,
                    static_cast<uint32_t>(kDefaultAscentThreshold));
    return metres;
}

SettingsStatus ReadSettingBytes(const char* name, void* buffer, uint32_t& size, QSettings* settings) {
    SettingsScope scope(settings);
    if (!scope.get()) return SettingsStatus::kOk;
    const QVariant stored = scope.get()->value(Name(name));
    if (!stored.isValid()) return SettingsStatus::kNotFound;
    const QByteArray bytes = stored.toByteArray();
    if (static_cast<qsizetype>(size) < bytes.size()) return SettingsStatus::kTooLong;
    if (!bytes.isEmpty()) std::memcpy(buffer, bytes.constData(), static_cast<size_t>(bytes.size()));
    size = static_cast<uint32_t>(bytes.size());
    return SettingsStatus::kOk;
}

SettingsStatus WriteSettingBytes(const char* name, const void* data, uint32_t size, QSettings* settings) {
    SettingsScope scope(settings);
    if (!scope.get()) return SettingsStatus::kOk;
    scope.get()->setValue(Name(name),
                          QByteArray(static_cast<const char*>(data), static_cast<qsizetype>(size)));
    return SettingsStatus::kOk;
}

namespace {

std::string RuleName(int index) {
    char name[16];
    std::snprintf(name, sizeof name, "%03d", index);
    return name;
}

}  // namespace

SettingsStatus SaveRule(int index, const ExclusionRule& rule, QSettings* settings) {
    return WriteSettingBytes(RuleName(index).c_str(), &rule, sizeof rule, settings);
}

SettingsStatus LoadRule(int index, ExclusionRule& rule, QSettings* settings) {
    SettingsScope scope(settings);
    if (!scope.get()) return SettingsStatus::kNotFound;  // nothing was read into the rule
    ExclusionRule loaded{};
    uint32_t size = sizeof loaded;
    const SettingsStatus status = ReadSettingBytes(RuleName(index).c_str(), &loaded, size, scope.get());
    if (status != SettingsStatus::kOk) return status;
    if (size != sizeof loaded) return SettingsStatus::kNotFound;
    rule = loaded;
    return SettingsStatus::kOk;
}

std::vector<ExclusionRule> LoadStoredRules(QSettings* settings) {
    std::vector<ExclusionRule> rules;
    SettingsScope scope(settings);
    if (!scope.get()) return rules;
    uint32_t count = 0;
    ReadSettingUint(kSettingRules, count, 0, scope.get());
    // The numbers below the count whose "%03d" name is in the store.
    std::vector<int> numbers;
    for (const QString& name : scope.get()->childKeys()) {
        bool ok = false;
        const uint number = name.toUInt(&ok, 10);
        if (!ok || number >= count || number > 0x7FFFFFFFu) continue;
        if (RuleName(static_cast<int>(number)) != name.toStdString()) continue;
        numbers.push_back(static_cast<int>(number));
    }
    std::sort(numbers.begin(), numbers.end());
    std::string text;
    for (int number : numbers) {
        ExclusionRule rule{};
        if (LoadRule(number, rule, scope.get()) == SettingsStatus::kOk && DescribeRule(rule, text))
            rules.push_back(rule);
    }
    return rules;
}

float ReadStoredGeoidHeight(QSettings* settings) {
    const float height = ReadSettingFloat(kSettingGeoidHeight, kDefaultGeoidHeight, settings);
    return std::isfinite(height) ? height : kDefaultGeoidHeight;
}

float ReadSettingFloat(const char* name, float defaultValue, QSettings* settings) {
    uint32_t bits;
    std::memcpy(&bits, &defaultValue, sizeof bits);
    ReadSettingUint(name, bits, bits, settings);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

SettingsStatus WriteSettingFloat(const char* name, float value, QSettings* settings) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return WriteSettingUint(name, bits, settings);
}

WindowPlacement ReadTrackViewPlacement(QSettings* settings) {
    SettingsScope scope(settings);
    WindowPlacement placement;
    if (!scope.get()) return placement;
    uint32_t x, y, width, height, shown;
    placement.hasPosition = ReadSettingUint(kSettingTrackViewX, x, 0, scope.get()) == SettingsStatus::kOk &&
                            ReadSettingUint(kSettingTrackViewY, y, 0, scope.get()) == SettingsStatus::kOk;
    if (placement.hasPosition) {
        placement.x = static_cast<int32_t>(x);
        placement.y = static_cast<int32_t>(y);
    }
    const bool sized =
        ReadSettingUint(kSettingTrackViewWidth, width, 0, scope.get()) == SettingsStatus::kOk &&
        ReadSettingUint(kSettingTrackViewHeight, height, 0, scope.get()) == SettingsStatus::kOk;
    placement.hasSize = sized && static_cast<int32_t>(width) > 0 && static_cast<int32_t>(height) > 0;
    if (placement.hasSize) {
        placement.width = static_cast<int32_t>(width);
        placement.height = static_cast<int32_t>(height);
    }
    ReadSettingUint(kSettingTrackViewShown, shown, 0, scope.get());
    placement.shown = shown != 0;
    return placement;
}

void WriteTrackViewPlacement(const WindowPlacement& placement, QSettings* settings) {
    SettingsScope scope(settings);
    if (!scope.get()) return;
    if (placement.hasPosition) {
        WriteSettingUint(kSettingTrackViewX, static_cast<uint32_t>(placement.x), scope.get());
        WriteSettingUint(kSettingTrackViewY, static_cast<uint32_t>(placement.y), scope.get());
    }
    if (placement.hasSize) {
        WriteSettingUint(kSettingTrackViewWidth, static_cast<uint32_t>(placement.width),
                         scope.get());
        WriteSettingUint(kSettingTrackViewHeight, static_cast<uint32_t>(placement.height),
                         scope.get());
    }
    WriteSettingUint(kSettingTrackViewShown, placement.shown ? 1u : 0u, scope.get());
}

StoredSelection LoadStoredSelection() {
    StoredSelection stored;
    QSettings* settings = OpenSettings();
    stored.rules = LoadStoredRules(settings);
    // The window shows the height with two decimals and reads that text back
    // at export; the batch run uses the same value.
    const float geoid = ReadStoredGeoidHeight(settings);
    std::string shown;
    AppendFixed(shown, geoid, 2);
    stored.geoidHeight = static_cast<float>(ParseReal(shown));
    ReadSettingUint(kSettingSmoothPoint, stored.smoothingWidth, kDefaultSmoothPoint, settings);
    uint32_t bits = 0;
    ReadSettingUint(kSettingOptions, bits, 0, settings);
    stored.geoidOn = bits & kOptionGeoidChecked;
    stored.smoothOn = bits & kOptionSmoothChecked;
    CloseSettings(settings);
    return stored;
}

}  // namespace ferolin
