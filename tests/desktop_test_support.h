// Settings for the desktop tests live in a private $XDG_CONFIG_HOME, made once
// per test process before anything reads the settings.
#pragma once

#include <string>

namespace ferolin_test {

// The folder that holds this process's Ferolix.conf.
const std::string& ConfigHome();
// Empties the stored settings, but for the map's tile source: the folder
// below, never a server on the internet.
void ClearSettings();
// A folder of z/x/y.png map tiles for the track view (empty at first).
std::string TileFolder();

}  // namespace ferolin_test
