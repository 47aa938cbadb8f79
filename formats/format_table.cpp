#include "formats/format_table.h"

#include "core/paths.h"
#include "core/selection.h"
#include "core/strings.h"
#include "formats/bluegps.h"
#include "formats/csv.h"
#include "formats/native.h"
#include "formats/ozi_plt.h"
#include "formats/pcx5.h"
#include "formats/gpx.h"
#include "formats/kml.h"
#include "formats/rando.h"
#include "formats/magellan.h"
#include "formats/nmea.h"
#include "formats/text_table.h"

namespace ferolin {

namespace {

constexpr uint32_t kAllData = 0xFFFF;
constexpr uint32_t kPositionOnly = kDataLatitude | kDataLongitude | kDataAltitude;  // 0x000E

// Rows whose reader or writer belongs to a format not handled yet carry none.
constexpr FormatEntry kFormatTable[] = {
    // extension, filter,         reader,          writer,         field mask
    {"nmea", kStrFilterNmea, ReadNmeaLog,      WriteNmeaFile,  kAllData},
    {"nme",  0,              ReadNmeaLog,      nullptr,        kAllData},
    {"log",  0,              ReadBlueGpsLog,   nullptr,        kAllData},
    {"rbt",  0,              nullptr,          nullptr,        kAllData, DeviceRow::kLoggerDownload},
    {"frn",  kStrFilterFrn,  ReadNativeTrack,  WriteNativeTrack, kAllData},
    {"txt",  kStrFilterTxt,  ReadBlueGpsLog,   WriteTextTable, kAllData},
    {"trk",  kStrFilterTrk,  ReadPcx5Track,    WritePcx5Track, kPositionOnly},
    {"log",  kStrFilterLog,  ReadMagellanLog,  WriteMagellanLog, kPositionOnly},
    {"trk",  0,              ReadMagellanLog,  nullptr,        kPositionOnly},
    {"upt",  0,              ReadMagellanLog,  nullptr,        kPositionOnly},
    {"plt",  kStrFilterPlt,  ReadOziTrack,     WriteOziTrack,  kPositionOnly},
    {"gpx",  kStrFilterGpx,  ReadGpxTrack,    WriteGpxTrack,  kAllData},
    {"kml",  kStrFilterKml,  ReadKmlTrack,    WriteKmlDocument, kPositionOnly},
    {"rdn",  kStrFilterRdn,  ReadRandoHike,   WriteRandoHike, kPositionOnly},
    {"csv",  kStrFilterCsv,  nullptr,          WriteCsvTable,  0},
    {"com",  0,              nullptr,          nullptr,        0, DeviceRow::kNmeaReplay},
};

static_assert(std::size(kFormatTable) == 16);

}  // namespace

std::span<const FormatEntry> FormatTable() { return kFormatTable; }

int FindWriterRow(std::string_view extension) {
    const auto table = FormatTable();
    for (std::size_t i = 0; i < table.size(); ++i)
        if (HasWriter(table[i]) && EqualsIgnoreCase(table[i].extension, extension))
            return static_cast<int>(i);
    return -1;
}

std::string WriterOptionName(std::string_view extension) {
    return "WRT_" + ToUpper(extension);
}

}  // namespace ferolin
