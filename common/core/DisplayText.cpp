#include "DisplayText.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; unassigned bytes map to themselves.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString fromWindows1252(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text.append(byte >= 0x80 && byte < 0xA0 ? QChar(kWindows1252High[byte - 0x80]) : QChar(byte));
    }
    return text;
}

bool isContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// `end`, moved back to where the character that holds the byte at `end` starts (in valid UTF-8
// that is at most three bytes back).
qsizetype characterStart(QByteArrayView bytes, qsizetype end)
{
    for (int back = 0; back < 3 && end > 0 && end < bytes.size() && isContinuationByte(bytes[end]); ++back)
        --end;
    return end;
}

// Whether displayText() reads `bytes` as UTF-8, checked piece by piece instead of decoding the
// whole. Each piece ends before a byte that starts a character, so a valid text splits into
// valid pieces and a fault stays inside the piece that holds it.
bool isUtf8(QByteArrayView bytes)
{
    constexpr qsizetype kPiece = 1 << 16;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    while (!bytes.isEmpty()) {
        const qsizetype end = characterStart(bytes, std::min(kPiece, bytes.size()));
        const QString piece = utf8.decode(bytes.first(end));
        if (utf8.hasError())
            return false;
        bytes = bytes.sliced(end);
    }
    return true;
}

} // namespace

QString displayText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    return utf8.hasError() ? fromWindows1252(bytes) : text;
}

QString entryText(const QByteArray &bytes)
{
    // No character takes more than four bytes in UTF-8, nor more than one in Windows-1252.
    constexpr qsizetype kShownBytes = 4 * kEntryTextLimit;
    if (bytes.size() <= kEntryTextLimit)
        return displayText(bytes);
    QString text;
    if (isUtf8(bytes)) {
        text = QString::fromUtf8(bytes.first(characterStart(bytes, std::min(kShownBytes, bytes.size()))));
    } else {
        text = fromWindows1252(bytes.first(std::min(kShownBytes, bytes.size())));
    }
    if (text.size() <= kEntryTextLimit)
        return text;
    qsizetype kept = kEntryTextLimit - 1;
    if (text.at(kept - 1).isHighSurrogate())
        --kept;
    return text.first(kept) + QChar(0x2026);
}

QByteArray storedText(const QString &text)
{
    return text.toUtf8();
}
