#pragma once

#include <QColor>
#include <QImage>
#include <QRect>

// Contrast as WCAG 2 defines it, measured on rendered pixels.

// The relative luminance of a colour, 0 for black to 1 for white.
double relativeLuminance(const QColor &color);
// (L1 + 0.05) / (L2 + 0.05) with L1 the lighter colour: 1 for equal colours, 21 for black on white.
double contrastRatio(const QColor &a, const QColor &b);

struct TextContrast
{
    QColor background; // the colour most pixels of the area have
    QColor text;       // the pixel that stands out most from it: the core of a glyph's stroke
    double ratio = 1.0;
    int inkPixels = 0; // pixels at least 1.5:1 from the background: some text is there at all
};

// The text drawn in `area` of `image` against the background around it.
TextContrast measureText(const QImage &image, const QRect &area);

// How many pixels of `area` differ between two renderings by at least `ratio`: what a focus mark
// adds, seen against what was there before.
int pixelsChangedBy(const QImage &before, const QImage &after, const QRect &area, double ratio);
