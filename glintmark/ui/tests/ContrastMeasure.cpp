#include "ContrastMeasure.h"

#include <QHash>

#include <algorithm>
#include <cmath>

namespace {

double linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

} // namespace

double relativeLuminance(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TextContrast measureText(const QImage &image, const QRect &area)
{
    const QImage pixels = image.convertToFormat(QImage::Format_RGB32);
    const QRect inside = area & pixels.rect();
    QHash<QRgb, int> counts;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            ++counts[pixels.pixel(x, y)];
    TextContrast result;
    if (counts.isEmpty())
        return result;
    const auto most = std::max_element(counts.cbegin(), counts.cend());
    result.background = QColor::fromRgb(most.key());
    result.text = result.background;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const double ratio = contrastRatio(QColor::fromRgb(it.key()), result.background);
        if (ratio >= 1.5)
            result.inkPixels += it.value();
        if (ratio > result.ratio) {
            result.ratio = ratio;
            result.text = QColor::fromRgb(it.key());
        }
    }
    return result;
}

int pixelsChangedBy(const QImage &before, const QImage &after, const QRect &area, double ratio)
{
    const QImage a = before.convertToFormat(QImage::Format_RGB32);
    const QImage b = after.convertToFormat(QImage::Format_RGB32);
    const QRect inside = area & a.rect() & b.rect();
    int changed = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (contrastRatio(QColor::fromRgb(a.pixel(x, y)), QColor::fromRgb(b.pixel(x, y))) >= ratio)
                ++changed;
    return changed;
}
