// Helpers of the XML format tests: a real parser's verdict on a document, the
// fixed writers' clock, the comma-decimal locale and the gpsbabel peer.
#pragma once

#include <expat.h>
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace ferolin_test {

// Checking well-formedness, a windows-1252 document may be read as Latin-1:
// the markup is the same in both.
inline int XMLCALL Latin1ForWindows1252(void*, const XML_Char* name, XML_Encoding* info) {
    if (std::string(name) != "windows-1252") return XML_STATUS_ERROR;
    for (int i = 0; i < 256; ++i) info->map[i] = i;
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
}

// Whether expat (with namespace processing, as the readers run it) accepts
// the whole document.
inline bool IsWellFormedXml(const std::string& document) {
    XML_Parser parser = XML_ParserCreateNS(nullptr, '\x01');
    XML_SetUnknownEncodingHandler(parser, Latin1ForWindows1252, nullptr);
    const bool ok = XML_Parse(parser, document.data(), static_cast<int>(document.size()),
                              XML_TRUE) == XML_STATUS_OK;
    XML_ParserFree(parser);
    return ok;
}

// SOURCE_DATE_EPOCH set for the life of the object.
class FixedClock {
public:
    explicit FixedClock(const char* seconds) {
        const char* old = std::getenv("SOURCE_DATE_EPOCH");
        hadOld_ = old != nullptr;
        if (old) old_ = old;
        setenv("SOURCE_DATE_EPOCH", seconds, 1);
    }
    ~FixedClock() {
        if (hadOld_) setenv("SOURCE_DATE_EPOCH", old_.c_str(), 1);
        else unsetenv("SOURCE_DATE_EPOCH");
    }

private:
    bool hadOld_ = false;
    std::string old_;
};

// The process runs under de_DE.UTF-8 (comma as decimal separator) for the
// life of the object; the set-up script generates that locale.
class GermanLocale {
public:
    GermanLocale() {
        const char* old = std::setlocale(LC_ALL, nullptr);
        old_ = old ? old : "C";
        active_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    }
    ~GermanLocale() { std::setlocale(LC_ALL, old_.c_str()); }
    bool active() const { return active_; }

private:
    std::string old_;
    bool active_ = false;
};

inline bool HasGpsbabel() { return std::system("command -v gpsbabel >/dev/null 2>&1") == 0; }

// One track point as gpsbabel's unicsv output lists it.
struct BabelPoint {
    double latitude = 0;
    double longitude = 0;
    double altitude = 0;
    std::string date;  // "2007/03/09", empty without date
    std::string time;  // "07:05:03.250"
};

// The track points gpsbabel reads from `path` in format `format`, or an empty
// list when it fails.
inline std::vector<BabelPoint> ReadWithGpsbabel(const std::string& format, const std::string& path,
                                                const std::string& csv) {
    const std::string command = "gpsbabel -t -i " + format + " -f '" + path +
                                "' -o unicsv,utc=0 -F '" + csv + "' 2>/dev/null";
    std::vector<BabelPoint> points;
    if (std::system(command.c_str()) != 0) return points;
    FILE* file = std::fopen(csv.c_str(), "r");
    if (!file) return points;
    std::vector<std::string> header;
    char line[4096];
    while (std::fgets(line, sizeof line, file)) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        std::vector<std::string> cells;
        std::stringstream row(text);
        std::string cell;
        while (std::getline(row, cell, ',')) cells.push_back(cell);
        if (header.empty()) {
            header = cells;
            continue;
        }
        BabelPoint p;
        for (std::size_t i = 0; i < header.size() && i < cells.size(); ++i) {
            if (header[i] == "Latitude") p.latitude = std::strtod(cells[i].c_str(), nullptr);
            if (header[i] == "Longitude") p.longitude = std::strtod(cells[i].c_str(), nullptr);
            if (header[i] == "Altitude") p.altitude = std::strtod(cells[i].c_str(), nullptr);
            if (header[i] == "Date") p.date = cells[i];
            if (header[i] == "Time") p.time = cells[i];
        }
        points.push_back(p);
    }
    std::fclose(file);
    return points;
}

}  // namespace ferolin_test
