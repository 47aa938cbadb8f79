#include "desktop_test_support.h"

#include <gtest/gtest.h>

#include <QSettings>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace ferolin_test {

namespace {

class ConfigEnvironment : public ::testing::Environment {
public:
    ConfigEnvironment() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/ferolin-config-XXXXXX";
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path = pattern;
        setenv("XDG_CONFIG_HOME", path.c_str(), 1);
        // The track view's tile cache too stays in the test's folder, and
        // its tiles come from a folder of the test's, from the first test on.
        setenv("XDG_CACHE_HOME", (path + "/cache").c_str(), 1);
        std::ofstream(path + "/Ferolix.conf") << "[General]\nMapTiles=file://" << path
                                              << "/tiles\n";
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

ConfigEnvironment* environment = static_cast<ConfigEnvironment*>(
    ::testing::AddGlobalTestEnvironment(new ConfigEnvironment));

}  // namespace

const std::string& ConfigHome() { return environment->path; }

void ClearSettings() {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Ferolix"));
    settings.clear();
    // The map's tiles from a folder of the test's own (empty unless a test
    // fills it), so that no test asks a tile server on the internet.
    settings.setValue(QStringLiteral("MapTiles"),
                      QString::fromStdString("file://" + TileFolder()));
    settings.sync();
}

std::string TileFolder() {
    const std::string folder = environment->path + "/tiles";
    std::filesystem::create_directories(folder);
    return folder;
}

}  // namespace ferolin_test
