#include "LibraryEdit.h"

#include <algorithm>

namespace LibraryEdit {

int categoryCount(const Table &table)
{
    const auto end = std::find_if(table.begin(), table.end(), [](const auto &row) { return row[0].isEmpty(); });
    return int(end - table.begin());
}

int affirmationCount(const Table &table, int row)
{
    if (!isCategory(table, row))
        return 0;
    const auto &texts = table[row];
    const auto end = std::find_if(texts.begin() + 1, texts.end(), [](const QByteArray &text) { return text.isEmpty(); });
    return int(end - texts.begin()) - 1;
}

bool isCategory(const Table &table, int row)
{
    return row >= 0 && row < categoryCount(table);
}

bool isAffirmation(const Table &table, int row, int slot)
{
    return slot >= 1 && slot <= affirmationCount(table, row);
}

bool addCategory(Table &table, const QByteArray &name)
{
    const int row = categoryCount(table);
    if (name.isEmpty() || row >= kMaxCategories)
        return false;
    table[row][0] = name;
    return true;
}

bool addAffirmation(Table &table, int row, const QByteArray &text)
{
    if (text.isEmpty() || !isCategory(table, row))
        return false;
    const int count = affirmationCount(table, row);
    if (count >= kMaxAffirmations)
        return false;
    table[row][count + 1] = text;
    return true;
}

bool deleteCategory(Table &table, int row)
{
    if (!isCategory(table, row))
        return false;
    std::move(table.begin() + row + 1, table.end(), table.begin() + row);
    table.back() = {};
    return true;
}

bool deleteAffirmation(Table &table, int row, int slot)
{
    if (!isAffirmation(table, row, slot))
        return false;
    auto &texts = table[row];
    std::move(texts.begin() + slot + 1, texts.end(), texts.begin() + slot);
    texts.back() = QByteArray();
    return true;
}

bool containsFieldSeparator(const QString &text)
{
    return text.contains(QLatin1Char(kFieldSeparator));
}

QString firstLine(const QString &text)
{
    static constexpr char16_t kLineBreaks[] = {u'\n', u'\r', u'\v', u'\f', u'\u0085', u'\u2028', u'\u2029'};
    const auto end = std::find_if(text.begin(), text.end(), [](QChar c) {
        return std::find(std::begin(kLineBreaks), std::end(kLineBreaks), c.unicode()) != std::end(kLineBreaks);
    });
    return text.first(end - text.begin());
}

} // namespace LibraryEdit
