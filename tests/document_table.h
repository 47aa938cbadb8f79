// The document a point table describes beside its points (layout in
// tests/data/README.md): the `track` and `segment` columns, and the
// directives `track`, `waypoint`, `route`, `rtept` and `lap`.
#pragma once

#include <cstdint>
#include <string>

#include "core/document.h"
#include "data_cases.h"

namespace ferolin_test {

// The point-table columns of the structure.
inline const char* const kDocumentColumns[] = {"track", "segment", "written"};

// The document the table describes; `error` says what could not be read.
ferolin::TrackDocument DocumentOf(const PointTable& table, std::string& error);

// Empty when `got`, for a track of `count` points, holds the document the
// table describes; else the differences, one a line.
std::string CompareDocument(const PointTable& want, const ferolin::TrackDocument& got, uint32_t count);

}  // namespace ferolin_test
