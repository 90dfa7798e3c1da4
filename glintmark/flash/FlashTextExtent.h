#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QString>

#include <vector>

// The single-line extent of texts in one font, for measuring thousands of texts at once.
// Texts made only of characters that need no shaping (Latin, Greek, Cyrillic, Chinese,
// Japanese kana, Korean syllables, common punctuation) are summed from a table of character
// advances, many times faster than laying out each text; any other text is laid out whole.
// The font should have kerning off, as the overlay draws it, so that both ways agree with
// what is drawn.
class FlashTextExtent
{
public:
    explicit FlashTextExtent(const QFont &font);

    // Whole pixels, rounded up, so a text drawn at x = 0 never passes its extent.
    int width(const QString &text);
    int height() const;

private:
    QFontMetricsF m_metrics;
    int m_height;
    // By UTF-16 unit, negative until asked; advances are 1/64 pixels, exact in a float.
    std::vector<float> m_advances;
};

// A text as the overlay measures and draws it: one line, with every control character (line
// breaks, tabs) and line or paragraph separator shown as a space.
QString singleLineText(QString text);
