// Delimiter-separated table for spreadsheets (written only).
#pragma once

#include <cstdint>
#include <string>

#include "core/sensors.h"
#include "core/track_point.h"

namespace ferolin {

// Separator bits: tab wins over comma; neither gives the semicolon.
constexpr uint32_t kOptionCsvTab = 0x20000;
constexpr uint32_t kOptionCsvComma = 0x40000;

// Sensor channels as in the text table: one column per channel present.
int WriteCsvTable(const std::string& path, const ExportEntry* entries, uint32_t count,
                  uint32_t options, const SensorChannels* sensors = nullptr);

}  // namespace ferolin
