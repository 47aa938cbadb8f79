#include "formats/geojson.h"

#include <fcntl.h>
#include <simdjson.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/output_file.h"
#include "core/point_buffer.h"
#include "core/paths.h"
#include "core/text_format.h"
#include "core/utf8.h"
#include "formats/text_table.h"
#include "formats/track_time.h"

namespace ferolin {

namespace {

namespace od = simdjson::ondemand;
using simdjson::error_code;
using simdjson::SUCCESS;

// ---------------------------------------------------------------- reading

// What one feature has read: its lines, as ranges of the point array, or
// the place of its Point geometry, and its properties when they came before
// its geometry (their text, applied once the lines or the place are known).
struct FeatureScope {
    // A line's points, its positions in the file, and where the list of the
    // positions that gave no point (their places in the line, in order)
    // lies in the walk's list of them.
    struct Line {
        uint32_t begin, end;
        uint32_t positions;
        uint32_t skipBegin, skipEnd;
    };
    std::vector<Line> lines;
    std::string_view laterProperties;
    // A feature whose own geometry is a Point is a waypoint, kept once the
    // feature ends.
    Waypoint place;
    bool hasPlace = false;
    // The feature's name, given to its track or route once the feature
    // ends; whether it is a route (`_gpxType` "rte", as web converters of
    // GPX files mark one); and the names of its points, one a point from the
    // feature's first, when its `pointNames` gives them.
    std::string name;
    bool route = false;
    std::vector<std::string> pointNames;
    // Whether the document hears of the feature's tracks and segments as its
    // lines come, not once it ends: the document itself, when its own lines
    // came before its features.
    bool immediate = false;

    // Whether the feature's properties can be applied: its lines or its
    // place are known.
    bool Known() const { return !lines.empty() || hasPlace; }
    void Clear() {
        lines.clear();
        laterProperties = {};
        if (hasPlace) place = Waypoint{};
        hasPlace = false;
        name.clear();
        route = false;
        pointNames.clear();
        immediate = false;
    }
};

// A position of the file that gave no point.
constexpr uint32_t kNoPoint = UINT32_MAX;

// Walks the positions of one line as the file gives them: each one's point,
// or kNoPoint for a position left out, so that a per-point value goes to the
// position it was written for.
class LineCursor {
public:
    LineCursor() = default;
    LineCursor(const FeatureScope::Line& line, const uint32_t* skipped)
        : line_(&line), skipped_(skipped), skip_(line.skipBegin), point_(line.begin) {}
    // The next position's point; false after the last position.
    bool Next(uint32_t& index) {
        if (!line_ || ordinal_ >= line_->positions) return false;
        if (skip_ < line_->skipEnd && skipped_[skip_] == ordinal_) {
            ++skip_;
            index = kNoPoint;
        } else {
            index = point_++;
        }
        ++ordinal_;
        return true;
    }

private:
    const FeatureScope::Line* line_ = nullptr;
    const uint32_t* skipped_ = nullptr;
    uint32_t skip_ = 0, point_ = 0, ordinal_ = 0;
};

// Walks the positions of a feature's lines one after another.
class PointCursor {
public:
    PointCursor(const std::vector<FeatureScope::Line>& lines, const uint32_t* skipped)
        : lines_(lines), skipped_(skipped) {}
    // The next position's point (kNoPoint for one left out); false after the
    // last position.
    bool Next(uint32_t& index) {
        while (!cursor_.Next(index)) {
            if (line_ >= lines_.size()) return false;
            cursor_ = LineCursor(lines_[line_++], skipped_);
        }
        return true;
    }

private:
    const std::vector<FeatureScope::Line>& lines_;
    const uint32_t* skipped_;
    std::size_t line_ = 0;
    LineCursor cursor_;
};

// The property names of the per-point arrays, in the feature's `properties`
// or in its `coordinateProperties`: the names this program writes, and those
// that web converters of GPX and TCX files use.
enum class Property : uint8_t { kNone, kTimes, kHeartRate, kCadence, kPower, kTemperature };
Property PropertyOf(std::string_view key) {
    static constexpr struct {
        std::string_view name;
        Property property;
    } kNames[] = {
        {"coordTimes", Property::kTimes},     {"times", Property::kTimes},
        {"heartRates", Property::kHeartRate}, {"heart", Property::kHeartRate},
        {"cadences", Property::kCadence},     {"cads", Property::kCadence},
        {"powers", Property::kPower},         {"watts", Property::kPower},
        {"temperatures", Property::kTemperature}, {"atemps", Property::kTemperature},
    };
    for (const auto& n : kNames)
        if (n.name == key) return n.property;
    return Property::kNone;
}

enum class Geometry : uint8_t { kUnknown, kLine, kMultiLine, kPoint, kOther };
Geometry GeometryOf(std::string_view type) {
    if (type == "LineString") return Geometry::kLine;
    if (type == "MultiLineString") return Geometry::kMultiLine;
    if (type == "Point") return Geometry::kPoint;
    return Geometry::kOther;
}

// The texts of a waypoint's properties, as web converters of GPX files name
// them.
enum class PlaceText : uint8_t { kNone, kName, kDescription, kSymbol };
PlaceText PlaceTextOf(std::string_view key) {
    if (key == "name") return PlaceText::kName;
    if (key == "desc" || key == "description") return PlaceText::kDescription;
    if (key == "sym") return PlaceText::kSymbol;
    return PlaceText::kNone;
}

// Where an object stands: the document itself, an element of `features`, or
// a geometry (a feature's, or one of a GeometryCollection).
enum class Level : uint8_t { kRoot, kFeature, kGeometry };

// GeometryCollections deeper than this are not followed.
constexpr int kMaxDepth = 64;

// Where a document's parser stands, in its buffer: at the error, after one;
// null when it cannot tell.
const char* Location(od::document& doc) {
    const char* at = nullptr;
    return doc.current_location().get(at) == SUCCESS ? at : nullptr;
}

// One walk over a document with simdjson's On-Demand parser.
class GeoJsonWalk {
public:
    // `limit`: the most points the document can hold.
    GeoJsonWalk(const char* bufferEnd, std::size_t limit, SensorChannels* sensors)
        : bufferEnd_(bufferEnd), sensors_(sensors), document_(sensors ? &sensors->document : nullptr),
          points_(limit), limit_(limit) {}

    error_code Document(od::document& doc) {
        od::json_type type;
        if (error_code e = doc.type().get(type)) return e;
        error_code e = SUCCESS;
        if (type == od::json_type::object) {
            od::object object;
            e = doc.get_object().get(object);
            if (!e) e = Object(object, 0, Level::kRoot);
        } else if (type == od::json_type::array) {
            od::array array;
            e = doc.get_array().get(array);
            if (!e) e = Features(array);
        } else {
            e = CheckScalar(doc);
        }
        if (e) return e;
        // Anything after the root value leaves the document a location.
        const char* rest;
        return doc.current_location().get(rest) == SUCCESS ? simdjson::TRAILING_CONTENT : SUCCESS;
    }

    uint32_t count() const { return used_; }
    // Whether the document had a line geometry, with or without points.
    bool anyLine() const { return lines_ > 0; }
    // Whether it had a Point feature on the earth.
    bool anyPlace() const { return places_ > 0; }
    // The points without a time are marked so (once every time is read).
    void MarkUntimed() {
        if (!sensors_) return;
        for (uint32_t i = 0; i < used_; ++i) {
            const TrackPoint& p = points_[i];
            if (p.day == 0 || p.month == 0 || p.year == 0) sensors_->MarkAbsent(i, kFieldTime);
        }
    }
    TrackPointArray Release() { return points_.Release(used_); }
    bool outOfMemory() const { return outOfMemory_; }
    // Where in the buffer the error of a value parsed again stood; null when
    // none did (the document's own location tells).
    const char* errorAt() const { return errorAt_; }

private:
    // A scalar document or value: read, so that a malformed one fails.
    template <typename Scalar>
    static error_code CheckScalar(Scalar& v) {
        od::json_type type;
        if (error_code e = v.type().get(type)) return e;
        switch (type) {
            case od::json_type::string: {
                std::string_view s;
                return v.get_string().get(s);
            }
            case od::json_type::number: {
                double d;
                return v.get_double().get(d);
            }
            case od::json_type::boolean: {
                bool b;
                return v.get_bool().get(b);
            }
            case od::json_type::null: {
                bool null;
                if (error_code e = v.is_null().get(null)) return e;
                return null ? SUCCESS : simdjson::N_ATOM_ERROR;
            }
            default: return SUCCESS;
        }
    }

    error_code Features(od::array features) {
        // The document's own lines so far hold the points before those of
        // the features: their tracks come first.
        if (!rootScope_.immediate && !rootScope_.lines.empty()) {
            TellStructure(rootScope_);
            rootScope_.immediate = true;
        }
        for (auto item : features) {
            od::value v;
            if (error_code e = item.get(v)) return e;
            od::object object;
            const error_code e = v.get_object().get(object);
            if (e == simdjson::INCORRECT_TYPE) continue;
            if (e) return e;
            FeatureScope& scope = featureScope_;
            scope.Clear();
            if (error_code f = Object(object, 1, Level::kFeature, &scope)) return f;
        }
        return SUCCESS;
    }

    // `own`: the object is the document itself or a feature's own geometry,
    // not one of a GeometryCollection (only such a Point is a waypoint).
    error_code Object(od::object object, int depth, Level level, FeatureScope* scope = nullptr, bool own = false) {
        if (level == Level::kRoot) {
            scope = &rootScope_;
            scope->Clear();
            own = true;
        }
        Geometry geometry = Geometry::kUnknown;
        std::string_view deferred;  // coordinates met before the type
        for (auto field : object) {
            std::string_view key;
            if (error_code e = field.unescaped_key().get(key)) return e;
            od::value v;
            if (error_code e = field.value().get(v)) return e;
            error_code e = SUCCESS;
            if (key == "type") {
                std::string_view type;
                e = v.get_string().get(type);
                if (e == simdjson::INCORRECT_TYPE) continue;
                geometry = GeometryOf(type);
            } else if (key == "coordinates") {
                if (geometry == Geometry::kPoint) {
                    if (own) e = Place(v, *scope);
                } else if (geometry != Geometry::kUnknown) {
                    e = Coordinates(v, geometry, *scope);
                } else {
                    od::array coordinates;
                    e = v.get_array().get(coordinates);
                    if (!e) e = coordinates.raw_json().get(deferred);
                }
            } else if (key == "geometries" || (key == "geometry" && level != Level::kGeometry)) {
                e = Geometries(v, depth + 1, *scope, key == "geometry");
            } else if (key == "features" && level == Level::kRoot) {
                od::array features;
                e = v.get_array().get(features);
                if (e == simdjson::INCORRECT_TYPE) continue;
                if (!e) e = Features(features);
            } else if (key == "properties" && level != Level::kGeometry) {
                // Applied to the feature's points at once when its geometry
                // came first, else kept for when the lines are known.
                od::object properties;
                e = v.get_object().get(properties);
                if (!e && scope->Known()) e = Properties(properties, *scope, true);
                else if (!e) e = properties.raw_json().get(scope->laterProperties);
            }
            if (e && e != simdjson::INCORRECT_TYPE) return e;
        }
        if (!deferred.empty() && (geometry == Geometry::kLine || geometry == Geometry::kMultiLine)) {
            if (error_code e = Reparse(deferred, [&](od::value v) { return Coordinates(v, geometry, *scope); }))
                return e;
        }
        if (!deferred.empty() && geometry == Geometry::kPoint && own) {
            if (error_code e = Reparse(deferred, [&](od::value v) { return Place(v, *scope); })) return e;
        }
        if (level == Level::kGeometry) return SUCCESS;
        if (!scope->laterProperties.empty() && scope->Known()) {
            const std::string_view text = scope->laterProperties;
            scope->laterProperties = {};
            if (error_code e = Reparse(text, [&](od::value v) {
                    od::object properties;
                    error_code f = v.get_object().get(properties);
                    return f ? f : Properties(properties, *scope, true);
                }))
                return e;
        }
        // The feature is complete: its lines become a track or a route, its
        // place joins the waypoints.
        if (!scope->immediate && !scope->lines.empty()) {
            JoinTwins(*scope);
            if (scope->route && scope->lines.size() == 1) TakeRoute(*scope);
            else TellStructure(*scope);
        }
        if (scope->hasPlace && document_) document_->waypoints.push_back(std::move(scope->place));
        scope->Clear();
        return SUCCESS;
    }

    // Tells the document of a feature's track, named by the feature, and of
    // its lines as segments.
    void TellStructure(FeatureScope& scope) {
        if (!document_) return;
        for (std::size_t l = 0; l < scope.lines.size(); ++l) {
            if (l == 0) document_->BeginTrack(scope.lines[0].begin, std::move(scope.name));
            else document_->BeginSegment(scope.lines[l].begin);
        }
    }

    // Whether the points at `a` and `b` are one point given twice: the same
    // position, altitude and time (or both without).
    bool Twins(uint32_t a, uint32_t b) {
        const TrackPoint& p = points_[a];
        const TrackPoint& q = points_[b];
        return p.latitude == q.latitude && p.longitude == q.longitude && p.altitude == q.altitude &&
               PointLacks(sensors_, a, kFieldAltitude) == PointLacks(sensors_, b, kFieldAltitude) &&
               p.year == q.year && p.month == q.month && p.day == q.day && p.hour == q.hour &&
               p.minute == q.minute && p.seconds == q.seconds;
    }

    // Moves the point at `from` and what it has beside its record to the
    // slot `to`, before it.
    void MovePoint(uint32_t from, uint32_t to) {
        points_[to] = points_[from];
        points_[to].record = static_cast<int32_t>(to + 1);
        if (!sensors_) return;
        uint8_t absent = 0;
        for (int bit = 0; bit < 8; ++bit)
            if (sensors_->Lacks(from, static_cast<uint8_t>(1u << bit))) absent |= static_cast<uint8_t>(1u << bit);
        float values[kSensorCount];
        for (int s = 0; s < kSensorCount; ++s) values[s] = sensors_->Value(static_cast<Sensor>(s), from);
        sensors_->ForgetPoint(to);
        if (absent) sensors_->MarkAbsent(to, absent);
        for (int s = 0; s < kSensorCount; ++s)
            if (sensors_->Has(static_cast<Sensor>(s))) sensors_->Channel(static_cast<Sensor>(s), used_)[to] = values[s];
    }

    // Gives back the slots from `first` on: zeroed, without marks or values.
    void DropPointsFrom(uint32_t first) {
        for (uint32_t i = first; i < used_; ++i) {
            points_[i] = TrackPoint{};
            if (sensors_) sensors_->ForgetPoint(i);
        }
        used_ = first;
    }

    // A line holds two positions at least, so a writer gives the one point
    // of a segment twice. A line of exactly two positions that are the same
    // (position, altitude, and time or no time) is read as that one point.
    // The feature's points are the last ones read, its lines one after the
    // other: the points after a twin move down by one.
    void JoinTwins(FeatureScope& scope) {
        bool any = false;
        for (const FeatureScope::Line& line : scope.lines)
            if (line.positions == 2 && line.end - line.begin == 2 && Twins(line.begin, line.begin + 1)) any = true;
        if (!any) return;
        uint32_t to = scope.lines[0].begin;
        for (FeatureScope::Line& line : scope.lines) {
            const uint32_t from = line.begin, end = line.end;
            const bool twin = line.positions == 2 && end - from == 2 && Twins(from, from + 1);
            line.begin = to;
            for (uint32_t i = from; i < end; ++i) {
                if (twin && i == from + 1) continue;
                if (i != to) MovePoint(i, to);
                ++to;
            }
            line.end = to;
        }
        DropPointsFrom(to);
    }

    // The points of a route's feature, its one line, leave the track points
    // for a route of the document: position, altitude, time and the names
    // of `pointNames`.
    void TakeRoute(FeatureScope& scope) {
        const FeatureScope::Line& line = scope.lines[0];
        if (document_ && line.end > line.begin) {
            Route route;
            route.name = std::move(scope.name);
            route.points.resize(line.end - line.begin);
            for (uint32_t i = line.begin; i < line.end; ++i) {
                const TrackPoint& p = points_[i];
                Waypoint& w = route.points[i - line.begin];
                w.point.latitude = p.latitude;
                w.point.longitude = p.longitude;
                w.point.altitude = p.altitude;
                w.point.year = p.year;
                w.point.month = p.month;
                w.point.day = p.day;
                w.point.hour = p.hour;
                w.point.minute = p.minute;
                w.point.seconds = p.seconds;
                if (PointLacks(sensors_, i, kFieldAltitude)) w.absent |= kFieldAltitude;
                if (p.day == 0 || p.month == 0 || p.year == 0) w.absent |= kFieldTime;
                if (i - line.begin < scope.pointNames.size()) w.name = std::move(scope.pointNames[i - line.begin]);
            }
            document_->routes.push_back(std::move(route));
        }
        DropPointsFrom(line.begin);
    }

    // A geometry object, or an array of them (GeometryCollection); `own`
    // for a feature's geometry.
    error_code Geometries(od::value v, int depth, FeatureScope& scope, bool own) {
        if (depth > kMaxDepth) return SUCCESS;
        od::json_type type;
        if (error_code e = v.type().get(type)) return e;
        if (type == od::json_type::object) {
            od::object object;
            if (error_code e = v.get_object().get(object)) return e;
            return Object(object, depth, Level::kGeometry, &scope, own);
        }
        if (type != od::json_type::array) return SUCCESS;
        od::array array;
        if (error_code e = v.get_array().get(array)) return e;
        for (auto item : array) {
            od::value g;
            if (error_code e = item.get(g)) return e;
            od::object object;
            const error_code e = g.get_object().get(object);
            if (e == simdjson::INCORRECT_TYPE) continue;
            if (e) return e;
            if (error_code f = Object(object, depth + 1, Level::kGeometry, &scope)) return f;
        }
        return SUCCESS;
    }

    // A value met before what it needs (coordinates before their type,
    // properties before their geometry) parsed again from its text, which
    // lies in the padded buffer of the document.
    template <typename Step>
    error_code Reparse(std::string_view text, Step step) {
        if (!reparser_) reparser_ = std::make_unique<od::parser>();
        const std::size_t capacity = static_cast<std::size_t>(bufferEnd_ - text.data());
        od::document doc;
        if (error_code e = reparser_->iterate(text.data(), text.size(), capacity).get(doc)) return e;
        od::value v;
        error_code e = doc.get_value().get(v);
        if (!e) e = step(v);
        if (e && !errorAt_) errorAt_ = Location(doc);
        return e;
    }

    error_code Coordinates(od::value v, Geometry geometry, FeatureScope& scope) {
        if (geometry != Geometry::kLine && geometry != Geometry::kMultiLine) return SUCCESS;
        od::array array;
        if (error_code e = v.get_array().get(array)) return e;
        if (geometry == Geometry::kLine) return Line(array, scope);
        for (auto item : array) {
            od::value line;
            if (error_code e = item.get(line)) return e;
            od::array positions;
            const error_code e = line.get_array().get(positions);
            if (e == simdjson::INCORRECT_TYPE) continue;
            if (e) return e;
            if (error_code f = Line(positions, scope)) return f;
        }
        return SUCCESS;
    }

    // One line: positions [longitude, latitude(, altitude ...)]. A position
    // that is no such array, or not on the earth, gives no point (and is
    // counted); one without a number for the altitude lacks it.
    error_code Line(od::array positions, FeatureScope& scope) {
        ++lines_;
        // A feature's first line begins its track, each further one a segment
        // (told once the feature ends, unless the scope tells at once).
        if (document_ && scope.immediate) {
            if (scope.lines.empty()) document_->BeginTrack(used_);
            else document_->BeginSegment(used_);
        }
        // Room for every position of the line at once, as far as the
        // document can hold them.
        const uint32_t begin = used_;
        const std::size_t skipBegin = skipped_.size();
        uint32_t ordinal = 0;
        std::size_t elements;
        if (error_code e = positions.count_elements().get(elements)) return e;
        if (!points_.Resize(std::min<std::size_t>(used_ + elements, limit_))) {
            outOfMemory_ = true;
            return simdjson::MEMALLOC;
        }
        for (auto item : positions) {
            const uint32_t at = ordinal++;
            od::value position;
            if (error_code e = item.get(position)) return e;
            double c[3] = {0, 0, 0};
            int n = 0;
            bool numeric = true, altitude = false;
            od::array numbers;
            error_code e = position.get_array().get(numbers);
            if (e && e != simdjson::INCORRECT_TYPE) return e;
            if (!e) {
                for (auto number : numbers) {
                    if (n < 3) {
                        e = number.get_double().get(c[n]);
                        if (e && e != simdjson::INCORRECT_TYPE) return e;
                        if (n < 2 && e) numeric = false;
                        if (n == 2) altitude = !e;
                    }
                    ++n;
                }
            }
            if (!numeric || n < 2 || !IsRealPosition(c[1], c[0])) {
                skipped_.push_back(at);
                CurrentReadReport().Count(LeftOut::kNoPosition);
                continue;
            }
            if (used_ >= points_.size() && (used_ == PointBuffer::kMaxPoints || !points_.Resize(used_ + 1))) {
                outOfMemory_ = true;
                return simdjson::MEMALLOC;
            }
            TrackPoint& p = points_[used_];
            p.record = static_cast<int32_t>(used_ + 1);
            p.longitude = c[0];
            p.latitude = c[1];
            if (altitude) p.altitude = ToFloat(c[2]);
            // GeoJSON gives no fix quality; the time comes later, if at all.
            if (sensors_)
                sensors_->MarkAbsent(used_, altitude ? kQualityFields : kQualityFields | kFieldAltitude);
            ++used_;
        }
        scope.lines.push_back({begin, used_, ordinal, static_cast<uint32_t>(skipBegin),
                               static_cast<uint32_t>(skipped_.size())});
        return SUCCESS;
    }

    // The position of a Point feature: [longitude, latitude(, altitude ...)]
    // as a line's, its place when it lies on the earth (else counted).
    error_code Place(od::value v, FeatureScope& scope) {
        od::array numbers;
        if (error_code e = v.get_array().get(numbers)) return e;
        double c[3] = {0, 0, 0};
        int n = 0;
        bool numeric = true, altitude = false;
        for (auto number : numbers) {
            if (n < 3) {
                const error_code e = number.get_double().get(c[n]);
                if (e && e != simdjson::INCORRECT_TYPE) return e;
                if (n < 2 && e) numeric = false;
                if (n == 2) altitude = !e;
            }
            ++n;
        }
        if (!numeric || n < 2 || !IsRealPosition(c[1], c[0])) {
            CurrentReadReport().Count(LeftOut::kNoPosition);
            return SUCCESS;
        }
        ++places_;
        Waypoint& w = scope.place;
        w.point.longitude = c[0];
        w.point.latitude = c[1];
        w.point.altitude = altitude ? ToFloat(c[2]) : 0.0f;
        // The time comes with the properties, if at all.
        w.absent = altitude ? kFieldTime : kFieldTime | kFieldAltitude;
        scope.hasPlace = true;
        return SUCCESS;
    }

    // A property of the feature itself: its track's name, or the name, time,
    // altitude and texts of its place.
    error_code FeatureProperty(std::string_view key, od::value value, FeatureScope& scope) {
        std::string_view s;
        if (key == "_gpxType") {
            // Without a document to hold it, a route is left out all the same.
            if (error_code e = value.get_string().get(s)) return e;
            scope.route = s == "rte";
            return SUCCESS;
        }
        if (!document_) return SUCCESS;
        const PlaceText text = PlaceTextOf(key);
        if (!scope.hasPlace) {
            if (text != PlaceText::kName || scope.lines.empty()) return SUCCESS;
            if (error_code e = value.get_string().get(s)) return e;
            if (scope.immediate) document_->NameTrack(std::string(s));
            else scope.name.assign(s);
            return SUCCESS;
        }
        Waypoint& w = scope.place;
        if (text != PlaceText::kNone) {
            if (error_code e = value.get_string().get(s)) return e;
            std::string& field = text == PlaceText::kName          ? w.name
                                 : text == PlaceText::kDescription ? w.description
                                                                   : w.symbol;
            field.assign(s);
        } else if (key == "time") {
            if (error_code e = value.get_string().get(s)) return e;
            // A time refused leaves the place undated.
            if (ParseIsoTime(s, w.point)) w.absent &= static_cast<uint8_t>(~kFieldTime);
            else CurrentReadReport().Count(LeftOut::kNoDate);
        } else if (key == "ele" && (w.absent & kFieldAltitude)) {
            // The third number of the position, when there is one, is the
            // altitude; a property stands in for it.
            double d;
            if (error_code e = value.get_double().get(d)) return e;
            if (std::isfinite(d)) {
                w.point.altitude = ToFloat(d);
                w.absent &= static_cast<uint8_t>(~kFieldAltitude);
            }
        }
        return SUCCESS;
    }

    // The per-point arrays of `properties` and of its `coordinateProperties`,
    // onto the points of the feature's lines, and the feature's own
    // properties (FeatureProperty).
    error_code Properties(od::object object, FeatureScope& scope, bool outer) {
        error_code e;
        for (auto field : object) {
            std::string_view key;
            if ((e = field.unescaped_key().get(key))) return e;
            od::value value;
            if ((e = field.value().get(value))) return e;
            if (outer && (key == "time" || key == "ele" || key == "_gpxType" || PlaceTextOf(key) != PlaceText::kNone)) {
                e = FeatureProperty(key, value, scope);
            } else if (outer && key == "pointNames") {
                e = PointNames(value, scope);
            } else if (outer && key == "coordinateProperties") {
                od::object inner;
                e = value.get_object().get(inner);
                if (!e) e = Properties(inner, scope, false);
            } else if (const Property property = PropertyOf(key); property != Property::kNone) {
                e = PerPointArray(value, scope, property);
            }
            if (e && e != simdjson::INCORRECT_TYPE) return e;
        }
        return SUCCESS;
    }

    // The names of a route's points, one a position of its line: a string,
    // or anything else for a point without one.
    error_code PointNames(od::value v, FeatureScope& scope) {
        if (!document_ || scope.lines.empty()) return SUCCESS;
        od::array array;
        if (error_code e = v.get_array().get(array)) return e;
        const uint32_t first = scope.lines[0].begin;
        PointCursor cursor(scope.lines, skipped_.data());
        for (auto item : array) {
            od::value x;
            if (error_code e = item.get(x)) return e;
            uint32_t index;
            if (!cursor.Next(index)) break;
            std::string_view text;
            const error_code e = x.get_string().get(text);
            if (e == simdjson::INCORRECT_TYPE) {
                if (error_code f = CheckScalar(x)) return f;
                continue;
            }
            if (e) return e;
            if (index == kNoPoint) continue;
            if (scope.pointNames.size() <= index - first) scope.pointNames.resize(index - first + 1);
            scope.pointNames[index - first].assign(text);
        }
        return SUCCESS;
    }

    // One per-point array: one value a position over the feature's lines, or
    // one array a line. Values beyond the positions are left over, those of
    // positions that gave no point go with them; a value that is no time or
    // number leaves its point without one, and a sensor value no body or
    // device gives is left out and counted.
    error_code PerPointArray(od::value v, FeatureScope& scope, Property property) {
        od::array array;
        error_code e = v.get_array().get(array);
        if (e) return e;
        float* channel = nullptr;
        const Sensor sensor = static_cast<Sensor>(static_cast<int>(property) - 2);
        // The value `x` for point `index`.
        const auto set = [&](od::value x, uint32_t index) -> error_code {
            if (index == kNoPoint) return SUCCESS;
            if (property == Property::kTimes) {
                std::string_view text;
                const error_code f = x.get_string().get(text);
                if (f == simdjson::INCORRECT_TYPE) return CheckScalar(x);
                // A time refused (no such date or time, or no time at all)
                // leaves the point undated.
                TrackPoint& p = points_[index];
                if (!f && !ParseIsoTime(text, p) && (p.day == 0 || p.month == 0 || p.year == 0))
                    CurrentReadReport().Count(LeftOut::kNoDate);
                return f;
            }
            double d;
            const error_code f = x.get_double().get(d);
            if (f == simdjson::INCORRECT_TYPE) return CheckScalar(x);
            if (f || !sensors_) return f;
            const float value = ToFloat(d);
            if (!IsPossibleSensorValue(sensor, value)) {
                CurrentReadReport().Count(LeftOut::kImpossibleValue);
                return SUCCESS;
            }
            if (!channel) channel = sensors_->Channel(sensor, used_);
            channel[index] = value;
            return SUCCESS;
        };
        PointCursor cursor(scope.lines, skipped_.data());
        std::size_t line = 0;
        bool first = true, nested = false;
        for (auto item : array) {
            od::value value;
            if ((e = item.get(value))) return e;
            if (first) {
                od::json_type type;
                if ((e = value.type().get(type))) return e;
                nested = type == od::json_type::array;
                first = false;
            }
            if (!nested) {
                // One value a position (an array in its place is no value).
                uint32_t index;
                if (!cursor.Next(index)) break;
                if ((e = set(value, index))) return e;
                continue;
            }
            // One array a line; anything else stands for a line without values.
            if (line >= scope.lines.size()) break;
            LineCursor positions(scope.lines[line++], skipped_.data());
            od::array inner;
            e = value.get_array().get(inner);
            if (e == simdjson::INCORRECT_TYPE) continue;
            if (e) return e;
            for (auto x : inner) {
                uint32_t index;
                if (!positions.Next(index)) break;
                od::value xv;
                if ((e = x.get(xv)) || (e = set(xv, index))) return e;
            }
        }
        return SUCCESS;
    }

    const char* bufferEnd_;
    SensorChannels* sensors_;
    TrackDocument* document_;  // of `sensors_`; null without
    uint64_t places_ = 0;      // Point features on the earth
    PointBuffer points_;
    uint32_t used_ = 0;  // the points written (the buffer may hold more, zeroed)
    std::size_t limit_;
    uint64_t lines_ = 0;                 // line geometries met
    std::vector<uint32_t> skipped_;      // the positions that gave no point, line by line
    const char* errorAt_ = nullptr;
    FeatureScope rootScope_, featureScope_;
    std::unique_ptr<od::parser> reparser_;
    bool outOfMemory_ = false;
};

// A buffer with simdjson's zeroed padding after the document.
struct PaddedBuffer {
    std::unique_ptr<char[]> bytes;
    std::size_t size = 0;

    bool Allocate(std::size_t n) {
        if (n > SIZE_MAX - simdjson::SIMDJSON_PADDING) return false;
        bytes.reset(new (std::nothrow) char[n + simdjson::SIMDJSON_PADDING]);
        if (!bytes) return false;
        std::memset(bytes.get() + n, 0, simdjson::SIMDJSON_PADDING);
        size = n;
        return true;
    }
};

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

// Whether a file opens as a JSON object or array: its first character after
// an optional UTF-8 byte order mark and white space. Read in small pieces, so
// that a large file that is no JSON is refused without being taken in.
bool OpensAsJson(int fd) {
    char piece[4096];
    off_t offset = 0;
    for (;;) {
        const ssize_t n = pread(fd, piece, sizeof piece, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        std::size_t at = 0;
        if (offset == 0 && n >= 3 && std::memcmp(piece, kByteOrderMark, 3) == 0) at = 3;
        for (; at < static_cast<std::size_t>(n); ++at) {
            const char c = piece[at];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
            return c == '{' || c == '[';
        }
        offset += n;
    }
}

// The reason of a document simdjson does not take: the error and, when the
// parser can tell, the byte it stood at in the file (counted from 0).
void SetJsonReason(error_code e, const char* at, const PaddedBuffer& buffer, std::size_t skipped) {
    std::string reason = "a JSON error";
    if (at && at >= buffer.bytes.get() && at <= buffer.bytes.get() + buffer.size)
        reason += " at byte " + std::to_string(static_cast<std::size_t>(at - buffer.bytes.get()) + skipped);
    SetReadReason(reason + ": " + simdjson::error_message(e));
}

// `skipped`: the bytes before the buffer's document in the file (a byte
// order mark).
ReadStatus ReadPadded(const PaddedBuffer& buffer, std::size_t skipped, TrackPointArray& points,
                      uint32_t& count, SensorChannels* sensors) {
    try {
        od::parser parser;
        od::document doc;
        // A position takes five bytes at least ("[0,0]").
        GeoJsonWalk walk(buffer.bytes.get() + buffer.size + simdjson::SIMDJSON_PADDING, buffer.size / 5 + 1,
                         sensors);
        error_code e = parser.iterate(buffer.bytes.get(), buffer.size, buffer.size + simdjson::SIMDJSON_PADDING)
                           .get(doc);
        const bool opened = !e;
        if (!e) e = walk.Document(doc);
        if (e == simdjson::MEMALLOC || walk.outOfMemory()) {
            SetReadReason("out of memory");
            return ReadStatus::kNoMemory;
        }
        if (e) {
            SetJsonReason(e, walk.errorAt() ? walk.errorAt() : opened ? Location(doc) : nullptr, buffer, skipped);
            return ReadStatus::kNotThisFormat;
        }
        // A document without a line is read, with no point: the reason tells
        // why its message says so.
        if (!walk.anyLine() && !walk.anyPlace()) SetReadReason("no line geometry");
        walk.MarkUntimed();
        count = walk.count();
        points = walk.Release();
        if (sensors) sensors->Align(count);
        return ReadStatus::kOk;
    } catch (const std::bad_alloc&) {
        SetReadReason("out of memory");
        return ReadStatus::kNoMemory;
    }
}

// ---------------------------------------------------------------- writing

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// A JSON string: quotes, backslashes and control characters escaped, each
// invalid UTF-8 sequence replaced by U+FFFD.
void AppendJsonString(TextBuffer& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.Append('"');
    while (!text.empty()) {
        const unsigned char c = static_cast<unsigned char>(text[0]);
        std::size_t n = 1;
        if (c == '"' || c == '\\') {
            out.Append('\\');
            out.Append(static_cast<char>(c));
        } else if (c < 0x20) {
            out.Append("\\u00");
            out.Append(kHex[c >> 4]);
            out.Append(kHex[c & 15]);
        } else if ((n = Utf8SequenceLength(text)) != 0) {
            out.Append(text.substr(0, n));
        } else {
            out.Append(kReplacement);
            n = 1;
        }
        text.remove_prefix(n);
    }
    out.Append('"');
}

// "%.<precision>f" without the zeros that end its fraction, nor a point
// left alone; "0" for a negative zero.
void AppendShortFixed(TextBuffer& out, double value, int precision) {
    const std::size_t start = out.size();
    AppendFixed(out, value, precision);
    const std::string_view text = out.View().substr(start);
    std::size_t keep = text.size();
    if (text.find('.') != std::string_view::npos) {
        while (text[keep - 1] == '0') --keep;
        if (text[keep - 1] == '.') --keep;
    }
    out.Truncate(start + keep);
    if (out.View().substr(start) == "-0") {
        out.Truncate(start);
        out.Append('0');
    }
}

// A point can be written when its position is one on the earth (JSON has
// no other numbers than finite ones, and RFC 7946 no other positions).
bool Writable(const ExportEntry& e) {
    return IsRealPosition(e.point->latitude, e.point->longitude);
}

// Calls `step` for each writable entry; a lone point is given twice, since a
// line has two positions at least.
template <typename Step>
void ForEachWritten(const ExportEntry* entries, uint32_t count, uint32_t written, Step step) {
    for (uint32_t i = 0; i < count; ++i)
        if (Writable(entries[i])) step(entries[i]);
    if (written == 1)
        for (uint32_t i = 0; i < count; ++i)
            if (Writable(entries[i])) step(entries[i]);
}

// A line of the output: the entries [begin, end) of one segment, `written`
// of them writable, and the track it belongs to.
struct OutputLine {
    uint32_t begin, end, written, track;
};

// The lines of the export list, one a segment that has a writable point.
std::vector<OutputLine> OutputLines(const ExportEntry* entries, uint32_t count, const TrackDocument* document) {
    std::vector<OutputLine> lines;
    SegmentWalker walker(document);
    for (uint32_t i = 0; i < count; ++i) {
        if (walker.Next(entries[i].index) || i == 0) {
            if (!lines.empty() && lines.back().written == 0) lines.pop_back();
            lines.push_back({i, i, 0, walker.Track()});
        }
        lines.back().end = i + 1;
        if (Writable(entries[i])) ++lines.back().written;
    }
    if (!lines.empty() && lines.back().written == 0) lines.pop_back();
    return lines;
}

// A per-point array over the lines of a feature: flat for one line, one
// array a line for several. `step` appends the value of an entry.
template <typename Step>
void AppendPerPoint(TextBuffer& out, OutputFile& file, const ExportEntry* entries, const OutputLine* lines,
                    std::size_t lineCount, Step step) {
    const bool nested = lineCount > 1;
    out.Append('[');
    for (std::size_t l = 0; l < lineCount; ++l) {
        if (nested) out.Append(l ? ", [" : "[");
        const char* separator = "";
        const OutputLine& line = lines[l];
        ForEachWritten(entries + line.begin, line.end - line.begin, line.written, [&](const ExportEntry& e) {
            out.Append(separator);
            separator = ", ";
            step(e);
            file.Flush();
        });
        if (nested) out.Append(']');
    }
    out.Append(']');
}

constexpr const char* kSensorProperty[kSensorCount] = {"heartRates", "cadences", "powers", "temperatures"};

}  // namespace

ReadStatus ReadGeoJsonFile(const std::string& path, TrackPointArray& points, uint32_t& count,
                           SensorChannels* sensors) {
    points.reset();
    count = 0;
    if (sensors) sensors->Clear();
    // Only regular files; O_NONBLOCK keeps the open of a FIFO from waiting.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return ReadStatus::kCannotOpen;
    struct stat info;
    PaddedBuffer buffer;
    ReadStatus status = ReadStatus::kOk;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        status = ReadStatus::kCannotOpen;
    } else if (!OpensAsJson(fd)) {
        status = ReadStatus::kNotThisFormat;
        SetReadReason("not a JSON object or array");
    } else if (!buffer.Allocate(static_cast<std::size_t>(info.st_size))) {
        status = ReadStatus::kNoMemory;
        SetReadReason("out of memory");
    } else {
        // The progress of a read: the file taken in, then parsed.
        ReportReadTotal(2 * static_cast<uint64_t>(info.st_size));
    }
    std::size_t size = 0;
    // A file that shrinks meanwhile is read as far as it goes.
    while (status == ReadStatus::kOk && size < buffer.size) {
        // In blocks, for the progress of a large file.
        const ssize_t n = pread(fd, buffer.bytes.get() + size,
                                std::min<std::size_t>(buffer.size - size, std::size_t{4} << 20),
                                static_cast<off_t>(size));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) status = ReadStatus::kCannotOpen;
        if (n <= 0) break;
        size += static_cast<std::size_t>(n);
        ReportReadBytes(static_cast<uint64_t>(n));
    }
    close(fd);
    if (status != ReadStatus::kOk) return status;
    if (size < buffer.size) {
        std::memset(buffer.bytes.get() + size, 0, simdjson::SIMDJSON_PADDING);
        buffer.size = size;
    }
    // The parser wants the document itself: a byte order mark goes.
    std::size_t skipped = 0;
    if (buffer.size >= 3 && std::memcmp(buffer.bytes.get(), kByteOrderMark, 3) == 0) {
        skipped = 3;
        buffer.size -= 3;
        std::memmove(buffer.bytes.get(), buffer.bytes.get() + 3, buffer.size);
        std::memset(buffer.bytes.get() + buffer.size, 0, simdjson::SIMDJSON_PADDING);
    }
    status = ReadPadded(buffer, skipped, points, count, sensors);
    ReportReadBytes(buffer.size);
    if (status != ReadStatus::kOk) {
        points.reset();
        count = 0;
        if (sensors) sensors->Clear();
    }
    return status;
}

namespace {

// "[longitude, latitude(, altitude)]".
void AppendPosition(TextBuffer& out, const TrackPoint& p, double altitude, bool hasAltitude) {
    out.Append('[');
    AppendFixed(out, p.longitude, 6);
    out.Append(", ");
    AppendFixed(out, p.latitude, 6);
    if (hasAltitude) {
        out.Append(", ");
        AppendShortFixed(out, altitude, 3);
    }
    out.Append(']');
}

// One feature of a track: a LineString of its one line, or a MultiLineString
// of its several, and its properties.
void AppendTrackFeature(OutputFile& file, const ExportEntry* entries, const OutputLine* lines, std::size_t lineCount,
                        std::string_view name, const SensorChannels* extras) {
    TextBuffer& out = file.Buffer();
    const SensorChannels* sensors = PresentChannels(extras);
    const bool multi = lineCount > 1;
    int64_t firstTime = -1;  // of the first dated point
    for (std::size_t l = 0; l < lineCount && firstTime < 0; ++l)
        for (uint32_t i = lines[l].begin; i < lines[l].end && firstTime < 0; ++i)
            if (Writable(entries[i])) firstTime = PointMilliseconds(*entries[i].point);
    // The geometry before the properties, so that a reader meets the points
    // before their per-point values.
    out.Append(
        "    {\n"
        "      \"type\": \"Feature\",\n"
        "      \"geometry\": {\n"
        "        \"type\": \"");
    out.Append(multi ? "MultiLineString" : "LineString");
    out.Append(
        "\",\n"
        "        \"coordinates\": [");
    for (std::size_t l = 0; l < lineCount; ++l) {
        if (multi) out.Append(l ? ",\n          [" : "\n          [");
        const char* separator = "\n";
        const OutputLine& line = lines[l];
        ForEachWritten(entries + line.begin, line.end - line.begin, line.written, [&](const ExportEntry& e) {
            out.Append(separator);
            separator = ",\n";
            out.Append(multi ? "            " : "          ");
            // A point without altitude has a position of two numbers.
            AppendPosition(out, *e.point, e.altitude,
                           std::isfinite(e.altitude) && !PointLacks(extras, e.index, kFieldAltitude));
            file.Flush();
        });
        if (multi) out.Append("\n          ]");
    }
    out.Append(
        "\n        ]\n"
        "      },\n"
        "      \"properties\": {");
    // Each property on a line of its own; an empty object stays on one line.
    const char* separator = "\n        ";
    const auto property = [&](const char* key) {
        out.Append(separator);
        separator = ",\n        ";
        out.Append('"');
        out.Append(key);
        out.Append("\": ");
    };
    if (!name.empty()) {
        property("name");
        AppendJsonString(out, name);
    }
    if (firstTime >= 0) {
        // The first dated point's time, and one time per point (null where a
        // point has none).
        property("time");
        out.Append('"');
        AppendIsoTime(out, firstTime);
        out.Append('"');
        property("coordTimes");
        AppendPerPoint(out, file, entries, lines, lineCount, [&](const ExportEntry& e) {
            const int64_t t = PointMilliseconds(*e.point);
            if (t < 0) {
                out.Append("null");
                return;
            }
            out.Append('"');
            AppendIsoTime(out, t);
            out.Append('"');
        });
    }
    for (int s = 0; sensors && s < kSensorCount; ++s) {
        const Sensor sensor = static_cast<Sensor>(s);
        if (!sensors->Has(sensor)) continue;
        property(kSensorProperty[s]);
        AppendPerPoint(out, file, entries, lines, lineCount, [&](const ExportEntry& e) {
            const float v = sensors->Value(sensor, e.index);
            if (IsSensorValue(v) && std::isfinite(v)) AppendSensorCell(out, v);
            else out.Append("null");
        });
    }
    if (*separator == ',') out.Append("\n      ");
    out.Append(
        "}\n"
        "    }");
}

bool OnEarth(const Waypoint& w) { return IsRealPosition(w.point.latitude, w.point.longitude); }

// One LineString feature of a route, of its points on the earth (a lone one
// given twice), marked as a route the way web converters of GPX files mark
// one: `_gpxType` "rte". Its `name`, `coordTimes` when every point has a
// time, and `pointNames` (null for a point without a name) when a point has
// a name.
void AppendRouteFeature(OutputFile& file, const Route& route) {
    TextBuffer& out = file.Buffer();
    std::size_t written = 0;
    bool timed = true, named = false;
    for (const Waypoint& w : route.points) {
        if (!OnEarth(w)) continue;
        ++written;
        if ((w.absent & kFieldTime) || PointMilliseconds(w.point) < 0) timed = false;
        if (!w.name.empty()) named = true;
    }
    // Each point on the earth, twice over for a lone one.
    const auto each = [&](auto step) {
        for (int round = 0; round < (written == 1 ? 2 : 1); ++round)
            for (const Waypoint& w : route.points)
                if (OnEarth(w)) step(w);
    };
    out.Append(
        "    {\n"
        "      \"type\": \"Feature\",\n"
        "      \"geometry\": {\n"
        "        \"type\": \"LineString\",\n"
        "        \"coordinates\": [");
    const char* separator = "\n";
    each([&](const Waypoint& w) {
        out.Append(separator);
        separator = ",\n";
        out.Append("          ");
        const double altitude = w.point.altitude;
        AppendPosition(out, w.point, altitude, !(w.absent & kFieldAltitude) && std::isfinite(altitude));
        file.Flush();
    });
    out.Append(
        "\n        ]\n"
        "      },\n"
        "      \"properties\": {\n"
        "        ");
    if (!route.name.empty()) {
        out.Append("\"name\": ");
        AppendJsonString(out, route.name);
        out.Append(",\n        ");
    }
    out.Append("\"_gpxType\": \"rte\"");
    if (timed) {
        out.Append(",\n        \"coordTimes\": [");
        separator = "";
        each([&](const Waypoint& w) {
            out.Append(separator);
            separator = ", ";
            out.Append('"');
            AppendIsoTime(out, PointMilliseconds(w.point));
            out.Append('"');
        });
        out.Append(']');
    }
    if (named) {
        out.Append(",\n        \"pointNames\": [");
        separator = "";
        each([&](const Waypoint& w) {
            out.Append(separator);
            separator = ", ";
            if (w.name.empty()) out.Append("null");
            else AppendJsonString(out, w.name);
        });
        out.Append(']');
    }
    out.Append(
        "\n      }\n"
        "    }");
}

// One Point feature of a waypoint, with the name, texts and time it has.
void AppendPlaceFeature(TextBuffer& out, const Waypoint& w) {
    out.Append(
        "    {\n"
        "      \"type\": \"Feature\",\n"
        "      \"geometry\": {\n"
        "        \"type\": \"Point\",\n"
        "        \"coordinates\": ");
    const double altitude = w.point.altitude;
    AppendPosition(out, w.point, altitude, !(w.absent & kFieldAltitude) && std::isfinite(altitude));
    out.Append(
        "\n      },\n"
        "      \"properties\": {");
    const char* separator = "\n        ";
    const auto text = [&](const char* key, const std::string& value) {
        if (value.empty()) return;
        out.Append(separator);
        separator = ",\n        ";
        out.Append(key);
        AppendJsonString(out, value);
    };
    text("\"name\": ", w.name);
    text("\"desc\": ", w.description);
    text("\"sym\": ", w.symbol);
    const int64_t t = (w.absent & kFieldTime) ? -1 : PointMilliseconds(w.point);
    if (t >= 0) {
        out.Append(separator);
        separator = ",\n        ";
        out.Append("\"time\": \"");
        AppendIsoTime(out, t);
        out.Append('"');
    }
    // An empty object stays on one line.
    if (*separator == ',') out.Append("\n      ");
    out.Append(
        "}\n"
        "    }");
}

}  // namespace

int WriteGeoJsonFile(const std::string& path, const ExportEntry* entries, uint32_t count,
                     uint32_t /*options*/, const SensorChannels* sensors) {
    const TrackDocument* document = sensors ? &sensors->document : nullptr;
    const std::vector<OutputLine> lines = OutputLines(entries, count, document);
    std::size_t places = 0;
    if (document) {
        for (const Waypoint& w : document->waypoints)
            if (OnEarth(w)) ++places;
        for (const Route& r : document->routes)
            for (const Waypoint& w : r.points)
                if (OnEarth(w)) ++places;
    }
    if (lines.empty() && places == 0) return 1;

    OutputFile file;
    if (!file.Create(path)) return 1;
    TextBuffer& out = file.Buffer();
    out.Append(
        "{\n"
        "  \"type\": \"FeatureCollection\",\n"
        "  \"features\": [\n");
    const char* separator = "";
    // One feature a track, named by its own name. The one track of a file
    // without a name of its own takes the file's title; among several, a
    // track without one has no name.
    const std::string title = document && document->TrackCount() > 1 ? std::string() : FileTitle(path);
    for (std::size_t first = 0, next; first < lines.size(); first = next) {
        for (next = first + 1; next < lines.size() && lines[next].track == lines[first].track;) ++next;
        const std::string& name = document ? document->TrackName(lines[first].track) : title;
        out.Append(separator);
        separator = ",\n";
        AppendTrackFeature(file, entries, lines.data() + first, next - first, name.empty() ? title : name, sensors);
    }
    // Then one feature a route that has a point on the earth, then the
    // waypoints.
    for (std::size_t i = 0; document && i < document->routes.size(); ++i) {
        const Route& r = document->routes[i];
        if (std::none_of(r.points.begin(), r.points.end(), OnEarth)) continue;
        out.Append(separator);
        separator = ",\n";
        AppendRouteFeature(file, r);
        file.Flush();
    }
    for (std::size_t i = 0; document && i < document->waypoints.size(); ++i) {
        const Waypoint& w = document->waypoints[i];
        if (!OnEarth(w)) continue;
        out.Append(separator);
        separator = ",\n";
        AppendPlaceFeature(out, w);
        file.Flush();
    }
    out.Append(
        "\n"
        "  ]\n"
        "}\n");
    return file.Commit() ? 0 : 1;
}

}  // namespace ferolin
