// Settings for the desktop tests live in a private $XDG_CONFIG_HOME, made once
// per test process before anything reads the settings.
#pragma once

#include <string>

namespace ferolin_test {

// The folder that holds this process's Ferolix.conf.
const std::string& ConfigHome();
// Empties the stored settings.
void ClearSettings();

}  // namespace ferolin_test
