#include "desktop/map_viewers.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

#include <cerrno>

#include "core/strings.h"
#include "core/text_format.h"
#include "core/xml_text.h"
#include "desktop/window_text.h"

namespace ferolin {

namespace {

UrlOpener& Opener() {
    static UrlOpener opener;
    return opener;
}

std::string TempFolder() { return QDir::tempPath().toStdString(); }

// Writes the whole text to a descriptor, retrying short writes.
bool WriteAll(int fd, const std::string& text) {
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// Removes what stands at `path` when it is the user's own, so that the file
// can be created anew; true when nothing stands there any more.
bool ClearTempName(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) return errno == ENOENT;
    if (info.st_uid != geteuid() || S_ISDIR(info.st_mode)) return false;
    return unlink(path.c_str()) == 0;
}

}  // namespace

UrlOpener SetUrlOpener(UrlOpener opener) {
    UrlOpener previous = std::move(Opener());
    Opener() = std::move(opener);
    return previous;
}

bool OpenUrl(const QUrl& url) {
    if (Opener()) return Opener()(url);
    return QDesktopServices::openUrl(url);
}

void OpenWebPage(int stringId) { OpenUrl(QUrl(LoadQString(stringId))); }

std::string OnePointKml(const std::string& title, const TrackPoint& p) {
    std::string name = title + " - " + IntText(p.record, 5);
    std::string kml;
    kml += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
    kml += "<kml xmlns=\"http://earth.google.com/kml/2.0\">\r\n";
    kml += "<Placemark>\r\n";
    kml += "<name>";
    AppendXmlText(kml, name);
    kml += "</name>\r\n";
    kml += "<description><![CDATA[";
    kml += IntText(p.day, 2) + "/" + IntText(p.month, 2) + "/" + IntText(p.year) + " " +
           IntText(p.hour, 2) + ":" + IntText(p.minute, 2) + ":" +
           IntText(TruncateToInt(p.seconds), 2);
    kml += "<br>Altitude " + FixedText(p.altitude, 2) + " Meters<br>Speed " +
           FixedText(p.speed, 2) + " KMs/hr";
    kml += "]]></description>\r\n";
    kml += "<Style><IconStyle><Icon><href>root://icons/palette-3.png</href><x>160</x><w>32</w>"
           "<h>32</h></Icon></IconStyle></Style>\r\n";
    kml += "<Point>\r\n";
    kml += "<altitudeMode>absolute</altitudeMode>\r\n";
    kml += "<extrude>1</extrude>\r\n";
    kml += "<coordinates>" + FixedText(p.longitude, 6) + "," + FixedText(p.latitude, 6) + "," +
           FixedText(p.altitude, 6) + "</coordinates></Point>\r\n";
    kml += "</Placemark>\r\n";
    kml += "</kml>\r\n";
    return kml;
}

std::string TempKmlPath(const std::string& title, const TrackPoint& point) {
    return TempFolder() + "/frn_" + title + "_" + IntText(point.record, 5) + ".kml";
}

int ShowPointInGoogleEarth(const std::string& title, const TrackPoint* point) {
    if (!point) return 1;
    const std::string path = TempKmlPath(title, *point);
    const std::string text = OnePointKml(title, *point);
    if (!ClearTempName(path)) return 1;
    // O_EXCL with O_NOFOLLOW: a name planted again between the removal and
    // the creation makes the creation fail instead of being written through.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return 1;
    const bool written = WriteAll(fd, text);
    const bool closed = close(fd) == 0;
    if (!written || !closed) {
        unlink(path.c_str());
        return 1;
    }
    OpenUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
    return 0;
}

void DeleteTempKmlFiles() {
    const std::string folder = TempFolder();
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        // Only names the program makes, "frn_..."; a user's own "frnotes.kml"
        // in the same folder is none of its files.
        if (name.size() < 8 || name.compare(0, 4, "frn_") != 0 ||
            name.compare(name.size() - 4, 4, ".kml") != 0)
            continue;
        const std::string path = folder + "/" + std::string(name);
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || info.st_uid != geteuid() || S_ISDIR(info.st_mode))
            continue;
        unlink(path.c_str());
    }
    closedir(dir);
}

std::string GoogleMapsAddress(const TrackPoint& p) {
    const TemplateArgument arguments[] = {
        TemplateArgument::Int(p.record), TemplateArgument::Real(p.latitude),
        TemplateArgument::Real(p.longitude), TemplateArgument::Text("")};
    return FormatTemplate(LoadString(kStrGoogleMapsAddress), arguments, 4);
}

std::string VirtualEarthAddress(const TrackPoint& p) {
    const TemplateArgument arguments[] = {
        TemplateArgument::Real(p.latitude),  TemplateArgument::Real(p.longitude),
        TemplateArgument::Real(p.latitude),  TemplateArgument::Real(p.longitude),
        TemplateArgument::Int(p.record),     TemplateArgument::Text("")};
    return FormatTemplate(LoadString(kStrVirtualEarthAddress), arguments, 6);
}

}  // namespace ferolin
