// The user's settings between runs: selection rules, geoid height, smoothing,
// option bits, window positions and the writers' option words, kept by
// QSettings under the organisation name "Ferolix" (the file Ferolix.conf in
// $XDG_CONFIG_HOME).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "convert/batch.h"
#include "core/selection.h"

class QSettings;

namespace ferolin {

// How an access to the settings ended.
enum class SettingsStatus : uint8_t {
    kOk,
    kNotFound,  // no settings, or no value under the name
    kTooLong,   // the stored value does not fit the buffer given
};

// Opens (creating when needed) the user's settings; nullptr when they are
// unavailable. CloseSettings writes them out and deletes the object.
QSettings* OpenSettings();
void CloseSettings(QSettings* settings);

// Every function takes optional open settings; without them it opens the
// settings for this one access. When the settings cannot be opened they
// return 0 and leave the store (and, for reads, the default) alone.

// An unsigned 32-bit number; any missing or non-numeric value yields the
// default.
SettingsStatus ReadSettingUint(const char* name, uint32_t& value, uint32_t defaultValue,
                     QSettings* settings = nullptr);
SettingsStatus WriteSettingUint(const char* name, uint32_t value, QSettings* settings = nullptr);
// Up to `size` bytes of a byte-array value; `size` becomes the number read.
// A value longer than the buffer is refused with SettingsStatus::kTooLong.
SettingsStatus ReadSettingBytes(const char* name, void* buffer, uint32_t& size,
                      QSettings* settings = nullptr);
SettingsStatus WriteSettingBytes(const char* name, const void* data, uint32_t size,
                       QSettings* settings = nullptr);

// The stored option word of the writer of `extension`; every option when
// none is stored.
uint32_t ReadWriterOptions(std::string_view extension);

// The selection the window would apply, as stored.
StoredSelection LoadStoredSelection();

// The stored settings as the batch run takes them.
class StoredBatchSettings : public BatchSettings {
public:
    StoredSelection Selection() const override { return LoadStoredSelection(); }
    uint32_t WriterOptions(std::string_view extension) const override {
        return ReadWriterOptions(extension);
    }
    double AscentThreshold() const override;
};

// Rule number `index` under the key "%03d": 16 bytes. A stored value of
// any other length is damaged and does not load.
SettingsStatus SaveRule(int index, const ExclusionRule& rule, QSettings* settings = nullptr);
SettingsStatus LoadRule(int index, ExclusionRule& rule, QSettings* settings = nullptr);

// The saved exclusion rules, in number order: the keys "000", "001", ...
// below the stored "Rules" count. Only keys the store actually holds are
// read, so a damaged count costs nothing; a rule that does not load or that
// the rule list cannot show is dropped.
std::vector<ExclusionRule> LoadStoredRules(QSettings* settings);

// The saved geoid height; a value that is not a finite number counts as
// missing and gives the default.
float ReadStoredGeoidHeight(QSettings* settings);

// A text value in UTF-8; "" when missing or not text.
std::string ReadSettingString(const char* name, QSettings* settings = nullptr);
SettingsStatus WriteSettingString(const char* name, const std::string& value, QSettings* settings = nullptr);

// A float kept as the bits of a 32-bit number.
float ReadSettingFloat(const char* name, float defaultValue, QSettings* settings = nullptr);
SettingsStatus WriteSettingFloat(const char* name, float value, QSettings* settings = nullptr);

// Keys and defaults. The positions of the main dialog and the point details
// keep the keys earlier releases wrote, so that stored positions still load.
inline constexpr const char* kSettingRules = "Rules";
inline constexpr const char* kSettingGeoidHeight = "GeoidHeight";
inline constexpr const char* kSettingSmoothPoint = "SmoothPoint";
inline constexpr const char* kSettingOptions = "Options";
inline constexpr const char* kSettingMainDialogX = "MainDlgX";
inline constexpr const char* kSettingMainDialogY = "MainDlgY";
// The main dialog's size (its client area, in screen pixels), since the
// window became resizable; missing: the default size.
inline constexpr const char* kSettingMainDialogWidth = "MainDlgWidth";
inline constexpr const char* kSettingMainDialogHeight = "MainDlgHeight";
inline constexpr const char* kSettingPointDetailsX = "InfoDlgX";
inline constexpr const char* kSettingPointDetailsY = "InfoDlgY";
constexpr float kDefaultGeoidHeight = 45.0f;
constexpr uint32_t kDefaultSmoothPoint = 5;
// Bits of "Options".
constexpr uint32_t kOptionGeoidChecked = 0x8;
constexpr uint32_t kOptionSmoothChecked = 0x10;
constexpr uint32_t kOptionDetailsOpen = 0x80000000u;

// The track view's placement: the top-left corner of its frame and its size
// in screen pixels, and whether it was open when the program ended.
inline constexpr const char* kSettingTrackViewX = "TrackViewX";
inline constexpr const char* kSettingTrackViewY = "TrackViewY";
inline constexpr const char* kSettingTrackViewWidth = "TrackViewWidth";
inline constexpr const char* kSettingTrackViewHeight = "TrackViewHeight";
inline constexpr const char* kSettingTrackViewShown = "TrackViewShown";

// The figures' dead band for ascent and descent, whole metres (default 5).
inline constexpr const char* kSettingAscentThreshold = "AscentThreshold";
// The track view's map: the tile source (a URL template with {z}, {x} and {y},
// or a file:// folder; missing or empty: OpenStreetMap) and whether the map
// is shown (1, the default, or 0).
inline constexpr const char* kSettingMapTiles = "MapTiles";
inline constexpr const char* kSettingMapShown = "MapShown";
// What the track view's outline is coloured by: "Altitude" (missing: the
// default), "Speed", "Heart rate", "Cadence", "Power" or "Temperature".
inline constexpr const char* kSettingOutlineColour = "OutlineColour";

struct WindowPlacement {
    bool hasPosition = false;  // both coordinates stored
    int32_t x = 0, y = 0;
    bool hasSize = false;  // both extents stored and positive
    int32_t width = 0, height = 0;
    bool shown = false;
};

WindowPlacement ReadTrackViewPlacement(QSettings* settings = nullptr);
// Writes the position and the size only when the placement has them.
void WriteTrackViewPlacement(const WindowPlacement& placement, QSettings* settings = nullptr);

}  // namespace ferolin
