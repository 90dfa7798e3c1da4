#include "FontSize.h"

#include <QLocale>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace FontSize {

// No thousands separator, so that a size shown can be typed back.
QLocale locale()
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}

int pixelsOfPoints(double points)
{
    return qRound(points * 96.0 / 72.0);
}

int pixelsOfStoredHeight(qint32 height)
{
    const qint64 magnitude = height < 0 ? -qint64(height) : qint64(height);
    return int(std::min<qint64>(magnitude, pixelsOfPoints(kMaxPoints)));
}

QString textOfPixels(int pixels)
{
    if (pixels <= 0)
        return {};
    const double points = pixels * 72.0 / 96.0;
    const int whole = qRound(points);
    if (pixelsOfPoints(whole) == pixels)
        return locale().toString(whole);
    return locale().toString(std::floor(points * 10.0 + 0.5) / 10.0, 'f', 1);
}

int pixelsOfText(const QString &text)
{
    bool ok = false;
    const double points = locale().toDouble(text.trimmed(), &ok);
    if (!ok || !(points >= kMinPoints && points <= kMaxPoints))
        return 0;
    return pixelsOfPoints(points);
}

} // namespace FontSize
