#include "formats/xml_track.h"

#include <expat.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "core/paths.h"
#include "core/point_buffer.h"
#include "core/text_format.h"

namespace ferolin {

namespace {

// Separates namespace name, local name and prefix in the names expat hands
// out ("uri\1local\1prefix"). Byte 1 cannot occur in an XML 1.0 document, not
// even through a character reference, so it never belongs to a name or URI.
constexpr char kNameSeparator = '\x01';

constexpr std::size_t kReadChunk = 1 << 18;

inline char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Local name of an expat name: the part after the namespace name, up to the
// prefix.
std::string_view LocalNameOf(const char* name) {
    const char* end = strchrnul(name, kNameSeparator);
    if (!*end) return std::string_view(name, static_cast<std::size_t>(end - name));
    const char* local = end + 1;
    end = strchrnul(local, kNameSeparator);
    return std::string_view(local, static_cast<std::size_t>(end - local));
}

std::string_view PrefixOf(const char* name) {
    const char* local = std::strchr(name, kNameSeparator);
    if (!local) return {};
    const char* prefix = std::strchr(local + 1, kNameSeparator);
    return prefix ? std::string_view(prefix + 1) : std::string_view();
}

// windows-1252, the encoding IGN Rando files declare: code point of every
// byte. The five bytes the code page leaves unassigned map to the C1 control
// of the same value, as web browsers read them.
constexpr int kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

int XMLCALL OnUnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
    if (!XmlNameIs(name, "windows-1252") && !XmlNameIs(name, "cp1252") &&
        !XmlNameIs(name, "x-cp1252"))
        return XML_STATUS_ERROR;
    for (int i = 0; i < 256; ++i) info->map[i] = (i >= 0x80 && i < 0xA0) ? kWindows1252High[i - 0x80] : i;
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
}

}  // namespace

// The records being read, and the handler's record counter.
class XmlTrackTarget {
public:
    explicit XmlTrackTarget(std::size_t limit) : points_(limit) {}

    uint32_t index = 0;
    bool failed = false;  // out of memory, or the counter overflowed
    SensorChannels* sensors = nullptr;  // null when the read gathers no channel

    TrackPoint* Slot() {
        if (index >= points_.size() && !points_.Resize(static_cast<std::size_t>(index) + 1)) {
            failed = true;
            return nullptr;
        }
        return &points_[index];
    }
    void Next() {
        if (index == UINT32_MAX) failed = true;
        else ++index;
    }
    // Hands the array out with exactly `index` slots, and the channels cut to
    // the same count.
    bool Finish(TrackPointArray& points) {
        if (sensors) sensors->Align(index);
        if (!points_.Resize(index)) return false;
        points = points_.Release(index);
        return true;
    }

private:
    PointBuffer points_;
};

bool XmlNameIs(std::string_view name, std::string_view expected) {
    if (name.size() != expected.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (Lower(name[i]) != Lower(expected[i])) return false;
    return true;
}

std::size_t XmlAttributes::Count() const {
    std::size_t n = 0;
    while (pairs_[2 * n]) ++n;
    return n;
}

std::string_view XmlAttributes::LocalName(std::size_t i) const { return LocalNameOf(pairs_[2 * i]); }

std::string_view XmlAttributes::Prefix(std::size_t i) const { return PrefixOf(pairs_[2 * i]); }

bool XmlAttributes::QualifiedNameIs(std::size_t i, std::string_view name) const {
    const std::string_view prefix = Prefix(i);
    const std::string_view local = LocalName(i);
    if (prefix.empty()) return XmlNameIs(local, name);
    if (name.size() != prefix.size() + 1 + local.size() || name[prefix.size()] != ':') return false;
    return XmlNameIs(name.substr(0, prefix.size()), prefix) &&
           XmlNameIs(name.substr(prefix.size() + 1), local);
}

void TrackSaxHandler::StartElement(std::string_view, const XmlAttributes&) {}
void TrackSaxHandler::EndElement(std::string_view) {}
void TrackSaxHandler::Characters(std::string_view) {}

uint32_t TrackSaxHandler::Index() const { return target_ ? target_->index : 0; }

TrackPoint* TrackSaxHandler::Slot() { return target_ ? target_->Slot() : nullptr; }

void TrackSaxHandler::NextRecord() {
    if (target_) target_->Next();
}

void TrackSaxHandler::SetSensor(Sensor sensor, float value) {
    if (!target_ || !target_->sensors || target_->index == UINT32_MAX) return;
    if (!IsPossibleSensorValue(sensor, value)) {
        CurrentReadReport().Count(LeftOut::kImpossibleValue);
        return;
    }
    // The channel grows with the records (amortised, like the point array).
    target_->sensors->Channel(sensor, target_->index + 1)[target_->index] = value;
}

void TrackSaxHandler::SetSensorAt(uint32_t index, Sensor sensor, float value) {
    if (!target_ || !target_->sensors || index >= target_->index) return;
    if (!IsPossibleSensorValue(sensor, value)) {
        CurrentReadReport().Count(LeftOut::kImpossibleValue);
        return;
    }
    target_->sensors->Channel(sensor, target_->index)[index] = value;
}

void TrackSaxHandler::MarkAbsent(uint8_t fields) {
    if (target_ && target_->sensors) target_->sensors->MarkAbsent(target_->index, fields);
}

TrackDocument* TrackSaxHandler::Document() {
    return target_ && target_->sensors ? &target_->sensors->document : nullptr;
}

void TrackSaxHandler::DropRecord(LeftOut cause) {
    CurrentReadReport().Count(cause);
    if (!target_) return;
    if (TrackPoint* p = target_->Slot()) *p = TrackPoint{};
    if (target_->sensors) target_->sensors->ForgetPoint(target_->index);
}

namespace {

// One read: the parser, the handler, the records and the text gathered since
// the last tag.
class XmlRead {
public:
    // `limit`: the document's size. A record takes at least one of its bytes
    // (entities aside, which expat keeps from amplifying much).
    XmlRead(TrackSaxHandler& handler, std::size_t limit, SensorChannels* sensors)
        : handler_(handler), target_(limit) {
        target_.sensors = sensors;
    }
    ~XmlRead() {
        if (parser_) XML_ParserFree(parser_);
    }

    bool Create() {
        parser_ = XML_ParserCreateNS(nullptr, kNameSeparator);
        if (!parser_) return false;
        XML_SetReturnNSTriplet(parser_, XML_TRUE);
        XML_SetUserData(parser_, this);
        XML_SetElementHandler(parser_, OnStart, OnEnd);
        XML_SetUnknownEncodingHandler(parser_, OnUnknownEncoding, nullptr);
        handler_.SetTarget(&target_);
        UpdateTextHandler();
        return true;
    }

    // Parses one piece; false when the parse has failed.
    bool ParseBuffer(int length, bool last) {
        return XML_ParseBuffer(parser_, length, last) == XML_STATUS_OK && !failed();
    }
    void* Buffer(int length) { return XML_GetBuffer(parser_, length); }

    // Status after a failed parse, with the parser's reason in the report.
    ReadStatus FailureStatus() const {
        if (failed()) {
            SetReadReason("out of memory");
            return ReadStatus::kNoMemory;
        }
        SetReadReason("XML error at line " + std::to_string(XML_GetCurrentLineNumber(parser_)) +
                      ", column " + std::to_string(XML_GetCurrentColumnNumber(parser_) + 1) +
                      ": " + XML_ErrorString(XML_GetErrorCode(parser_)));
        return ReadStatus::kXmlMalformed;
    }

    ReadStatus Finish(TrackPointArray& points, uint32_t& count) {
        if (!target_.Finish(points)) return ReadStatus::kNoMemory;
        count = target_.index;
        return ReadStatus::kOk;
    }

private:
    bool failed() const { return target_.failed || outOfMemory_; }

    void FlushText() {
        if (text_.empty()) return;
        handler_.Characters(text_.View());
        text_.clear();
    }

    void UpdateTextHandler() {
        const bool want = handler_.WantsText();
        if (want == gathering_) return;
        XML_SetCharacterDataHandler(parser_, want ? OnText : nullptr);
        gathering_ = want;
    }

    // Nothing may unwind through the parser: a failure stops it instead.
    template <typename Step>
    static void Guarded(void* data, Step step) {
        XmlRead& read = *static_cast<XmlRead*>(data);
        try {
            step(read);
        } catch (const std::bad_alloc&) {
            read.outOfMemory_ = true;
        }
        if (read.failed()) XML_StopParser(read.parser_, XML_FALSE);
    }

    static void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
        Guarded(data, [name, attributes](XmlRead& read) {
            read.FlushText();
            read.handler_.StartElement(LocalNameOf(name), XmlAttributes(attributes));
            read.UpdateTextHandler();
        });
    }

    static void XMLCALL OnEnd(void* data, const XML_Char* name) {
        Guarded(data, [name](XmlRead& read) {
            read.FlushText();
            read.handler_.EndElement(LocalNameOf(name));
            read.UpdateTextHandler();
        });
    }

    static void XMLCALL OnText(void* data, const XML_Char* text, int length) {
        Guarded(data, [text, length](XmlRead& read) {
            read.text_.Append(std::string_view(text, static_cast<std::size_t>(length)));
        });
    }

    TrackSaxHandler& handler_;
    XML_Parser parser_ = nullptr;
    XmlTrackTarget target_;
    TextBuffer text_;
    bool gathering_ = false;
    bool outOfMemory_ = false;
};

std::unique_ptr<TrackSaxHandler> MakeHandler(TrackSaxHandlerFactory factory) {
    try {
        return factory ? factory() : nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// The bytes of an open file; a failed read says why.
class FileSource : public XmlByteSource {
public:
    explicit FileSource(int fd) : fd_(fd) {}
    long Read(char* buffer, std::size_t size) override {
        ssize_t n;
        do n = ::read(fd_, buffer, size);
        while (n < 0 && errno == EINTR);
        if (n < 0) SetReadReason(std::strerror(errno));
        return static_cast<long>(n);
    }

private:
    int fd_;
};

ReadStatus ReadSource(XmlByteSource& source, XmlRead& read) {
    for (;;) {
        void* buffer = read.Buffer(static_cast<int>(kReadChunk));
        if (!buffer) return ReadStatus::kNoMemory;
        const long n = source.Read(static_cast<char*>(buffer), kReadChunk);
        if (n < 0) return ReadStatus::kXmlUnreadable;
        ReportReadBytes(static_cast<uint64_t>(n));
        if (!read.ParseBuffer(static_cast<int>(n), n == 0)) return read.FailureStatus();
        if (n == 0) return ReadStatus::kOk;
    }
}

}  // namespace

ReadStatus ReadXmlTrackFrom(XmlByteSource& source, std::size_t size, TrackSaxHandlerFactory factory,
                            TrackPointArray& points, uint32_t& count, SensorChannels* sensors) {
    points.reset();
    count = 0;
    if (sensors) sensors->Clear();
    ReadStatus status = ReadStatus::kNoMemory;
    if (std::unique_ptr<TrackSaxHandler> handler = MakeHandler(factory)) {
        XmlRead read(*handler, size, sensors);
        if (read.Create()) {
            status = ReadSource(source, read);
            if (status == ReadStatus::kOk) status = read.Finish(points, count);
        }
    }
    if (status != ReadStatus::kOk && sensors) sensors->Clear();
    return status;
}

ReadStatus ReadXmlTrack(const std::string& path, TrackSaxHandlerFactory factory,
                        TrackPointArray& points, uint32_t& count, SensorChannels* sensors) {
    points.reset();
    count = 0;
    if (sensors) sensors->Clear();
    // Only regular files are tracks.
    std::size_t size = 0;
    const int fd = OpenTrackFile(path, size);
    if (fd < 0) return ReadStatus::kXmlUnreadable;
    FileSource source(fd);
    const ReadStatus status = ReadXmlTrackFrom(source, size, factory, points, count, sensors);
    close(fd);
    return status;
}

}  // namespace ferolin
