// The test process adopts the locale its environment names, as a program
// does, so that a suite can be run again under another locale (CTest sets
// LC_ALL for those runs). When FEROLIN_TEST_LOCALE names the locale the run
// is meant for and the process did not get it (the locale is not installed),
// the run fails instead of passing quietly in C.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace {

class EnvironmentLocale : public ::testing::Environment {
public:
    void SetUp() override {
        const char* adopted = std::setlocale(LC_ALL, "");
        const char* wanted = std::getenv("FEROLIN_TEST_LOCALE");
        if (!wanted || !*wanted) return;
        ASSERT_NE(adopted, nullptr) << "the locale " << wanted
                                    << " is not installed: run scripts/install-deps.sh as root";
        ASSERT_EQ(std::string(std::setlocale(LC_NUMERIC, nullptr)), wanted);
    }
};

const ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new EnvironmentLocale);

}  // namespace
