// The reading procedure shared by the XML track formats (GPX, KML, IGN Rando):
// expat with namespace processing runs over the file once and hands element
// and text events to a format's content handler, which fills track points into
// an array that grows as the records come.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/read_status.h"
#include "core/sensors.h"
#include "core/track_point.h"

namespace ferolin {

// Case-insensitive comparison of an element or attribute name with an ASCII name.
bool XmlNameIs(std::string_view name, std::string_view expected);

// The attributes of one start tag, as the parser delivers them.
class XmlAttributes {
public:
    explicit XmlAttributes(const char** pairs) : pairs_(pairs) {}
    std::size_t Count() const;
    // The attribute's name as written: "prefix:local", or "local" without prefix.
    bool QualifiedNameIs(std::size_t i, std::string_view name) const;
    std::string_view LocalName(std::size_t i) const;
    std::string_view Prefix(std::size_t i) const;  // empty without prefix
    std::string_view Value(std::size_t i) const { return pairs_[2 * i + 1]; }

private:
    const char** pairs_;
};

class XmlTrackTarget;

// Base of the format handlers: do-nothing defaults for every event, the
// record counter and the slots being filled.
class TrackSaxHandler {
public:
    virtual ~TrackSaxHandler() = default;

    // `localName` is the element's name without namespace or prefix.
    virtual void StartElement(std::string_view localName, const XmlAttributes& attributes);
    virtual void EndElement(std::string_view localName);
    // The character data met since the last start or end tag, as one text
    // however the parser divided it (UTF-8). Delivered just before the next
    // start or end tag, and only while WantsText() holds.
    virtual void Characters(std::string_view text);
    // Whether the character data in the current state matters to the handler;
    // asked after every start and end tag.
    virtual bool WantsText() const { return false; }

    // Connects the handler to the records being read.
    void SetTarget(XmlTrackTarget* target) { target_ = target; }

protected:
    // The record counter: the number of records completed so far, which is
    // also the index of the slot being filled.
    uint32_t Index() const;
    // The slot at Index(), zero-filled when new; nullptr when memory ran out
    // (the read then fails).
    TrackPoint* Slot();
    // Completes the current record: the counter moves on by one.
    void NextRecord();
    // Gives the record at Index() a value of a sensor channel, when the read
    // gathers channels (ignored otherwise). A value no body or device gives
    // is left absent and counted in the read's report.
    void SetSensor(Sensor sensor, float value);
    // Marks PointField bits absent in the record at Index(), when the read
    // gathers what lies beside the records.
    void MarkAbsent(uint8_t fields);
    // Gives the record at `index` (one already completed) a value of a
    // sensor channel, as SetSensor does for the record being filled: for
    // values a file lists after the points they belong to.
    void SetSensorAt(uint32_t index, Sensor sensor, float value);
    // Drops the record at Index() (no point for it: the slot is zeroed for
    // the next one) and counts it in the read's report under `cause`.
    void DropRecord(LeftOut cause);
    // The document being built beside the records (tracks, segments,
    // waypoints, routes, laps); null when the read gathers nothing beside
    // the records.
    TrackDocument* Document();

    int state_ = 0;

private:
    XmlTrackTarget* target_ = nullptr;
};

using TrackSaxHandlerFactory = std::unique_ptr<TrackSaxHandler> (*)();

// Reads the regular file at `path` (a FIFO or a device is refused without
// waiting) with a handler from `factory`. kOk with the points and their
// count, or with count 0 and no array when the file holds no record. A file
// that is missing, unreadable or not a regular file gives kXmlUnreadable, a
// document that is not well-formed kXmlMalformed, and exhausted memory
// kNoMemory; the outputs then hold no track. The records are numbered by the
// handler's counter: the count is the number of records it completed, and
// slots it never wrote stay zero. `sensors`, when not null, receives the
// channel values the handler set, one a record (no channel when none was
// set, nothing on failure).
ReadStatus ReadXmlTrack(const std::string& path, TrackSaxHandlerFactory factory,
                        TrackPointArray& points, uint32_t& count, SensorChannels* sensors = nullptr);

// Where a document comes from when it is no file of its own (a member of an
// archive): Read fills `buffer` with up to `size` bytes and returns how many,
// 0 at the end, or -1 on an error, having set the read's reason.
class XmlByteSource {
public:
    virtual ~XmlByteSource() = default;
    virtual long Read(char* buffer, std::size_t size) = 0;
};

// Reads a document from `source` as ReadXmlTrack reads a file; `size` is the
// most bytes the document may hold, which bounds the array of records. An
// error of the source gives kXmlUnreadable.
ReadStatus ReadXmlTrackFrom(XmlByteSource& source, std::size_t size, TrackSaxHandlerFactory factory,
                            TrackPointArray& points, uint32_t& count, SensorChannels* sensors = nullptr);

}  // namespace ferolin
