#include "FlashTextExtent.h"

#include <QFontMetrics>

#include <algorithm>
#include <cmath>

namespace {

// Characters whose advance does not depend on their neighbours: no combining marks, no
// joiners or direction marks, no scripts that are shaped, no surrogates.
bool standsAlone(char16_t c)
{
    return (c >= 0x20 && c <= 0x7E)
        || (c >= 0xA0 && c <= 0x2FF && c != 0xAD)
        || (c >= 0x370 && c <= 0x52F && !(c >= 0x483 && c <= 0x489))
        || (c >= 0x1E00 && c <= 0x1FFF)
        || (c >= 0x2010 && c <= 0x2027)
        || (c >= 0x2030 && c <= 0x205E)
        || (c >= 0x20A0 && c <= 0x20C0)
        || (c >= 0x3000 && c <= 0x30FF && !(c >= 0x302A && c <= 0x302F) && c != 0x3099 && c != 0x309A)
        || (c >= 0x3400 && c <= 0x4DBF)
        || (c >= 0x4E00 && c <= 0x9FFF)
        || (c >= 0xAC00 && c <= 0xD7A3)
        || (c >= 0xFF01 && c <= 0xFF60);
}

} // namespace

FlashTextExtent::FlashTextExtent(const QFont &font)
    : m_metrics(font)
    , m_height(QFontMetrics(font).height())
    , m_advances(0x10000, -1.0f)
{
}

float FlashTextExtent::advance(char16_t unit)
{
    float &advance = m_advances[unit];
    if (advance < 0)
        advance = static_cast<float>(m_metrics.horizontalAdvance(QChar(unit)));
    return advance;
}

int FlashTextExtent::width(const QString &text)
{
    const bool exactTable = text.size() <= kLongText;
    qreal sum = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (exactTable && !standsAlone(u))
            return static_cast<int>(std::ceil(m_metrics.horizontalAdvance(text)));
        sum += advance(u);
    }
    return static_cast<int>(std::ceil(sum));
}

FlashTextExtent::Part FlashTextExtent::visiblePart(const QString &text, int fromX, int toX)
{
    if (text.size() <= kLongText)
        return {0, text.size(), 0};
    constexpr qsizetype kEdgeCharacters = 8;
    // A right-to-left text runs from the right: the same walk over the mirrored range.
    const bool mirrored = text.isRightToLeft();
    const int whole = width(text);
    const qreal from = mirrored ? whole - toX : fromX;
    const qreal to = mirrored ? whole - fromX : toX;
    qsizetype start = -1;
    qsizetype end = text.size();
    qreal x = 0;
    qreal startX = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qreal next = x + advance(text.at(i).unicode());
        if (start < 0 && next > from) {
            start = i;
            startX = x;
        }
        if (x >= to) {
            end = i;
            break;
        }
        x = next;
    }
    if (start < 0)
        return {text.size(), 0, whole};
    for (qsizetype n = 0; n < kEdgeCharacters && start > 0; ++n)
        startX -= advance(text.at(--start).unicode());
    end = std::min(text.size(), end + kEdgeCharacters);
    // Never half a surrogate pair at either end.
    if (start > 0 && text.at(start).isLowSurrogate()) {
        --start;
        startX -= advance(text.at(start).unicode());
    }
    if (end < text.size() && text.at(end).isLowSurrogate())
        ++end;
    qreal partWidth = 0;
    for (qsizetype i = start; i < end; ++i)
        partWidth += advance(text.at(i).unicode());
    const qreal left = mirrored ? whole - startX - partWidth : startX;
    return {start, end - start, static_cast<int>(std::floor(left))};
}

int FlashTextExtent::height() const
{
    return m_height;
}

namespace {
bool breaksLine(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u < 0xA0) || u == 0x2028 || u == 0x2029;
}
} // namespace

QString singleLineText(QString text)
{
    // Scanned first so that the usual text, with nothing to replace, is not copied.
    if (std::none_of(text.cbegin(), text.cend(), breaksLine))
        return text;
    std::replace_if(text.begin(), text.end(), breaksLine, QChar(u' '));
    return text;
}
