// The floor plan: every quoted include of the product folders stays on its
// own floor or goes down. core/ is the ground; formats/ and devices/ stand on
// it side by side; convert/ on both; desktop/ on everything. pocket/ stands
// alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "test_support.h"

namespace fs = std::filesystem;

namespace {

const std::map<std::string, std::set<std::string>> kMayInclude = {
    {"core", {"core"}},
    {"formats", {"core", "formats"}},
    {"devices", {"core", "devices"}},
    {"convert", {"core", "formats", "devices", "convert"}},
    {"desktop", {"core", "formats", "devices", "convert", "desktop"}},
    {"pocket", {"pocket"}},
};

// "folder/file.cpp:line includes other/x.h" for each include that leaves the
// folder's floor, in the product folders under `root`.
std::vector<std::string> UpwardIncludes(const fs::path& root) {
    std::vector<std::string> found;
    for (const auto& [folder, allowed] : kMayInclude) {
        if (!fs::is_directory(root / folder)) continue;
        std::vector<fs::path> files;
        for (const auto& entry : fs::recursive_directory_iterator(root / folder))
            if (entry.is_regular_file()) files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            std::ifstream in(file);
            std::string line;
            for (int number = 1; std::getline(in, line); ++number) {
                const auto hash = line.find_first_not_of(" \t");
                if (hash == std::string::npos || line.compare(hash, 8, "#include") != 0) continue;
                const auto open = line.find('"', hash);
                if (open == std::string::npos) continue;  // <system> headers
                const auto close = line.find('"', open + 1);
                const std::string target = line.substr(open + 1, close - open - 1);
                const auto slash = target.find('/');
                // A bare name is a neighbour in the same folder.
                if (slash == std::string::npos) continue;
                const std::string floor = target.substr(0, slash);
                if (!kMayInclude.count(floor) || allowed.count(floor)) continue;
                found.push_back(fs::relative(file, root).string() + ":" +
                                std::to_string(number) + " includes " + target);
            }
        }
    }
    return found;
}

TEST(Layering, NoProductIncludeRunsUpward) {
    EXPECT_EQ(UpwardIncludes(FEROLIN_SOURCE_DIR), std::vector<std::string>{});
}

TEST(Layering, APlantedUpwardIncludeIsNamed) {
    ferolin_test::TempDir tree;
    const fs::path root = tree.path();
    for (const char* folder : {"core", "formats", "devices", "convert", "desktop", "pocket"})
        fs::create_directories(root / folder);
    auto write = [&](const char* name, const char* text) { std::ofstream(root / name) << text; };
    write("core/fine.cpp", "#include \"core/track_point.h\"\n#include <vector>\n");
    write("core/up.cpp", "#include \"core/paths.h\"\n  #include \"formats/gpx.h\"\n");
    write("formats/side.cpp", "#include \"devices/serial_port.h\"\n");
    write("desktop/fine.cpp", "#include \"convert/driver.h\"\n#include \"local.h\"\n");
    write("pocket/shared.cpp", "#include \"core/strings.h\"\n");
    EXPECT_EQ(UpwardIncludes(root),
              (std::vector<std::string>{"core/up.cpp:2 includes formats/gpx.h",
                                        "formats/side.cpp:1 includes devices/serial_port.h",
                                        "pocket/shared.cpp:1 includes core/strings.h"}));
}

}  // namespace
