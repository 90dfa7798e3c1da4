#include "Catalogue.h"

#include <algorithm>
#include <cctype>
#include <limits>

std::int32_t ParseCatalogueNumber(const QByteArray &field)
{
    qsizetype i = 0;
    while (i < field.size() && std::isspace(static_cast<unsigned char>(field[i])))
        ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-'))
        negative = field[i++] == '-';
    constexpr std::int64_t kLimit = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
    std::int64_t value = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i)
        value = std::min(value * 10 + (field[i] - '0'), kLimit);
    if (negative)
        return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(std::min<std::int64_t>(value, kLimit - 1));
}

namespace {

// Takes the text before the next ";" and removes it with its ";" from `line`; without a ";"
// the field is empty and the line stays as it is. Views, so that a line of 100 MB is not copied
// field by field.
QByteArrayView takeField(QByteArrayView &line, bool &found)
{
    const qsizetype end = line.indexOf(';');
    found = end >= 0;
    if (end < 0)
        return {};
    const QByteArrayView field = line.first(end);
    line = line.sliced(end + 1);
    return field;
}

} // namespace

int ParseCatalogue(const QByteArray &text, CBeatProgramTable &programs)
{
    int count = 0;
    qsizetype start = 0;
    const QByteArrayView all(text);
    while (count < kMaxPrograms && start < all.size()) {
        qsizetype end = all.indexOf('\n', start);
        if (end < 0)
            end = all.size();
        QByteArrayView line = all.sliced(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            break;
        CBeatProgram &program = programs[count++];
        bool found = false;
        program.m_strName = takeField(line, found).toByteArray();
        program.m_strDescription = takeField(line, found).toByteArray();
        program.m_nBaseHz = ParseCatalogueNumber(takeField(line, found).toByteArray());
        program.m_nBeatHz = ParseCatalogueNumber(takeField(line, found).toByteArray());
        // Without the fourth ";" the line was left as it was, and what is left is no plan.
        program.m_motion = found ? ParseProgramMotion(line, program.m_strName) : ProgramMotion{};
        start = end + 1;
    }
    return count;
}
