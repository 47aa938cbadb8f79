#include "formats/format_table.h"

#include "core/paths.h"
#include "core/selection.h"
#include "core/strings.h"
#include "formats/bluegps.h"
#include "formats/csv.h"
#include "formats/fit.h"
#include "formats/geojson.h"
#include "formats/native.h"
#include "formats/ozi_plt.h"
#include "formats/pcx5.h"
#include "formats/gpx.h"
#include "formats/kml.h"
#include "formats/kmz.h"
#include "formats/rando.h"
#include "formats/tcx.h"
#include "formats/magellan.h"
#include "formats/nmea.h"
#include "formats/nmea_sentences.h"
#include "formats/text_table.h"

namespace ferolin {

namespace {

constexpr uint32_t kAllData = 0xFFFF;
constexpr uint32_t kPositionOnly = kDataLatitude | kDataLongitude | kDataAltitude;  // 0x000E
// FIT records carry place, height, speed and the record count; no DOPs,
// satellites or heading.
constexpr uint32_t kFitData = kPositionOnly | kDataSpeed | kDataRecord;
// TCX trackpoints hold the same.
constexpr uint32_t kTcxData = kFitData;

template <auto Read>
constexpr ReaderFn R = WithoutSensors<Read>;
template <auto Write>
constexpr WriterFn W = WithoutSensors<Write>;

// Rows whose reader or writer belongs to a format not handled yet carry none.
constexpr FormatEntry kFormatTable[] = {
    // extension, filter,         reader,             writer,              field mask, options
    {"nmea", kStrFilterNmea, R<ReadNmeaLog>,     W<WriteNmeaFile>,    kAllData, kNmeaOptions},
    {"nme",  0,              R<ReadNmeaLog>,     nullptr,             kAllData},
    {"log",  0,              R<ReadBlueGpsLog>,  nullptr,             kAllData},
    {"rbt",  0,              nullptr,            nullptr,             kAllData, {}, DeviceRow::kLoggerDownload},
    {"frn",  kStrFilterFrn,  R<ReadNativeTrack>, W<WriteNativeTrack>, kAllData},
    {"txt",  kStrFilterTxt,  R<ReadBlueGpsLog>,  WriteTextTable,      kAllData, kTableOptions},
    {"trk",  kStrFilterTrk,  R<ReadPcx5Track>,   W<WritePcx5Track>,   kPositionOnly},
    {"log",  kStrFilterLog,  R<ReadMagellanLog>, W<WriteMagellanLog>, kPositionOnly},
    {"trk",  0,              R<ReadMagellanLog>, nullptr,             kPositionOnly},
    {"upt",  0,              R<ReadMagellanLog>, nullptr,             kPositionOnly},
    {"plt",  kStrFilterPlt,  ReadOziTrack,       WriteOziTrack,       kPositionOnly},
    {"gpx",  kStrFilterGpx,  ReadGpxTrack,       WriteGpxTrack,       kAllData, kGpxOptions, DeviceRow::kNone, true},
    {"kml",  kStrFilterKml,  ReadKmlTrack,       WriteKmlDocument,    kPositionOnly, kKmlOptions, DeviceRow::kNone, true},
    {"kmz",  kStrFilterKmz,  ReadKmzFile,        WriteKmzFile,        kPositionOnly, {}, DeviceRow::kNone, true},
    {"rdn",  kStrFilterRdn,  R<ReadRandoHike>,   W<WriteRandoHike>,   kPositionOnly},
    {"csv",  kStrFilterCsv,  nullptr,            WriteCsvTable,       0, kCsvOptions},
    {"fit",  kStrFilterFit,  ReadFitFile,        WriteFitFile,        kFitData, kFitOptions},
    {"tcx",  kStrFilterTcx,  ReadTcxFile,        WriteTcxFile,        kTcxData},
    {"geojson", kStrFilterGeoJson, ReadGeoJsonFile, WriteGeoJsonFile, kPositionOnly, {}, DeviceRow::kNone, true},
    {"com",  0,              nullptr,            nullptr,             0, kNmeaPortOptions,
     DeviceRow::kNmeaReplay},
};

static_assert(std::size(kFormatTable) == 20);

// A writer without a stored word gets kAllOptions: every option a writer
// declares must be on by default, and no two of its options share a bit.
constexpr bool DeclarationsFitTheDefaultWord() {
    for (const FormatEntry& row : kFormatTable) {
        uint32_t seen = 0;
        for (const WriterOption& option : row.options) {
            if (!option.byDefault || option.bits == 0 || (seen & option.bits) != 0) return false;
            seen |= option.bits;
        }
    }
    return true;
}
static_assert(DeclarationsFitTheDefaultWord(), "a writer option is off by default or shares a bit");

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
