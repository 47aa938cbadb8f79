// The growing point container of the readers that learn how many points their
// input holds only by reading it (NMEA traces, Magellan logs, the XML formats,
// the logger download).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/track_point.h"

namespace ferolin {

// One zero-filled array of points that doubles when full, so that a point
// costs amortised constant time and no allocation of its own. The reader
// gives a limit derived from its input: the most points the input can hold
// (a minimum number of bytes a point, a count the device announced). Growth
// never reserves beyond it, so that a small or hostile input never makes the
// buffer take more memory than its contents justify; points that still come
// beyond it (a file that grew while it was read) are taken all the same. A
// track counts its points in 32 bits: kMaxPoints is the hard end.
class PointBuffer {
public:
    static constexpr std::size_t kMaxPoints = UINT32_MAX;

    explicit PointBuffer(std::size_t limit = kMaxPoints);
    PointBuffer(const PointBuffer&) = delete;
    PointBuffer& operator=(const PointBuffer&) = delete;

    // The number of points the input is likely to hold: the first array takes
    // that many (within the limit), so that an input read as expected fills
    // it without a copy. Memory is taken at the first point.
    void Expect(std::size_t expected);

    std::size_t size() const { return size_; }
    TrackPoint& operator[](std::size_t i) { return data_[i]; }
    TrackPoint& back() { return data_[size_ - 1]; }

    // Appends a zeroed point; nullptr when memory runs out or the buffer holds
    // kMaxPoints already.
    TrackPoint* Add() { return size_ < capacity_ || Grow(size_ + 1) ? &data_[size_++] : nullptr; }
    // Grows to `count` points, the new ones zeroed (a smaller count changes
    // nothing); false when memory runs out or count is beyond kMaxPoints.
    bool Resize(std::size_t count);
    // Drops every point and the memory.
    void Clear();
    // Hands the first `count` points (count <= size()) over as an array of
    // exactly that many, and empties the buffer; no array for 0 points.
    TrackPointArray Release(std::size_t count);

private:
    bool Grow(std::size_t needed);
    // Moves the points to an array of `capacity` (more than now) points.
    bool Reallocate(std::size_t capacity);

    TrackPointArray data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    std::size_t limit_;
    std::size_t first_;
};

}  // namespace ferolin
