// The program's string table: messages, labels and file-dialog filters by id.
#pragma once

namespace ferolin {

enum StringId : int {
    kStrFilterOpen = 105,
    kStrFilterTxt = 106,
    kStrFilterGpx = 107,
    kStrCannotOpen = 108,
    kStrCannotWrite = 109,
    kStrNoPointInFile = 110,
    kStrFilterTrk = 111,
    kStrRecord = 117,
    kStrFilterPlt = 119,
    kStrIsEqualTo = 120,
    kStrIsGreaterThan = 121,
    kStrIsLessThan = 122,
    kStrAltitude = 123,
    kStrLatitude = 124,
    kStrLongitude = 125,
    kStrSatelliteNo = 126,
    kStrSpeed = 127,
    kStrDirection = 128,
    kStrHdop = 129,
    kStrPdop = 130,
    kStrVdop = 131,
    kStrFilterKml = 134,
    kStrFilterNmea = 145,
    kStrDownloadedFromGps = 146,
    kStrFilterFrn = 153,
    kStrFilterCsv = 155,
    kStrNoPointToWrite = 157,
    kStrFilterRdn = 158,
    kStrFilterAllFiles = 159,
    kStrFilterLog = 171,
};

// The text of a string-table entry; "" for an unknown id.
const char* LoadString(int id);

}  // namespace ferolin
