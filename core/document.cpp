#include "core/document.h"

#include <algorithm>

#include "core/clock.h"

namespace ferolin {

namespace {
const std::string kNoName;
}

uint32_t TrackDocument::SegmentOf(uint32_t index) const {
    if (starts_.size() <= 1) return 0;
    const auto after = std::upper_bound(starts_.begin(), starts_.end(), index);
    return after == starts_.begin() ? 0 : static_cast<uint32_t>(after - starts_.begin() - 1);
}

uint32_t TrackDocument::TrackOfSegment(uint32_t segment) const {
    if (tracks_.size() <= 1) return 0;
    const auto after = std::upper_bound(tracks_.begin(), tracks_.end(), segment,
                                        [](uint32_t s, const TrackHead& t) { return s < t.firstSegment; });
    return after == tracks_.begin() ? 0 : static_cast<uint32_t>(after - tracks_.begin() - 1);
}

const std::string& TrackDocument::TrackName(uint32_t track) const {
    return track < tracks_.size() ? tracks_[track].name : kNoName;
}

void TrackDocument::BeginSegment(uint32_t nextPoint) {
    // Points read before any segment began form the first one.
    if (starts_.empty() && nextPoint > 0) starts_.push_back(0);
    // A segment that got no point yet is reused.
    if (!starts_.empty() && starts_.back() == nextPoint) return;
    starts_.push_back(nextPoint);
}

void TrackDocument::BeginTrack(uint32_t nextPoint, std::string name) {
    if (tracks_.empty() && nextPoint > 0) tracks_.push_back({{}, 0});
    BeginSegment(nextPoint);
    const uint32_t segment = static_cast<uint32_t>(starts_.size() - 1);
    // A track whose segments got no point gives its place to the new one.
    while (!tracks_.empty() && tracks_.back().firstSegment >= segment) tracks_.pop_back();
    tracks_.push_back({std::move(name), segment});
}

void TrackDocument::NameTrack(std::string name) {
    if (tracks_.empty()) tracks_.push_back({{}, 0});
    tracks_.back().name = std::move(name);
}

void TrackDocument::Finish(uint32_t pointCount) {
    // Segments that start at or beyond the end hold no point, nor do tracks
    // that start beyond the last segment left.
    while (!starts_.empty() && starts_.back() >= pointCount) starts_.pop_back();
    const std::size_t segments = std::max<std::size_t>(starts_.size(), 1);
    while (tracks_.size() > 1 && tracks_.back().firstSegment >= segments) tracks_.pop_back();
    if (!tracks_.empty()) tracks_[0].firstSegment = 0;
    if (starts_.size() <= 1) starts_.clear();
    if (tracks_.size() == 1 && tracks_[0].name.empty()) tracks_.clear();
    if (pointCount == 0) tracks_.clear();
    laps.erase(std::remove_if(laps.begin(), laps.end(), [&](const Lap& l) { return l.firstPoint >= pointCount; }),
               laps.end());
}

void TrackDocument::SetStructure(std::vector<uint32_t> segmentStarts, std::vector<TrackHead> tracks) {
    starts_ = std::move(segmentStarts);
    tracks_ = std::move(tracks);
    if (starts_.size() <= 1) starts_.clear();
    if (tracks_.size() == 1 && tracks_[0].name.empty()) tracks_.clear();
}

void TrackDocument::Clear() {
    std::vector<uint32_t>().swap(starts_);
    std::vector<TrackHead>().swap(tracks_);
    std::vector<Waypoint>().swap(waypoints);
    std::vector<Route>().swap(routes);
    std::vector<Lap>().swap(laps);
}

std::size_t TrackDocument::Bytes() const {
    std::size_t bytes = starts_.capacity() * sizeof(uint32_t) + tracks_.capacity() * sizeof(TrackHead) +
                        waypoints.capacity() * sizeof(Waypoint) + laps.capacity() * sizeof(Lap) +
                        routes.capacity() * sizeof(Route);
    for (const Route& r : routes) bytes += r.points.capacity() * sizeof(Waypoint);
    return bytes;
}

bool SegmentWalker::Next(uint32_t index) {
    const bool first = !started_;
    started_ = true;
    newTrack_ = false;
    if (!document_ || document_->SegmentCount() == 1) return false;
    const uint32_t before = segment_;
    const uint32_t count = document_->SegmentCount();
    if (first || index < document_->SegmentStart(segment_)) {
        segment_ = document_->SegmentOf(index);
    } else {
        while (segment_ + 1 < count && document_->SegmentStart(segment_ + 1) <= index) ++segment_;
    }
    const uint32_t track = document_->TrackOfSegment(segment_);
    newTrack_ = !first && track != track_;
    track_ = track;
    return !first && segment_ != before;
}

uint32_t SegmentWalker::SegmentInTrack() const {
    return document_ ? segment_ - document_->FirstSegment(track_) : 0;
}

void SetPointSeconds(TrackPoint& point, double seconds) {
    point.day = point.month = 0;
    point.year = 0;
    point.hour = point.minute = 0;
    point.seconds = 0;
    // 1970-01-01 to 9999-12-31.
    if (!(seconds >= 0 && seconds < 253402300800.0)) return;
    const double whole = std::floor(seconds);
    const UtcDateTime t = UtcFromTime(static_cast<int64_t>(whole));
    point.year = static_cast<int16_t>(t.year);
    point.month = static_cast<int8_t>(t.month);
    point.day = static_cast<int8_t>(t.day);
    point.hour = static_cast<int8_t>(t.hour);
    point.minute = static_cast<int8_t>(t.minute);
    point.seconds = static_cast<float>(t.second + (seconds - whole));
}

}  // namespace ferolin
