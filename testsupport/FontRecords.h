#pragma once

#include <QByteArray>
#include <QtEndian>

// Glintmark's settings file (font.dat) as the tests write and expect it.

// One 32-bit field, little-endian as the file stores it.
inline QByteArray le32(qint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

// A whole record: the font's height, weight and italic, the text colour (0x00BBGGRR), the
// location button and the two frequency choices; the other fields as the program writes them.
inline QByteArray fontRecord(qint32 height, qint32 weight, bool italic, quint32 colour, qint32 location,
                             qint32 interval, qint32 duration)
{
    return le32(height) + le32(0) + le32(0) + le32(0) + le32(weight) + QByteArray(1, italic ? '\1' : '\0')
        + QByteArray("\0\0\0\0\0\0\x20", 7) + le32(qint32(colour)) + le32(location) + le32(interval) + le32(duration);
}

// The default settings: Arial 14 bold, swiss; black; Center; "3 seconds"; "10 ms (subconscious)".
inline const QByteArray kDefaultFontRecord = fontRecord(14, 700, false, 0, 1003, 3, 0);
