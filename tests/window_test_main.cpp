// The window tests run in one application object per process, on the
// offscreen platform unless another one is asked for. The application starts
// under the comma-decimal locale when the machine has it, so that the tests
// see the numeric locale set back to "C" and everything else adopted.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "desktop/converter_app.h"
#include "window_test_support.h"

namespace ferolin_test {
std::string numericLocaleAtStart;
std::string ctypeLocaleAtStart;
bool germanLocaleAvailable = false;
}  // namespace ferolin_test

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ferolin_test::germanLocaleAvailable = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    std::setlocale(LC_ALL, "C");
    const char* previous = std::getenv("LC_ALL");
    const std::string saved = previous ? previous : "";
    if (ferolin_test::germanLocaleAvailable) setenv("LC_ALL", "de_DE.UTF-8", 1);
    ferolin::ConverterApp app(argc, argv);
    ferolin_test::numericLocaleAtStart = std::setlocale(LC_NUMERIC, nullptr);
    ferolin_test::ctypeLocaleAtStart = std::setlocale(LC_CTYPE, nullptr);
    if (previous) setenv("LC_ALL", saved.c_str(), 1);
    else unsetenv("LC_ALL");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
