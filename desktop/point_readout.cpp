#include "desktop/point_readout.h"

#include <cmath>

#include "core/sensors.h"

namespace ferolin {

namespace {

QString TwoDigits(int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }

}  // namespace

QString PointReadout(const TrackViewData& data, uint32_t index) {
    if (!data.points || index >= data.count) return QString();
    const TrackPoint& p = data.points[index];
    const QString none = QStringLiteral("-");
    const QString dot = QStringLiteral(" \u00B7 ");
    QString text;
    if (index < data.seconds.size() && !std::isnan(data.seconds[index])) {
        const float seconds = std::floor(p.seconds);
        text = TwoDigits(p.hour) + QLatin1Char(':') + TwoDigits(p.minute) + QLatin1Char(':') +
               TwoDigits(std::isfinite(seconds) ? static_cast<int>(seconds) : 0);
    } else {
        text = none;
    }
    const double metres = index < data.distance.size() ? data.distance[index] : 0.0;
    text += dot + QString::number(metres / 1000.0, 'f', 2) + QStringLiteral(" km");
    const double altitude = data.RawAltitude(index);
    text += dot + (std::isfinite(altitude) ? QString::number(altitude, 'f', 0) + QStringLiteral(" m")
                                           : none);
    if (data.sensors) {
        for (const SensorInfo& info : kSensorTable) {
            if (!data.sensors->Has(info.sensor)) continue;
            const float v = data.sensors->Value(info.sensor, index);
            // Whole numbers without decimals, others with one, as the point list shows them.
            text += dot + (IsSensorValue(v) ? QString::number(static_cast<double>(v), 'f',
                                                              v == std::round(v) ? 0 : 1) +
                                                  QLatin1Char(' ') + QString::fromUtf8(info.unit)
                                            : none);
        }
    }
    return text;
}

}  // namespace ferolin
