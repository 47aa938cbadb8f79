#include "desktop_test_support.h"

#include <gtest/gtest.h>

#include <QSettings>

#include <cstdlib>
#include <filesystem>
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
    settings.sync();
}

}  // namespace ferolin_test
