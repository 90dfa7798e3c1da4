#pragma once

#include "FlashLibrary.h"

#include <QByteArrayList>
#include <QList>

// Library tables written and read as lists of rows: each row the category name followed by
// its affirmations.
using Rows = QList<QByteArrayList>;

inline CFlashLibrary::LibraryTable tableOf(const Rows &rows)
{
    CFlashLibrary::LibraryTable table{};
    for (int r = 0; r < rows.size(); ++r)
        for (int s = 0; s < rows[r].size(); ++s)
            table[r][s] = rows[r][s];
    return table;
}

// Every slot up to the last non-empty one of each row and up to the last non-empty row, so
// anything stored past an end marker shows.
inline Rows rowsOf(const CFlashLibrary::LibraryTable &table)
{
    Rows rows;
    for (const auto &row : table) {
        QByteArrayList texts(row.begin(), row.end());
        while (!texts.isEmpty() && texts.last().isEmpty())
            texts.removeLast();
        rows.append(texts);
    }
    while (!rows.isEmpty() && rows.last().isEmpty())
        rows.removeLast();
    return rows;
}

// A category named `name` with affirmations name1, name2, ... nameN.
inline QByteArrayList category(const QByteArray &name, int affirmations = 0)
{
    QByteArrayList row{name};
    for (int i = 1; i <= affirmations; ++i)
        row.append(name + QByteArray::number(i));
    return row;
}

// Categories C0, C1, ... each with `affirmations` affirmations.
inline Rows categories(int count, int affirmations = 0)
{
    Rows rows;
    for (int i = 0; i < count; ++i)
        rows.append(category("C" + QByteArray::number(i), affirmations));
    return rows;
}
