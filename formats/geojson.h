// GeoJSON (RFC 7946), the format of web maps and GIS tools: the line
// geometries of a document read as track points, with the per-point times
// and sensor arrays that GPX and TCX converters put in the properties; a
// track written as one LineString feature.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/read_status.h"
#include "core/sensors.h"
#include "core/track_point.h"

namespace ferolin {

// The positions of every LineString and MultiLineString, in document order,
// of the features of a FeatureCollection, of a Feature or of a bare geometry,
// also inside GeometryCollections, numbered 1, 2, 3 ... A position is
// [longitude, latitude, altitude]; one of two numbers (or without a number
// for the altitude) lacks the altitude, and one that is no array of numbers
// or no place on the earth gives no point (counted in the read's report).
// Times come from the feature's `coordTimes` or `coordinateProperties.times`,
// sensor values from `heartRates`, `cadences`, `powers`, `temperatures` or
// their `coordinateProperties` forms (`heart`, `cads`, `powers`, `atemps`
// and the like), as flat arrays or one array per line, one value for each
// position of the file: a position left out takes its values with it. Sensor
// values no body or device gives are left absent and counted. The points
// lack (in `sensors`, when not null) the fix quality GeoJSON does not carry,
// and the time when no array gives one. Point geometries are not track
// points. kOk with count 0 for a document whose lines hold no point;
// kNotThisFormat for a document that is not JSON or has no line geometry,
// with the reason in the report.
ReadStatus ReadGeoJsonFile(const std::string& path, TrackPointArray& points, uint32_t& count,
                           SensorChannels* sensors = nullptr);

// A FeatureCollection of one Feature: the LineString of the points'
// [longitude, latitude, altitude] (six decimals for the position; no
// altitude for a point that lacks it), and the properties `name` (the output
// file's title), `time` and `coordTimes` when the points are dated, and one
// per-point array for each sensor channel present (`heartRates`, `cadences`,
// `powers`, `temperatures`; null where a point has no value). Points whose
// position is not on the earth are left out. Takes no option bits.
int WriteGeoJsonFile(const std::string& path, const ExportEntry* entries, uint32_t count,
                     uint32_t options, const SensorChannels* sensors = nullptr);

}  // namespace ferolin
