#include "core/strings.h"

#include "core/version.h"

namespace ferolin {

namespace {

struct StringEntry {
    int id;
    const char* text;
};

constexpr StringEntry kStringTable[] = {
    {kStrFilterOpen,
     "Ferolin (*.frn, *.log, *.txt, *.nme, *.nmea, *.plt, *.trk, *.gpx, *.rdn, *.kml, *.fit, "
     "*.tcx, *.geojson)|"
     "*.frn;*.log;*.txt;*.nme;*.nmea;*.plt;*.trk;*.gpx;*.rdn;*.kml;*.fit;*.tcx;*.geojson|"
     "Ferolin (*.frn)|*.frn|BlueGPS Datalog (*.log, *.txt)|*.log;*.txt|"
     "NMEA trace (*.nme, *.nmea)|*.nme;*.nmea|OziExplorer track (*.plt)|*.plt|"
     "PCX5 track (*.trk)|*.trk|GPS eXchange (*.gpx)|*.gpx|Magellan SD (*.log)|*.log|"
     "IGN Rando (*.rdn)|*.rdn|Google Earth (*.kml)|*.kml|Google Earth archive (*.kmz)|*.kmz|Garmin FIT (*.fit)|*.fit|"
     "Garmin Training Center (*.tcx)|*.tcx|GeoJSON (*.geojson)|*.geojson|"},
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
    {kStrFilterKmz, "Google Earth archive (*.kmz)|*.kmz|"},
    {kStrFilterNmea, "NMEA (*.nmea)|*.nmea|"},
    {kStrDownloadedFromGps, "Downloaded from GPS"},
    {kStrFilterFrn, "Ferolin (*.frn)|*.frn|"},
    {kStrFilterCsv, "CSV (*.csv)|*.csv|"},
    {kStrNoPointToWrite, "No track point to write."},
    {kStrFilterRdn, "IGN Rando (*.rdn)|*.rdn|"},
    {kStrFilterAllFiles, "All files (*.*)|*.*||"},
    {kStrFilterLog, "Magellan SD (*.log)|*.log|"},
    {kStrFilterFit, "Garmin FIT (*.fit)|*.fit|"},
    {kStrFilterTcx, "Garmin Training Center (*.tcx)|*.tcx|"},
    {kStrFilterGeoJson, "GeoJSON (*.geojson)|*.geojson|"},
    {kStrOutputIsInput, "The output would replace the input file."},
    {kStrSharedOutput, "Another input of this run writes the same output."},

    // The window.
    {kStrAboutMenu, "&About Ferolin..."},
    {kStrExport, "Export"},
    {kStrOpen, "Open"},
    {kStrExit, "Exit"},
    {kStrSpeedColumn, "Speed(KMs/hr)"},
    {kStrVersion, FEROLIN_VERSION},
    {kStrOptionsCaption, "Options"},
    {kStrDate, "Date"},
    {kStrTime, "Time"},
    {kStrStatistics, "Statistics"},
    {kStrDateTime, "Date / Time"},
    {kStrMakerPage, "https://ferolin.org/"},
    {kStrMakerAddress, "ferolin.org"},
    {kStrDownload, "Download"},
    {kStrOptions, "Options"},
    {kStrShowDetails, "Show details"},
    {kStrSetStartTime, "Set as start time"},
    {kStrSetStopTime, "Set as stop time"},
    {kStrExclude, "Exclude"},
    {kStrViewGoogleEarth, "View in Google Earth"},
    {kStrDonationPage, "https://ferolin.org/support"},
    {kStrViewVirtualEarth, "View in MSN Virtual Earth"},
    // Bing Maps: map centre cp, road style, zoom 10, a pushpin sp with a title.
    {kStrVirtualEarthAddress,
     "https://www.bing.com/maps/default.aspx?cp=%f~%f&style=r&lvl=10&v=2&sp=an.%f_%f_%05d_%s"},
    {kStrWaypointsList, "Waypoints list"},
    {kStrVerticalExtrusion, "Vertical extrusion"},
    {kStrTessellation, "Tessellation"},
    {kStrAbsoluteAltitude, "Absolute altitude"},
    {kStrGsa, "GSA"},
    {kStrCga, "CGA"},
    {kStrRmc, "RMC"},
    {kStrGll, "GLL"},
    {kStrVtg, "VTG"},
    {kStrViewGoogleMaps, "View in Google Maps"},
    // Google Maps search of the point's coordinates; the record number and
    // the text travel along in the fragment, which the page ignores.
    {kStrGoogleMapsAddress, "https://www.google.com/maps/search/?api=1&query=%2$f,%3$f#%1$d~%4$s"},
    {kStrFitActivity, "Activity file (cleared: a course for navigation)"},
};

// Two entries with one id would leave the second unreachable: the table is
// checked when the program is compiled.
constexpr bool IdsAreDistinct() {
    for (const auto& a : kStringTable)
        for (const auto& b : kStringTable)
            if (&a != &b && a.id == b.id) return false;
    return true;
}
static_assert(IdsAreDistinct(), "two string-table entries share an id");

}  // namespace

const char* LoadString(int id) {
    for (const auto& entry : kStringTable)
        if (entry.id == id) return entry.text;
    return "";
}

}  // namespace ferolin
