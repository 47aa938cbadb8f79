// The desktop integration files against the format table: every extension a
// reader takes has a file type the desktop entry offers the program for, and
// the bash completion offers exactly the extensions that have a writer. The
// manual page's option-word tables against the writers' declared options.
#include <expat.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "formats/format_table.h"

namespace ferolin {
namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

using Globs = std::map<std::string, std::set<std::string>>;  // type -> extensions ("*.ext" globs)

void StartElement(void* data, const XML_Char* name, const XML_Char** attributes) {
    static std::string type;
    const std::string element(name), ns = "http://www.freedesktop.org/standards/shared-mime-info|";
    std::map<std::string, std::string> a;
    for (int i = 0; attributes[i]; i += 2) a[attributes[i]] = attributes[i + 1];
    if (element == ns + "mime-type") static_cast<Globs*>(data)->operator[](type = a["type"]);
    if (element == ns + "glob" && a["pattern"].rfind("*.", 0) == 0)
        (*static_cast<Globs*>(data))[type].insert(a["pattern"].substr(2));
}

Globs MimeGlobs(const std::string& path) {
    Globs globs;
    const std::string text = ReadText(path);
    XML_Parser parser = XML_ParserCreateNS(nullptr, '|');
    XML_SetUserData(parser, &globs);
    XML_SetStartElementHandler(parser, StartElement);
    EXPECT_TRUE(!text.empty() && XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) == XML_STATUS_OK)
        << path << ":" << XML_GetCurrentLineNumber(parser) << ": " << XML_ErrorString(XML_GetErrorCode(parser));
    XML_ParserFree(parser);
    return globs;
}

// The types of a desktop entry's MimeType= line.
std::set<std::string> DesktopTypes(const std::string& path) {
    std::istringstream in(ReadText(path));
    std::set<std::string> types;
    for (std::string line, item; std::getline(in, line);)
        if (line.rfind("MimeType=", 0) == 0)
            for (std::istringstream value(line.substr(9)); std::getline(value, item, ';');)
                if (!item.empty()) {
                    EXPECT_TRUE(types.insert(item).second) << item << " listed twice";
                }
    return types;
}

// The extensions the types of a desktop entry cover, from the program's own
// types and the system's database; every type must be defined in one of them.
std::set<std::string> OfferedExtensions(const std::string& desktop, const Globs& own, const Globs& shared) {
    std::set<std::string> extensions;
    for (const std::string& type : DesktopTypes(desktop)) {
        const Globs& source = own.count(type) ? own : shared;
        EXPECT_TRUE(source.count(type)) << type << " is defined nowhere";
        if (source.count(type)) extensions.insert(source.at(type).begin(), source.at(type).end());
    }
    return extensions;
}

}  // namespace

TEST(PackageFiles, EveryReadExtensionHasAnOfferedFileTypeAndEveryWrittenOneIsCompleted) {
    const std::string source = FEROLIN_SOURCE_DIR;
    const Globs own = MimeGlobs(source + "/data/ferolin-mime.xml");
    const Globs shared = MimeGlobs("/usr/share/mime/packages/freedesktop.org.xml");
    for (const auto& [type, globs] : own) EXPECT_FALSE(shared.count(type)) << type << " is registered already";
    const std::set<std::string> offered = OfferedExtensions(source + "/data/org.ferolin.Ferolin.desktop", own, shared);
    std::set<std::string> written;
    for (const FormatEntry& row : FormatTable()) {
        // "rbt" names a serial port, not a file.
        if (row.reader) {
            EXPECT_TRUE(offered.count(row.extension)) << "no offered file type has the glob *." << row.extension;
        }
        if (HasWriter(row)) written.insert(row.extension);
    }
    // The handheld reads datalogs and NMEA traces.
    const std::set<std::string> handheld = OfferedExtensions(source + "/data/org.ferolin.Ferolix.desktop", own, shared);
    for (const char* extension : {"log", "txt", "nmea", "nme"}) EXPECT_TRUE(handheld.count(extension)) << extension;
    EXPECT_FALSE(handheld.count("gpx"));

    const std::string script = ReadText(source + "/data/bash-completion/ferolin");
    const std::string key = "local extensions=\"";
    const auto start = script.find(key);
    ASSERT_NE(start, std::string::npos);
    std::istringstream words(script.substr(start + key.size(), script.find('"', start + key.size()) - start - key.size()));
    std::set<std::string> completed;
    for (std::string word; words >> word;) completed.insert(word);
    EXPECT_EQ(completed, written);
}


// Under OPTION WORDS of the manual page each entry (".TP", then a line naming
// its writers' extensions) gives option values as ".B 0x..." or ".BR 0x..."
// lines, each followed by the words that name it. Every option a writer
// declares is given in its entry, followed by its name; every value given is
// a bit its writers declare, or a number inside the mask of a declared number.
TEST(ManualPage, OptionWordTablesGiveTheDeclaredOptionsAndNoOthers) {
    struct Given {
        std::string writers;  // the entry's tag line
        uint32_t value;
        std::string words;    // up to the next value
    };
    std::vector<Given> given;
    const std::regex valueLine(R"(\.BR? (0x[0-9a-f]+)(.*))");
    std::istringstream page(ReadText(std::string(FEROLIN_SOURCE_DIR) + "/doc/ferolin.1.in"));
    std::string section, writers;
    for (std::string line, previous; std::getline(page, line); previous = line) {
        std::smatch m;
        if (line.rfind(".SH ", 0) == 0) section = line;
        if (section != ".SH OPTION WORDS") continue;
        if (previous == ".TP") writers = line + " ";
        else if (line == ".PP") writers.clear();
        else if (!writers.empty() && std::regex_match(line, m, valueLine))
            given.push_back({writers, static_cast<uint32_t>(std::stoul(m[1], nullptr, 16)), m[2]});
        else if (!given.empty() && given.back().writers == writers) given.back().words += " " + line;
    }
    auto names = [](const Given& g, const char* extension) {
        return g.writers.find(std::string(" ") + extension + " ") != std::string::npos;
    };
    for (const FormatEntry& row : FormatTable())
        for (const WriterOption& option : row.options)
            EXPECT_TRUE(std::any_of(given.begin(), given.end(), [&](const Given& g) {
                return names(g, row.extension) && g.value == option.bits &&
                       g.words.find(option.name) != std::string::npos;
            })) << row.extension << ": 0x" << std::hex << option.bits << " " << option.name;
    for (const Given& g : given) {
        bool declared = false;
        for (const FormatEntry& row : FormatTable())
            for (const WriterOption& option : row.options)
                declared = declared || (names(g, row.extension) &&
                                        (g.value == option.bits || (option.kind == kOptionNumber &&
                                                                    (g.value & ~option.bits) == 0)));
        EXPECT_TRUE(declared) << g.writers << "0x" << std::hex << g.value << g.words;
    }
}
}  // namespace ferolin
