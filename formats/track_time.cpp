#include "formats/track_time.h"

#include <cmath>

#include "core/calendar.h"
#include "core/clock.h"
#include "formats/text_fields.h"

namespace ferolin {

namespace {

// Exactly `n` decimal digits at `p`, as a number; false when any is missing.
bool Digits(const char*& p, const char* end, int n, int& value) {
    if (end - p < n) return false;
    int v = 0;
    for (int i = 0; i < n; ++i) {
        if (!scan::IsDigit(p[i])) return false;
        v = v * 10 + (p[i] - '0');
    }
    p += n;
    value = v;
    return true;
}

}  // namespace

bool ParseIsoTime(std::string_view text, TrackPoint& point) {
    const char* p = text.data();
    const char* end = p + text.size();
    scan::SkipSpace(p, end);
    while (end > p && scan::IsSpace(end[-1])) --end;

    int year, month, day, hour, minute, second;
    if (!Digits(p, end, 4, year) || (p < end && scan::IsDigit(*p))) return false;
    if (!scan::Literal(p, end, '-') || !Digits(p, end, 2, month) || !scan::Literal(p, end, '-') ||
        !Digits(p, end, 2, day))
        return false;
    if (p >= end || (*p != 'T' && *p != 't' && *p != ' ')) return false;
    ++p;
    if (!Digits(p, end, 2, hour) || !scan::Literal(p, end, ':') || !Digits(p, end, 2, minute) ||
        !scan::Literal(p, end, ':') || !Digits(p, end, 2, second))
        return false;
    double fraction = 0;
    if (p < end && *p == '.') {
        const char* start = p++;
        while (p < end && scan::IsDigit(*p)) ++p;
        if (p - start < 2) return false;
        fraction = ParseReal(start, p);
    }
    int offset = 0;  // minutes east of UTC
    if (p < end && (*p == 'Z' || *p == 'z')) {
        ++p;
    } else if (p < end && (*p == '+' || *p == '-')) {
        const int sign = *p++ == '-' ? -1 : 1;
        int hours, minutes = 0;
        if (!Digits(p, end, 2, hours)) return false;
        if (p < end && *p == ':') ++p;
        if (p < end && !Digits(p, end, 2, minutes)) return false;
        if (hours > 23 || minutes > 59) return false;
        offset = sign * (hours * 60 + minutes);
    }
    // Only dates and times that exist: 24:00:00 is the end of the day (the
    // next day's midnight), a leap second 60 the last moment of its minute.
    if (p != end || year < 1970 || !DateExists(year, month, day) || hour > 24 || minute > 59 ||
        second > 60 ||
        (hour == 24 && (minute != 0 || second != 0 || fraction != 0)))
        return false;
    double seconds = second + fraction;
    if (second == 60) {
        second = 59;
        seconds = 59.999;
    }

    // Moved to UTC through seconds since 1970, which must stay within the
    // years 1970 to 9999.
    const int64_t t = CalendarTime(year, month, day, hour, minute, 0) -
                      static_cast<int64_t>(offset) * 60;
    if (t < 0) return false;
    const UtcDateTime utc = UtcFromTime(t);
    if (utc.year > 9999) return false;
    point.year = static_cast<int16_t>(utc.year);
    point.month = static_cast<int8_t>(utc.month);
    point.day = static_cast<int8_t>(utc.day);
    point.hour = static_cast<int8_t>(utc.hour);
    point.minute = static_cast<int8_t>(utc.minute);
    point.seconds = ToFloat(seconds);
    return true;
}

int64_t PointMilliseconds(const TrackPoint& point) {
    const int64_t t = TrackPointTime(point);
    if (t < 0) return -1;
    // TrackPointTime took the whole seconds toward zero; the rest is the fraction.
    const double s = point.seconds;
    const double fraction = (s > -2147483648.0 && s < 2147483648.0) ? s - std::trunc(s) : 0;
    const int64_t ms = t * 1000 + static_cast<int64_t>(std::llround(fraction * 1000));
    return ms < 0 ? -1 : ms;
}

bool ExportTimeline::Dated() const { return count_ > 0 && clock_.pointTime(*entries_[0].point) >= 0; }

bool ExportTimeline::Next() {
    if (index_ >= count_) return false;
    const ExportEntry& e = entries_[index_];
    const double chord = chords_.Next(e);
    if (index_ == 0) {
        const int64_t own = clock_.pointTime(*e.point);
        dated_ = own >= 0;
        const int64_t now = CurrentUtcTime() - clock_.epoch;
        anchorTime_ = dated_ ? own
                      : now > 0 && now < clock_.limit / clock_.perSecond ? now * clock_.perSecond
                                                                         : 0;
        anchorDistance_ = distance_ = 0;
        time_ = anchorTime_;
    } else {
        const double step = chord * (kEarthRadiusKm * 1000);
        if (std::isfinite(step)) distance_ += step;
        const int64_t own = dated_ ? clock_.pointTime(*e.point) : -1;
        if (own >= 0) {
            anchorTime_ = own;
            anchorDistance_ = distance_;
            time_ = own;
        } else {
            // 10 km/h: 0.36 s a metre, in whole seconds.
            const double seconds = std::round((distance_ - anchorDistance_) * 0.36);
            const int64_t later = TruncateTo<int64_t>(seconds * static_cast<double>(clock_.perSecond));
            time_ = later < clock_.limit - anchorTime_ ? anchorTime_ + later : clock_.beyond;
        }
    }
    ++index_;
    return true;
}

}  // namespace ferolin
