// Showing one track point outside the program: a one-point KML file handed to
// the desktop's KML handler (normally Google Earth), and web maps.
#pragma once

#include <functional>
#include <string>

#include "core/track_point.h"

class QUrl;

namespace ferolin {

// Every file and web address leaves the program through this one hook; by
// default QDesktopServices::openUrl (xdg-open). Tests install a recorder.
using UrlOpener = std::function<bool(const QUrl&)>;
// Installs `opener` and returns the one it replaces; an empty function
// restores the desktop's handler.
UrlOpener SetUrlOpener(UrlOpener opener);
bool OpenUrl(const QUrl& url);
// Opens a web address of the string table (the maker's page, the donation page).
void OpenWebPage(int stringId);

// The text of the one-point KML file for `title` and `point`.
std::string OnePointKml(const std::string& title, const TrackPoint& point);
// QDir::tempPath() + "/frn_<title>_<record %05d>.kml".
std::string TempKmlPath(const std::string& title, const TrackPoint& point);

// Writes the one-point KML file into the temporary folder and hands it to the
// desktop. The folder is shared and the name predictable, so the file is
// created afresh: an entry already standing at the name is removed first when
// it belongs to the user (a symbolic link is removed, never written through)
// and anything else makes the call fail. 0 when handed over; 1 when there is
// no point or the file cannot be written.
int ShowPointInGoogleEarth(const std::string& title, const TrackPoint* point);

// Removes the temporary KML files of this program: the user's entries of the
// temporary folder named frn*.kml.
void DeleteTempKmlFiles();

// The web-map addresses of a point, from the string-table templates.
std::string GoogleMapsAddress(const TrackPoint& point);
std::string VirtualEarthAddress(const TrackPoint& point);

}  // namespace ferolin
