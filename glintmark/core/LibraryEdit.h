#pragma once

#include "FlashLibrary.h"

#include <QByteArray>
#include <QString>

// Edits of the library table that keep it packed: categories fill rows 0, 1, ... and each
// category's affirmations fill slots 1, 2, ... of its row, with nothing after the first empty
// row or slot. Rows and slots are positions, never looked up by text, so equal names stay apart.
namespace LibraryEdit {

using Table = CFlashLibrary::LibraryTable;

inline constexpr int kMaxCategories = CFlashLibrary::kRows;
inline constexpr int kMaxAffirmations = CFlashLibrary::kSlots - 1;

// ";" separates the fields of "List.txt": a text holding one would come back as two entries.
inline constexpr char kFieldSeparator = ';';

int categoryCount(const Table &table);
// 0 for a row that holds no category.
int affirmationCount(const Table &table, int row);

bool isCategory(const Table &table, int row);
bool isAffirmation(const Table &table, int row, int slot);

// Each returns false and leaves the table as it was when there is no room, when the text is
// empty (an empty text is the end marker) or when the position holds nothing.
bool addCategory(Table &table, const QByteArray &name);
bool addAffirmation(Table &table, int row, const QByteArray &text);
// Removes the category with its affirmations; the later categories move up one row.
bool deleteCategory(Table &table, int row);
// The later affirmations of the row move up one slot.
bool deleteAffirmation(Table &table, int row, int slot);

bool containsFieldSeparator(const QString &text);

// A line break would start a new category in "List.txt": a one-line text box keeps only what
// comes before the first one, as pasted text is cut there.
QString firstLine(const QString &text);

} // namespace LibraryEdit
