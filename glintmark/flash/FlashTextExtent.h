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

    // Texts longer than this are wider than any screen; they are summed from the advance table
    // whatever they hold, and only the part of them that can be seen is drawn.
    static constexpr qsizetype kLongText = 4096;

    // Whole pixels, rounded up, so a text drawn at x = 0 never passes its extent.
    int width(const QString &text);
    int height() const;

    // The characters of a text drawn from x = 0 (left to right, or mirrored for a right-to-left
    // text) that lie between fromX and toX, with a few more on each side so that the edges draw
    // as they would in the whole text; and where that part starts. A short text is all of it.
    struct Part
    {
        qsizetype start = 0;
        qsizetype length = 0;
        int x = 0;
    };
    Part visiblePart(const QString &text, int fromX, int toX);

private:
    float advance(char16_t unit);

    QFontMetricsF m_metrics;
    int m_height;
    // By UTF-16 unit, negative until asked; advances are 1/64 pixels, exact in a float.
    std::vector<float> m_advances;
};

// A text as the overlay measures and draws it: one line, with every control character (line
// breaks, tabs) and line or paragraph separator shown as a space.
QString singleLineText(QString text);
