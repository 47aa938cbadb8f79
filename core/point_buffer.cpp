#include "core/point_buffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace ferolin {

namespace {
constexpr std::size_t kSmallestArray = 256;
}

PointBuffer::PointBuffer(std::size_t limit)
    : limit_(std::min(limit, kMaxPoints)), first_(std::min(kSmallestArray, limit_)) {}

void PointBuffer::Expect(std::size_t expected) {
    first_ = std::min(std::max(expected, kSmallestArray), limit_);
}

bool PointBuffer::Reallocate(std::size_t capacity) {
    if (!data_) {
        data_ = AllocateTrackPoints(capacity);  // zero pages
        return data_ != nullptr;
    }
    void* grown = std::realloc(data_.get(), capacity * sizeof(TrackPoint));
    if (!grown) return false;
    (void)data_.release();
    data_.reset(static_cast<TrackPoint*>(grown));
    std::memset(static_cast<void*>(data_.get() + capacity_), 0,
                (capacity - capacity_) * sizeof(TrackPoint));
    return true;
}

bool PointBuffer::Grow(std::size_t needed) {
    if (needed > kMaxPoints) return false;
    // Double, within the limit as long as the points fit it.
    std::size_t capacity = capacity_ ? capacity_ * 2 : first_;
    if (needed <= limit_) capacity = std::min(capacity, limit_);
    capacity = std::max(capacity, needed);
    // A large array the system refuses may still be had smaller.
    while (!Reallocate(capacity)) {
        if (capacity == needed) return false;
        capacity = std::max(needed, capacity_ + (capacity - capacity_) / 2);
    }
    capacity_ = capacity;
    return true;
}

bool PointBuffer::Resize(std::size_t count) {
    if (count > capacity_ && !Grow(count)) return false;
    if (count > size_) size_ = count;
    return true;
}

void PointBuffer::Clear() {
    data_.reset();
    size_ = 0;
    capacity_ = 0;
}

TrackPointArray PointBuffer::Release(std::size_t count) {
    TrackPointArray array;
    if (count > 0 && count <= size_) {
        array = std::move(data_);
        // Give back what the doubling left over; keep the larger array if
        // the system refuses.
        if (count < capacity_) {
            if (void* trimmed = std::realloc(array.get(), count * sizeof(TrackPoint))) {
                (void)array.release();
                array.reset(static_cast<TrackPoint*>(trimmed));
            }
        }
    }
    Clear();
    return array;
}

}  // namespace ferolin
