// Runs a reader of the format table on a text written to a real file.
#pragma once

#include <cstdint>
#include <string>

#include "core/track_point.h"
#include "test_support.h"

namespace ferolin_test {

struct ReadResult {
    int status = -1;
    ferolin::TrackPointArray points;
    uint32_t count = 0;
};

// Writes `text` to a file named `name` in a fresh folder and reads it back
// through `reader`.
template <typename Reader>
ReadResult ReadFromFile(Reader reader, const std::string& name, const std::string& text) {
    TempDir dir;
    const std::string path = dir.File(name);
    WriteFile(path, text);
    ReadResult r;
    r.status = reader(path, r.points, r.count);
    return r;
}

}  // namespace ferolin_test
