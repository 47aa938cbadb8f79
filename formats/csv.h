// Delimiter-separated table for spreadsheets (written only).
#pragma once

#include <cstdint>
#include <string>

#include "core/sensors.h"
#include "core/track_point.h"
#include "formats/text_table.h"
#include "formats/writer_options.h"

namespace ferolin {

// Separator bits: tab wins over comma; neither gives the semicolon.
constexpr uint32_t kOptionCsvTab = 0x20000;
constexpr uint32_t kOptionCsvComma = 0x40000;

// The CSV writer's options: the text table's, then the separator, which the
// options sheet does not show (its page stores neither bit: a semicolon).
inline constexpr WriterOption kCsvSeparators[] = {
    {kOptionCsvTab, "tab", kOptionChoice, true, 0, 0, 0, nullptr},
    {kOptionCsvComma, "comma", kOptionChoice, true, 0, 0, 0, nullptr},
};
inline constexpr auto kCsvOptions = JoinOptions(kTableOptions, kCsvSeparators);

// Sensor channels as in the text table: one column per channel present; and
// as there, the track and segment columns after all others for a document
// of several tracks or segments.
int WriteCsvTable(const std::string& path, const ExportEntry* entries, uint32_t count,
                  uint32_t options, const SensorChannels* sensors = nullptr);

}  // namespace ferolin
