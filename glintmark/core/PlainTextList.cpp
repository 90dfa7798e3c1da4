#include "PlainTextList.h"

#include "DisplayText.h"

#include <QFileInfo>
#include <QStringDecoder>

namespace PlainTextList {

namespace {

constexpr char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";

// Calls `take` with each non-blank line's text, decoded; stops when `take` returns false.
template <typename Take>
void forEachLine(QByteArrayView bytes, ImportResult &result, Take take)
{
    if (bytes.startsWith(QByteArrayView(kUtf8ByteOrderMark)))
        bytes = bytes.sliced(3);
    while (!bytes.isEmpty()) {
        const qsizetype end = bytes.indexOf('\n');
        QByteArrayView line = end < 0 ? bytes : bytes.first(end);
        bytes = end < 0 ? QByteArrayView() : bytes.sliced(end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        // As displayText() reads it, counting the lines read as Windows-1252.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = utf8.decode(line);
        if (utf8.hasError()) {
            ++result.readAsWindows1252;
            text = displayText(line.toByteArray());
        }
        if (text.trimmed().isEmpty())
            continue;
        if (!take(text))
            return;
    }
}

// Stores the lines in `row` after its affirmations; what cannot be stored is counted.
void importLines(Table &table, int row, QByteArrayView bytes, ImportResult &result)
{
    forEachLine(bytes, result, [&](const QString &text) {
        if (LibraryEdit::containsFieldSeparator(text))
            ++result.withSeparator;
        else if (LibraryEdit::firstLine(text) != text)
            ++result.withLineBreak;
        else if (LibraryEdit::addAffirmation(table, row, storedText(text)))
            ++result.imported;
        else
            ++result.pastCategoryEnd;
        return true;
    });
}

} // namespace

ImportResult importAsNewCategory(Table &table, const QByteArray &name, const QByteArray &fileBytes)
{
    ImportResult result;
    Table imported = table;
    if (!LibraryEdit::addCategory(imported, name)) {
        forEachLine(fileBytes, result, [&](const QString &) {
            ++result.pastLibraryEnd;
            return true;
        });
        return result;
    }
    const int row = LibraryEdit::categoryCount(imported) - 1;
    importLines(imported, row, fileBytes, result);
    if (result.imported > 0) {
        table = std::move(imported);
        result.row = row;
        result.newCategory = true;
    }
    return result;
}

ImportResult importIntoCategory(Table &table, int row, const QByteArray &fileBytes)
{
    ImportResult result;
    if (!LibraryEdit::isCategory(table, row))
        return result;
    importLines(table, row, fileBytes, result);
    if (result.imported > 0)
        result.row = row;
    return result;
}

QByteArray exportCategory(const Table &table, int row)
{
    QByteArray bytes;
    for (int slot = 1; slot <= LibraryEdit::affirmationCount(table, row); ++slot)
        bytes += storedText(displayText(table[row][slot])) + '\n';
    return bytes;
}

QByteArray categoryNameForFile(const QString &fileName)
{
    const QFileInfo file(fileName);
    QString name = file.completeBaseName().isEmpty() ? file.fileName() : file.completeBaseName();
    for (QChar &c : name) {
        if (c == QLatin1Char(LibraryEdit::kFieldSeparator) || LibraryEdit::firstLine(QString(c)).isEmpty())
            c = QLatin1Char(' ');
    }
    return storedText(name);
}

} // namespace PlainTextList
