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
// and the time when no array gives one. Each feature with lines is a track
// of the document in `sensors`, named by its `name` property, each of its
// lines a segment; a line of exactly two positions that are the same (and
// have the same time or none) is one point, given twice by a writer because
// a line holds two positions at least. A feature of one line whose
// `_gpxType` is "rte" is a route, not a track: its points with their
// altitude, time and the names of its `pointNames` array (left out without
// `sensors`). A feature whose geometry is a Point is a waypoint, not a track
// point: its `name`, `desc` (or `description`), `sym`, `time` (read
// with its zone) and the altitude of its third number or, without one, of
// `ele`. kOk with count 0 for a document whose lines hold no point or that
// has only Point features; kNotThisFormat for a document that is not JSON,
// with the reason in the report ("no line geometry" beside a kOk without
// lines or places).
ReadStatus ReadGeoJsonFile(const std::string& path, TrackPointArray& points, uint32_t& count,
                           SensorChannels* sensors = nullptr);

// A FeatureCollection of one Feature a track: the LineString of the points'
// [longitude, latitude, altitude] (six decimals for the position; no
// altitude for a point that lacks it), or a MultiLineString of one line a
// segment, and the properties `name` (the track's name; without one, the
// output file's title for the file's one track, none among several), `time`
// and `coordTimes` when the points are dated, and one
// per-point array for each sensor channel present (`heartRates`, `cadences`,
// `powers`, `temperatures`; null where a point has no value); for a
// MultiLineString, each per-point array holds one array a line. Then one
// Point feature a waypoint, with its altitude as third number and its
// `name`, `desc`, `sym` and `time` when it has them. Points and waypoints
// whose position is not on the earth are left out; a line of a single point
// gives it twice. Between the tracks and the waypoints, one LineString
// feature a route, with `"_gpxType": "rte"` (as web converters of GPX files
// mark one), its `name`, `coordTimes` when each of its points has a time and
// `pointNames` (null for a point without one) when one has a name. Takes no
// option bits.
int WriteGeoJsonFile(const std::string& path, const ExportEntry* entries, uint32_t count,
                     uint32_t options, const SensorChannels* sensors = nullptr);

}  // namespace ferolin
