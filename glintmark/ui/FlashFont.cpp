#include "FlashFont.h"

#include "FontSize.h"

#include <QtMath>

namespace {

// Points are taken at 96 dots per inch, the density the stored heights were made for.
int pixelHeight(const QFont &font)
{
    return font.pixelSize() > 0 ? font.pixelSize() : qRound(font.pointSizeF() * 96.0 / 72.0);
}

QFont::StyleHint styleHintOf(quint8 pitchAndFamily)
{
    switch (pitchAndFamily & 0xF0) {
    case 0x10:
        return QFont::Serif;
    case 0x30:
        return QFont::TypeWriter;
    case 0x40:
        return QFont::Cursive;
    case 0x50:
        return QFont::Decorative;
    default:
        return QFont::SansSerif;
    }
}

} // namespace

QFont flashFontFromFields(const FlashFontFields &fields)
{
    QFont font(QString::fromLatin1(kFlashFontFace));
    font.setStyleHint(styleHintOf(fields.pitchAndFamily));
    if (const int pixels = FontSize::pixelsOfStoredHeight(fields.height); pixels > 0)
        font.setPixelSize(pixels);
    // 0 stands for the default weight.
    font.setWeight(fields.weight > 0 ? QFont::Weight(qBound(1, fields.weight, 1000)) : QFont::Normal);
    font.setItalic(fields.italic != 0);
    font.setUnderline(fields.underline != 0);
    font.setStrikeOut(fields.strikeOut != 0);
    return font;
}

FlashFontFields flashFontFieldsFromFont(const QFont &font, const FlashFontFields &previous)
{
    const QFont before = flashFontFromFields(previous);
    FlashFontFields fields = previous;
    if (pixelHeight(font) != pixelHeight(before))
        fields.height = previous.height < 0 ? -pixelHeight(font) : pixelHeight(font);
    if (font.weight() != before.weight())
        fields.weight = font.weight();
    if (font.italic() != before.italic())
        fields.italic = font.italic() ? 1 : 0;
    if (font.underline() != before.underline())
        fields.underline = font.underline() ? 1 : 0;
    if (font.strikeOut() != before.strikeOut())
        fields.strikeOut = font.strikeOut() ? 1 : 0;
    return fields;
}

QColor flashColorFromStored(quint32 stored)
{
    return QColor(int(stored & 0xFF), int((stored >> 8) & 0xFF), int((stored >> 16) & 0xFF));
}

quint32 storedFlashColor(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return quint32(rgb.red()) | quint32(rgb.green()) << 8 | quint32(rgb.blue()) << 16;
}
