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

void SetReadReason(std::string reason) {
    ReadReport& report = CurrentReadReport();
    if (report.reason.empty()) report.reason = std::move(reason);
}

}  // namespace ferolin
