#pragma once

#include "LibraryEdit.h"

#include <QByteArray>
#include <QString>

// Affirmations as people keep and share them: a plain text file with one text per line. Lines
// are read as UTF-8, or as Windows-1252 where a line is not valid UTF-8, the way the library's
// own texts are shown; they are stored as UTF-8. Blank lines are skipped.
namespace PlainTextList {

using Table = LibraryEdit::Table;

// What an import took in and what it left out, line by line.
struct ImportResult
{
    int row = -1;            // the category the texts went into; -1 when nothing was stored
    bool newCategory = false;
    int imported = 0;
    int withSeparator = 0;   // held a ";", which the library file takes for the end of a text
    int withLineBreak = 0;   // held a line break (a lone CR, a form feed, ...) inside
    int pastCategoryEnd = 0; // came after the category was full
    int pastLibraryEnd = 0;  // had no category to go into: the library was full
    int readAsWindows1252 = 0;

    int leftOut() const { return withSeparator + withLineBreak + pastCategoryEnd + pastLibraryEnd; }
};

// Appends the texts of `fileBytes` as a new category named `name` after the last one. When no
// line can be stored, no category is made. The rest of the table stays as it was.
ImportResult importAsNewCategory(Table &table, const QByteArray &name, const QByteArray &fileBytes);
// Appends the texts of `fileBytes` after the affirmations of category `row`.
ImportResult importIntoCategory(Table &table, int row, const QByteArray &fileBytes);

// The affirmations of category `row` as such a file: each as UTF-8 on a line of its own.
QByteArray exportCategory(const Table &table, int row);

// The name a category made from the file `fileName` gets: the file's name without its last
// extension, with what the library file cannot hold (";" and line breaks) made into blanks.
QByteArray categoryNameForFile(const QString &fileName);

} // namespace PlainTextList
