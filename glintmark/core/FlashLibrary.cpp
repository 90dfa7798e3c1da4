#include "FlashLibrary.h"

#include "FileBytes.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace {

using LibraryTable = CFlashLibrary::LibraryTable;
using LibraryLoss = CFlashLibrary::LibraryLoss;
using LibraryLosses = CFlashLibrary::LibraryLosses;
constexpr int kRows = CFlashLibrary::kRows;
constexpr int kSlots = CFlashLibrary::kSlots;

// A field separator alone carries nothing worth keeping.
bool hasText(QByteArrayView bytes)
{
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return c != ';'; });
}

bool hasTextAfterLine(QByteArrayView rest)
{
    return std::any_of(rest.begin(), rest.end(), [](char c) { return c != ';' && c != '\r' && c != '\n'; });
}

// Every ";" ends a field; text after the last ";" of a line is one more field.
QByteArrayList fieldsOfLine(const QByteArray &line)
{
    QByteArrayList fields = line.split(';');
    if (fields.size() > 1 && fields.last().isEmpty())
        fields.removeLast();
    return fields;
}

// Fills `table` (empty on entry) from the bytes of "List.txt" and tells what did not fit. The
// table is kept packed: fields beyond an end marker are not stored, so that a category or an
// affirmation added later never brings them back.
LibraryLosses parseList(const QByteArray &bytes, LibraryTable &table)
{
    LibraryLosses losses;
    int row = 0;
    bool libraryEnded = false;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        const qsizetype lineFeed = bytes.indexOf('\n', pos);
        const qsizetype end = lineFeed < 0 ? bytes.size() : lineFeed;
        qsizetype length = end - pos;
        // CR LF is a line break; a CR anywhere else belongs to the text.
        if (lineFeed >= 0 && length > 0 && bytes.at(end - 1) == '\r')
            --length;
        const QByteArray line = bytes.mid(pos, length);
        pos = lineFeed < 0 ? bytes.size() : lineFeed + 1;

        if (line.isEmpty()) {
            if (hasTextAfterLine(QByteArrayView(bytes).sliced(pos)))
                losses |= LibraryLoss::TextAfterEmptyLine;
            break;
        }
        if (libraryEnded || row == kRows) {
            if (hasText(line))
                losses |= libraryEnded ? LibraryLoss::EntriesAfterEmptyEntry : LibraryLoss::TooManyCategories;
            continue;
        }

        const QByteArrayList fields = fieldsOfLine(line);
        if (fields.first().isEmpty()) {
            libraryEnded = true;
            if (hasText(line))
                losses |= LibraryLoss::EntriesAfterEmptyEntry;
            continue;
        }
        table[row][0] = fields.first();
        for (qsizetype field = 1; field < fields.size(); ++field) {
            if (fields.at(field).isEmpty()) {
                if (std::any_of(fields.cbegin() + field, fields.cend(), [](const QByteArray &f) { return !f.isEmpty(); }))
                    losses |= LibraryLoss::EntriesAfterEmptyEntry;
                break;
            }
            if (field == kSlots) {
                losses |= LibraryLoss::TooManyAffirmations;
                break;
            }
            table[row][field] = fields.at(field);
        }
        ++row;
    }
    return losses;
}

QByteArray composeList(const LibraryTable &table)
{
    QByteArray bytes;
    for (int row = 0; row < kRows && !table[row][0].isEmpty(); ++row) {
        if (row > 0)
            bytes += "\r\n";
        bytes += table[row][0];
        for (int slot = 1; slot < kSlots && !table[row][slot].isEmpty(); ++slot) {
            bytes += ';';
            bytes += table[row][slot];
        }
        bytes += ';';
    }
    return bytes;
}

QByteArray composeTicks(const CFlashLibrary::TickTable &ticks)
{
    QByteArray bytes(CFlashLibrary::kCheckFileSize, '\0');
    for (int row = 0; row < kRows; ++row) {
        for (int slot = 0; slot < kSlots; ++slot)
            bytes[row * kSlots + slot] = ticks[row][slot] == 1 ? 1 : 0;
    }
    return bytes;
}

// Field offsets of "font.dat".
enum FontRecordOffset : qsizetype {
    HeightAt = 0, WidthAt = 4, EscapementAt = 8, OrientationAt = 12, WeightAt = 16,
    ItalicAt = 20, UnderlineAt = 21, StrikeOutAt = 22, CharSetAt = 23, OutPrecisionAt = 24,
    ClipPrecisionAt = 25, QualityAt = 26, PitchAndFamilyAt = 27, ColorAt = 28,
    LocationAt = 32, IntervalAt = 36, DurationAt = 40,
};

QByteArray composeFontRecord(const FlashSettings &settings)
{
    QByteArray bytes(CFlashLibrary::kFontFileSize, '\0');
    auto put32 = [&bytes](qsizetype at, auto value) { qToLittleEndian(value, bytes.data() + at); };
    auto put8 = [&bytes](qsizetype at, quint8 value) { bytes[at] = char(value); };
    const FlashFontFields &font = settings.font;
    put32(HeightAt, font.height);
    put32(WidthAt, font.width);
    put32(EscapementAt, font.escapement);
    put32(OrientationAt, font.orientation);
    put32(WeightAt, font.weight);
    put8(ItalicAt, font.italic);
    put8(UnderlineAt, font.underline);
    put8(StrikeOutAt, font.strikeOut);
    put8(CharSetAt, font.charSet);
    put8(OutPrecisionAt, font.outPrecision);
    put8(ClipPrecisionAt, font.clipPrecision);
    put8(QualityAt, font.quality);
    put8(PitchAndFamilyAt, font.pitchAndFamily);
    put32(ColorAt, settings.textColor);
    put32(LocationAt, settings.locationButton);
    put32(IntervalAt, settings.intervalIndex);
    put32(DurationAt, settings.durationIndex);
    return bytes;
}

// A field the record is too short to hold wholly keeps its default.
FlashSettings parseFontRecord(const QByteArray &bytes)
{
    FlashSettings settings;
    auto get32 = [&bytes](qsizetype at, auto &field) {
        if (at + 4 <= bytes.size())
            field = qFromLittleEndian<std::remove_reference_t<decltype(field)>>(bytes.constData() + at);
    };
    auto get8 = [&bytes](qsizetype at, quint8 &field) {
        if (at < bytes.size())
            field = quint8(bytes.at(at));
    };
    FlashFontFields &font = settings.font;
    get32(HeightAt, font.height);
    get32(WidthAt, font.width);
    get32(EscapementAt, font.escapement);
    get32(OrientationAt, font.orientation);
    get32(WeightAt, font.weight);
    get8(ItalicAt, font.italic);
    get8(UnderlineAt, font.underline);
    get8(StrikeOutAt, font.strikeOut);
    get8(CharSetAt, font.charSet);
    get8(OutPrecisionAt, font.outPrecision);
    get8(ClipPrecisionAt, font.clipPrecision);
    get8(QualityAt, font.quality);
    get8(PitchAndFamilyAt, font.pitchAndFamily);
    get32(ColorAt, settings.textColor);
    get32(LocationAt, settings.locationButton);
    get32(IntervalAt, settings.intervalIndex);
    get32(DurationAt, settings.durationIndex);

    // What the main window can select is what it will write back.
    if (!isLocationButton(settings.locationButton))
        settings.locationButton = LocationButton::None;
    if (settings.intervalIndex < 0 || settings.intervalIndex >= qint32(kDisplayEveryEntries.size()))
        settings.intervalIndex = -1;
    if (settings.durationIndex < 0 || settings.durationIndex >= qint32(kDisplayForEntries.size()))
        settings.durationIndex = -1;
    return settings;
}

// Writes `record` over the start of the file and keeps whatever the file holds past it.
std::optional<FileError> saveRecordKeepingTail(const QString &path, const QByteArray &record)
{
    QByteArray bytes = record;
    const QFileInfo existing(path);
    if (existing.exists() && existing.size() > record.size()) {
        const FileBytes tail = readFileBytes(path, -1, record.size());
        if (tail.error)
            return tail.error;
        bytes += tail.bytes;
    }
    return saveFileAtomically(path, bytes);
}

enum class OlderBackup { KeptWhenNoFile, DroppedWhenNoFile };

// Keeps the file as it is now beside itself. One that cannot be read is moved aside whole.
std::optional<FileError> keepBackup(const QString &path, const QString &backupPath, OlderBackup older)
{
    const QFileInfo existing(path);
    if (!existing.exists() && !existing.isSymLink()) {
        if (older == OlderBackup::KeptWhenNoFile
            || std::remove(QFile::encodeName(backupPath).constData()) == 0 || errno == ENOENT)
            return std::nullopt;
        return FileError{errno, QFileInfo(backupPath).absoluteFilePath()};
    }
    const FileBytes original = readFileBytes(path);
    if (!original.error)
        return saveFileAtomically(backupPath, original.bytes);
    if (std::rename(QFile::encodeName(path).constData(), QFile::encodeName(backupPath).constData()) == 0)
        return std::nullopt;
    return FileError{errno, existing.absoluteFilePath()};
}

} // namespace

void CFlashLibrary::SetFolder(const QString &folder)
{
    m_strFolder = folder.isEmpty() || folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    m_strListPath = m_strFolder + QLatin1String(kListFileName);
    m_strCheckPath = m_strFolder + QLatin1String(kCheckFileName);
    m_strFontPath = m_strFolder + QLatin1String(kFontFileName);
}

QList<FileError> CFlashLibrary::ReadAllFiles()
{
    QList<FileError> errors;
    if (const auto error = ReadFontFile())
        errors.append(*error);
    errors.append(ReadListFiles());
    return errors;
}

std::optional<FileError> CFlashLibrary::WriteAllFiles()
{
    if (const auto error = WriteListFiles())
        return error;
    return WriteFontFile();
}

QList<FileError> CFlashLibrary::ReadListFiles()
{
    for (auto &row : m_list)
        row.fill(QByteArray());
    for (auto &row : m_check)
        row.fill(0);
    m_listLosses = {};
    m_backupPending = false;

    QList<FileError> errors;
    const FileBytes ticks = readFileBytes(m_strCheckPath, kCheckFileSize);
    if (ticks.error) {
        errors.append(*ticks.error);
    } else {
        for (qsizetype i = 0; i < ticks.bytes.size(); ++i)
            m_check[i / kSlots][i % kSlots] = quint8(ticks.bytes.at(i));
    }

    const FileBytes list = readFileBytes(m_strListPath);
    if (list.error) {
        errors.append(*list.error);
        // A missing file holds nothing to lose; any other failure may hide a whole library.
        if (list.error->errorCode != ENOENT)
            m_listLosses = LibraryLoss::Unreadable;
    } else {
        m_listLosses = parseList(list.bytes, m_list);
    }
    m_backupPending = bool(m_listLosses);
    return errors;
}

std::optional<FileError> CFlashLibrary::WriteListFiles()
{
    if (m_backupPending) {
        if (const auto error = keepBackup(m_strListPath, listBackupPath(), OlderBackup::KeptWhenNoFile))
            return error;
        // Ticks belong to the library they were read with: without ticks to keep, an older
        // backup of them must not be put back with this library.
        if (const auto error = keepBackup(m_strCheckPath, checkBackupPath(), OlderBackup::DroppedWhenNoFile))
            return error;
        m_backupPending = false;
    }
    if (const auto error = saveFileAtomically(m_strListPath, composeList(m_list)))
        return error;
    return saveRecordKeepingTail(m_strCheckPath, composeTicks(m_check));
}

std::optional<FileError> CFlashLibrary::ReadFontFile()
{
    const FileBytes record = readFileBytes(m_strFontPath, kFontFileSize);
    if (record.error)
        return record.error;
    m_settings = parseFontRecord(record.bytes);
    return std::nullopt;
}

std::optional<FileError> CFlashLibrary::WriteFontFile()
{
    return saveRecordKeepingTail(m_strFontPath, composeFontRecord(m_settings));
}

QString CFlashLibrary::libraryNotice() const
{
    if (!m_listLosses)
        return {};
    QStringList what;
    if (m_listLosses & LibraryLoss::Unreadable)
        what << QStringLiteral("the file could not be read");
    if (m_listLosses & LibraryLoss::TooManyCategories)
        what << QStringLiteral("it has more than 100 categories");
    if (m_listLosses & LibraryLoss::TooManyAffirmations)
        what << QStringLiteral("a category has more than 99 affirmations");
    if (m_listLosses & LibraryLoss::TextAfterEmptyLine)
        what << QStringLiteral("there is text after an empty line");
    if (m_listLosses & LibraryLoss::EntriesAfterEmptyEntry)
        what << QStringLiteral("entries follow an empty entry or an empty category name");
    return QString::fromLatin1(kLibraryNoticeText).arg(what.join(QStringLiteral("; ")));
}
