#include "core/read_status.h"

#include <limits>
#include <utility>

namespace ferolin {

DeviceTotals ReadReport::NoDeviceTotals() {
    constexpr double none = std::numeric_limits<double>::quiet_NaN();
    return {none, none, none, none};
}

ReadReport& CurrentReadReport() {
    thread_local ReadReport report;
    return report;
}

namespace {
thread_local ReadProgress* currentProgress = nullptr;
}  // namespace

double ReadProgress::Fraction() const {
    const uint64_t all = total.load(std::memory_order_relaxed);
    if (all == 0) return 0;
    const uint64_t part = done.load(std::memory_order_relaxed);
    return part >= all ? 1.0 : static_cast<double>(part) / static_cast<double>(all);
}

void SetCurrentReadProgress(ReadProgress* progress) { currentProgress = progress; }

void ReportReadBytes(uint64_t bytes) {
    if (currentProgress) currentProgress->done.fetch_add(bytes, std::memory_order_relaxed);
}

void ReportReadTotal(uint64_t bytes) {
    if (currentProgress) currentProgress->total.store(bytes, std::memory_order_relaxed);
}

void SetReadReason(std::string reason) {
    ReadReport& report = CurrentReadReport();
    if (report.reason.empty()) report.reason = std::move(reason);
}

}  // namespace ferolin
