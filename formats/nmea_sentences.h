// NMEA 0183 sentences as the NMEA file writer and the live port replay write
// them: the five sentence bodies, their checksums and their field texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/strings.h"
#include "core/text_format.h"
#include "core/track_point.h"
#include "formats/writer_options.h"

namespace ferolin {

// Sentence bits of the NMEA option word, in the order the sentences are
// written for each point. The low 20 bits are the port writer's baud rate.
constexpr uint32_t kNmeaGsa = 0x1000000;
constexpr uint32_t kNmeaGga = 0x2000000;
constexpr uint32_t kNmeaRmc = 0x4000000;
constexpr uint32_t kNmeaGll = 0x8000000;
constexpr uint32_t kNmeaVtg = 0x10000000;
constexpr uint32_t kNmeaBaudMask = 0xFFFFF;

// The options of the NMEA file writer; the box of GGA reads "CGA".
inline constexpr WriterOption kNmeaOptions[] = {
    // bit, name, kind, default, box text, column, row, box name
    {kNmeaGsa, "GSA", kOptionCheck, true, kStrGsa, 0, 0, "gsaCheck"},
    {kNmeaGga, "GGA", kOptionCheck, true, kStrCga, 1, 0, "cgaCheck"},
    {kNmeaRmc, "RMC", kOptionCheck, true, kStrRmc, 0, 1, "rmcCheck"},
    {kNmeaGll, "GLL", kOptionCheck, true, kStrGll, 1, 1, "gllCheck"},
    {kNmeaVtg, "VTG", kOptionCheck, true, kStrVtg, 0, 2, "vtgCheck"},
};
// The port writer's: the same sentences and the baud rate.
inline constexpr WriterOption kNmeaBaudRate[] = {
    {kNmeaBaudMask, "baud rate", kOptionNumber, true, 0, 0, 0, nullptr},
};
inline constexpr auto kNmeaPortOptions = JoinOptions(kNmeaOptions, kNmeaBaudRate);

// Exclusive-or of every character of the body after its first one (the "$").
uint8_t NmeaChecksum(std::string_view body);
// Closes the sentence whose "$" stands at `start` in the buffer: "*XX\r\n".
void EndNmeaSentence(TextBuffer& out, std::size_t start);

// Latitude "%02d%07.4f" (whole degrees of the absolute value, then the rest as
// minutes; no carry when the minutes print as 60.0000) and its hemisphere.
void AppendNmeaLatitude(TextBuffer& out, double latitude);
char NmeaLatitudeHemisphere(double latitude);   // 'N' for 0 or more, else 'S'
// Longitude "%03d%07.4f" likewise, 'E' or 'W'.
void AppendNmeaLongitude(TextBuffer& out, double longitude);
char NmeaLongitudeHemisphere(double longitude);

// The file writer's time "%02d%02d%06.3f" from the point's hour, minute and
// seconds (printed seconds stop at 59.999), and date "%02d%02d%02d" from its
// day, month and year modulo 100.
void AppendNmeaPointTime(TextBuffer& out, const TrackPoint& point);
void AppendNmeaPointDate(TextBuffer& out, const TrackPoint& point);

// Appends the sentences that `options` selects for one export entry, each as
// "body*XX\r\n", with the given time and date field texts.
void AppendNmeaSentences(TextBuffer& out, const ExportEntry& entry, uint32_t options,
                         std::string_view time, std::string_view date);

}  // namespace ferolin
