#pragma once

#include <QLocale>
#include <QString>

// Font sizes as the font chooser shows them and "font.dat" keeps them. The stored heights are
// whole pixels, and one pixel is three quarters of a point. A height is shown as the simplest
// size that gives it back: the whole point size if one does, else the nearest tenth of a point.
// So every whole size picked or typed reads back as it was, and a size typed finer than a pixel
// reads back as the size of the height it gave.
namespace FontSize {

constexpr double kMinPoints = 1.0;
constexpr double kMaxPoints = 1000.0;

// How sizes are written: the user's decimal point, no thousands separator.
QLocale locale();
int pixelsOfPoints(double points);
// The pixel size a stored height draws with: its magnitude (the sign only says whether it
// measures the cell or the characters), at most the largest size the chooser offers; 0 for 0.
// Any 32-bit height is safe, the most negative one too.
int pixelsOfStoredHeight(qint32 height);
QString textOfPixels(int pixels);
// The pixel height of a size as shown or typed (in the user's locale), or 0 when the text is
// no size within kMinPoints to kMaxPoints.
int pixelsOfText(const QString &text);

} // namespace FontSize
