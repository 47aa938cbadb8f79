#include "core/strings.h"

namespace ferolin {

namespace {

struct StringEntry {
    int id;
    const char* text;
};

const StringEntry kStringTable[] = {
    {kStrFilterOpen,
     "Ferolin (*.frn, *.log, *.txt, *.nme, *.nmea, *.plt, *.trk, *.gpx, *.rdn, *.kml)|"
     "*.frn;*.log;*.txt;*.nme;*.nmea;*.plt;*.trk;*.gpx;*.rdn;*.kml|"
     "Ferolin (*.frn)|*.frn|BlueGPS Datalog (*.log, *.txt)|*.log;*.txt|"
     "NMEA trace (*.nme, *.nmea)|*.nme;*.nmea|OziExplorer track (*.plt)|*.plt|"
     "PCX5 track (*.trk)|*.trk|GPS eXchange (*.gpx)|*.gpx|Magellan SD (*.log)|*.log|"
     "IGN Rando (*.rdn)|*.rdn|Google Earth (*.kml)|*.kml|"},
    {kStrFilterTxt, "Text (*.txt)|*.txt|"},
    {kStrFilterGpx, "GPS eXchange (*.gpx)|*.gpx|"},
    {kStrCannotOpen, "Cannot open the file."},
    {kStrCannotWrite, "Cannot write to the file."},
    {kStrNoPointInFile, "No track point in the file."},
    {kStrFilterTrk, "Garmin PCX5 track (*.trk)|*.trk|"},
    {kStrRecord, "Record"},
    {kStrFilterPlt, "OziExplorer track (*.plt)|*.plt|"},
    {kStrIsEqualTo, "is equal to"},
    {kStrIsGreaterThan, "is greater than"},
    {kStrIsLessThan, "is less than"},
    {kStrAltitude, "Altitude"},
    {kStrLatitude, "Latitude"},
    {kStrLongitude, "Longitude"},
    {kStrSatelliteNo, "Satellite No"},
    {kStrSpeed, "Speed"},
    {kStrDirection, "Direction"},
    {kStrHdop, "HDOP"},
    {kStrPdop, "PDOP"},
    {kStrVdop, "VDOP"},
    {kStrFilterKml, "Google Earth (*.kml)|*.kml|"},
    {kStrFilterNmea, "NMEA (*.nmea)|*.nmea|"},
    {kStrDownloadedFromGps, "Downloaded from GPS"},
    {kStrFilterFrn, "Ferolin (*.frn)|*.frn|"},
    {kStrFilterCsv, "CSV (*.csv)|*.csv|"},
    {kStrNoPointToWrite, "No track point to write."},
    {kStrFilterRdn, "IGN Rando (*.rdn)|*.rdn|"},
    {kStrFilterAllFiles, "All files (*.*)|*.*||"},
    {kStrFilterLog, "Magellan SD (*.log)|*.log|"},
};

}  // namespace

const char* LoadString(int id) {
    for (const auto& entry : kStringTable)
        if (entry.id == id) return entry.text;
    return "";
}

}  // namespace ferolin
