// The desktop integration files against the format table: the file types
// cover every extension a reader takes, the desktop entry offers the program
// for each of those types, and the bash completion offers every writer's
// extension.
#include <expat.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "formats/format_table.h"

namespace ferolin {
namespace {

const std::string kSourceDir = FEROLIN_SOURCE_DIR;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A shared-mime-info document: the globs of each type, "*.ext" only.
struct MimeDatabase {
    std::map<std::string, std::set<std::string>> globs;  // type -> extensions
    std::string currentType;
    bool wellFormed = false;
};

constexpr char kMimeNamespace[] = "http://www.freedesktop.org/standards/shared-mime-info";

std::string Attribute(const XML_Char** attributes, const char* name) {
    for (int i = 0; attributes[i]; i += 2)
        if (std::string(attributes[i]) == name) return attributes[i + 1];
    return std::string();
}

void StartElement(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto& db = *static_cast<MimeDatabase*>(data);
    const std::string element(name);
    if (element == std::string(kMimeNamespace) + "|mime-type") {
        db.currentType = Attribute(attributes, "type");
        db.globs[db.currentType];
    } else if (element == std::string(kMimeNamespace) + "|glob" && !db.currentType.empty()) {
        const std::string pattern = Attribute(attributes, "pattern");
        if (pattern.rfind("*.", 0) == 0) db.globs[db.currentType].insert(pattern.substr(2));
    }
}

void EndElement(void* data, const XML_Char* name) {
    auto& db = *static_cast<MimeDatabase*>(data);
    if (std::string(name) == std::string(kMimeNamespace) + "|mime-type") db.currentType.clear();
}

MimeDatabase ParseMimeXml(const std::string& path) {
    MimeDatabase db;
    const std::string text = ReadText(path);
    XML_Parser parser = XML_ParserCreateNS(nullptr, '|');
    XML_SetUserData(parser, &db);
    XML_SetElementHandler(parser, StartElement, EndElement);
    db.wellFormed = !text.empty() &&
                    XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) ==
                        XML_STATUS_OK;
    if (!db.wellFormed)
        ADD_FAILURE() << path << ":" << XML_GetCurrentLineNumber(parser) << ": "
                      << XML_ErrorString(XML_GetErrorCode(parser));
    XML_ParserFree(parser);
    return db;
}

// The value of KEY= in a desktop entry, split at ';'.
std::vector<std::string> DesktopList(const std::string& path, const std::string& key) {
    std::istringstream in(ReadText(path));
    std::string line;
    std::vector<std::string> items;
    while (std::getline(in, line)) {
        if (line.rfind(key + "=", 0) != 0) continue;
        std::istringstream value(line.substr(key.size() + 1));
        std::string item;
        while (std::getline(value, item, ';'))
            if (!item.empty()) items.push_back(item);
    }
    return items;
}

// The extensions the desktop program reads, from the format table's readers
// ("rbt" names a serial port, not a file, and has no file type).
const std::set<std::string> kReadExtensions = {"nmea", "nme", "log", "frn", "txt", "trk",
                                               "upt",  "plt", "gpx", "kml", "rdn", "fit",
                                               "tcx",  "geojson"};
// The extensions it writes.
const std::set<std::string> kWriteExtensions = {"nmea", "frn", "txt", "trk", "log", "plt",
                                                "gpx",  "kml", "rdn", "csv", "fit", "com",
                                                "tcx",  "geojson"};
// Types the shared MIME database registers already.
const std::set<std::string> kRegisteredTypes = {"application/gpx+xml",
                                                "application/vnd.google-earth.kml+xml",
                                                "application/geo+json"};

TEST(PackageFiles, FileTypesCoverEveryReaderExtension) {
    for (const FormatEntry& row : FormatTable()) {
        if (!row.reader || std::string(row.extension) == "rbt") continue;
        EXPECT_TRUE(kReadExtensions.count(row.extension))
            << "the reader of ." << row.extension << " has no file type in data/ferolin-mime.xml";
    }

    const MimeDatabase own = ParseMimeXml(kSourceDir + "/data/ferolin-mime.xml");
    ASSERT_TRUE(own.wellFormed);
    const std::set<std::string> expectedTypes = {
        "application/x-bluegps-datalog", "application/x-nmea",
        "application/x-magellan-track",  "application/x-pcx5-track",
        "application/x-oziexplorer-track", "application/x-ign-rando",
        "application/x-ferolin-track",   "application/vnd.ant.fit",
        "application/vnd.garmin.tcx+xml"};
    std::set<std::string> ownTypes;
    for (const auto& [type, globs] : own.globs) ownTypes.insert(type);
    EXPECT_EQ(ownTypes, expectedTypes);
    for (const std::string& type : kRegisteredTypes)
        EXPECT_FALSE(own.globs.count(type)) << type << " is registered already";

    // The registered types come from the system's database.
    const MimeDatabase shared = ParseMimeXml("/usr/share/mime/packages/freedesktop.org.xml");
    ASSERT_TRUE(shared.wellFormed);
    std::map<std::string, std::set<std::string>> typesOf;  // extension -> types
    for (const auto& [type, globs] : own.globs)
        for (const std::string& extension : globs) typesOf[extension].insert(type);
    for (const std::string& type : kRegisteredTypes) {
        ASSERT_TRUE(shared.globs.count(type)) << type;
        for (const std::string& extension : shared.globs.at(type)) typesOf[extension].insert(type);
    }
    for (const std::string& extension : kReadExtensions)
        EXPECT_TRUE(typesOf.count(extension)) << "no file type has the glob *." << extension;
    EXPECT_EQ(typesOf["gpx"], std::set<std::string>{"application/gpx+xml"});
    EXPECT_EQ(typesOf["kml"], std::set<std::string>{"application/vnd.google-earth.kml+xml"});
    EXPECT_EQ(typesOf["nmea"], std::set<std::string>{"application/x-nmea"});
    EXPECT_EQ(typesOf["geojson"], std::set<std::string>{"application/geo+json"});
    EXPECT_EQ(typesOf["trk"],
              (std::set<std::string>{"application/x-pcx5-track", "application/x-magellan-track"}));
    EXPECT_EQ(typesOf["log"], (std::set<std::string>{"application/x-bluegps-datalog",
                                                     "application/x-magellan-track"}));

    // The desktop entry offers ferolin for every one of these types, and for
    // nothing else.
    std::set<std::string> readTypes(kRegisteredTypes);
    readTypes.insert(expectedTypes.begin(), expectedTypes.end());
    const auto listed = DesktopList(kSourceDir + "/data/org.ferolin.Ferolin.desktop", "MimeType");
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), readTypes);
    EXPECT_EQ(listed.size(), readTypes.size()) << "a type is listed twice";

    // The handheld reads datalogs and NMEA traces only.
    const auto handheld = DesktopList(kSourceDir + "/data/org.ferolin.Ferolix.desktop", "MimeType");
    EXPECT_EQ(handheld,
              (std::vector<std::string>{"application/x-bluegps-datalog", "application/x-nmea"}));
}

TEST(PackageFiles, CompletionOffersEveryWriterExtension) {
    for (const FormatEntry& row : FormatTable()) {
        if (!row.writer) continue;
        EXPECT_TRUE(kWriteExtensions.count(row.extension))
            << "the writer of ." << row.extension << " is missing from the completion";
    }

    const std::string script = ReadText(kSourceDir + "/data/bash-completion/ferolin");
    const std::string key = "local extensions=\"";
    const auto start = script.find(key);
    ASSERT_NE(start, std::string::npos);
    const auto end = script.find('"', start + key.size());
    std::istringstream words(script.substr(start + key.size(), end - start - key.size()));
    std::set<std::string> offered;
    for (std::string word; words >> word;) offered.insert(word);
    EXPECT_EQ(offered, kWriteExtensions);
}

}  // namespace
}  // namespace ferolin
