// Fuzz target: the logger's frame reception and record decoding on arbitrary
// bytes, as if they came from the port after the transfer started. The first
// byte picks the announced record count, the rest is the byte stream.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "devices/logger.h"

namespace {

class MemorySource : public ferolin::LoggerByteSource {
public:
    MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t Read(uint8_t* out, size_t n) override {
        const size_t take = n < size_ - at_ ? n : size_ - at_;
        if (take) std::memcpy(out, data_ + at_, take);
        at_ += take;
        return take;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // 0xFF: the count a broken logger may announce; else a small bound.
    const uint32_t announced = data[0] == 0xFF ? 0xFFFFFFFFu : data[0];
    MemorySource source(data + 1, size - 1);
    ferolin::TrackPointArray points;
    uint32_t count = 0;
    const ferolin::ReadStatus status =
        ferolin::ReceiveLoggerRecords(source, announced, points, count);
    if (status == ferolin::ReadStatus::kOk && count > 0) {
        uint32_t sum = 0;
        for (uint32_t i = 0; i < count; ++i)
            sum += static_cast<uint32_t>(points[i].record) + static_cast<uint8_t>(points[i].satellites);
        volatile uint32_t sink = sum;
        (void)sink;
    }
    // The same bytes as single replies.
    MemorySource replies(data, size);
    ferolin::LoggerReply reply;
    for (int i = 0; i < 8; ++i) {
        ferolin::ReceiveLoggerFrame(replies, reply);
        ferolin::TrackPoint point{};
        ferolin::DecodeLoggerRecord(reply, point);
        if (reply.length > 252) __builtin_trap();
    }
    return 0;
}
