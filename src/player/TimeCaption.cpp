#include "player/TimeCaption.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>

namespace corvid {

QString TimeCaption::text(double time, std::optional<TimePoint> recordedAt) {
    const qint64 ms = std::llround(std::max(0.0, time) * 1000.0);
    QString text = QStringLiteral("%1:%2:%3.%4")
                       .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
                       .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
                       .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
                       .arg(ms % 1000, 3, 10, QLatin1Char('0'));
    if (recordedAt) {
        const qint64 start =
            std::chrono::duration_cast<std::chrono::milliseconds>(recordedAt->time_since_epoch())
                .count();
        const QDateTime wall = QDateTime::fromMSecsSinceEpoch(start + ms).toLocalTime();
        text += QLatin1Char('\n') + wall.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    return text;
}

}  // namespace corvid
