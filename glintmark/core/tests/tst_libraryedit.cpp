#include "LibraryEdit.h"
#include "LibraryTables.h"

#include <QTest>

using namespace LibraryEdit;

namespace {

Rows withRow(Rows rows, int at, const QByteArrayList &row)
{
    rows.insert(at, row);
    return rows;
}

Rows withoutRow(Rows rows, int at)
{
    rows.removeAt(at);
    return rows;
}

} // namespace

class LibraryEditTest : public QObject
{
    Q_OBJECT

private slots:
    void counts_data()
    {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<int>("categories");
        QTest::addColumn<QList<int>>("affirmations");

        QTest::newRow("empty") << Rows{} << 0 << QList<int>{0};
        QTest::newRow("mixed") << Rows{category("A", 2), category("B"), category("C", 99)} << 3
                               << QList<int>{2, 0, 99, 0};
        QTest::newRow("full") << categories(100, 1) << 100 << QList<int>(100, 1);
        // Whatever lies past an end marker is not part of the library.
        QTest::newRow("after markers") << Rows{{"A", "a1", "", "a3"}, {}, {"C", "c1"}} << 1 << QList<int>{1, 0, 0};
    }
    void counts()
    {
        QFETCH(Rows, rows);
        QFETCH(int, categories);
        QFETCH(QList<int>, affirmations);
        const Table table = tableOf(rows);
        QCOMPARE(categoryCount(table), categories);
        for (int row = 0; row < affirmations.size(); ++row)
            QCOMPARE(affirmationCount(table, row), affirmations[row]);
        QCOMPARE(affirmationCount(table, -1), 0);
        QCOMPARE(affirmationCount(table, 100), 0);
    }

    void addCategory_data()
    {
        QTest::addColumn<Rows>("before");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<Rows>("after");

        QTest::newRow("first") << Rows{} << QByteArray("Health") << Rows{{"Health"}};
        QTest::newRow("at the end") << Rows{category("A", 2), category("B")} << QByteArray("C")
                                    << Rows{category("A", 2), category("B"), {"C"}};
        QTest::newRow("same name again") << Rows{category("A", 1)} << QByteArray("A") << Rows{category("A", 1), {"A"}};
        QTest::newRow("hundredth") << categories(99) << QByteArray("Last") << withRow(categories(99), 99, {"Last"});
        QTest::newRow("full: refused") << categories(100) << QByteArray("More") << categories(100);
        QTest::newRow("empty name: refused") << Rows{category("A")} << QByteArray() << Rows{category("A")};
    }
    void addCategory()
    {
        QFETCH(Rows, before);
        QFETCH(QByteArray, name);
        QFETCH(Rows, after);
        Table table = tableOf(before);
        QCOMPARE(LibraryEdit::addCategory(table, name), after != before);
        QCOMPARE(rowsOf(table), after);
    }

    void addAffirmation_data()
    {
        QTest::addColumn<Rows>("before");
        QTest::addColumn<int>("row");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<Rows>("after");

        const Rows two{category("A", 2), category("B")};
        QTest::newRow("to an empty category") << two << 1 << QByteArray("B1") << Rows{category("A", 2), category("B", 1)};
        QTest::newRow("at the end") << two << 0 << QByteArray("x")
                                    << Rows{{"A", "A1", "A2", "x"}, category("B")};
        QTest::newRow("same as the category") << two << 1 << QByteArray("B") << Rows{category("A", 2), {"B", "B"}};
        QTest::newRow("ninety-ninth") << Rows{category("A", 98)} << 0 << QByteArray("A99") << Rows{category("A", 99)};
        QTest::newRow("full: refused") << Rows{category("A", 99)} << 0 << QByteArray("x") << Rows{category("A", 99)};
        QTest::newRow("no such category") << two << 2 << QByteArray("x") << two;
        QTest::newRow("no category selected") << two << -1 << QByteArray("x") << two;
        QTest::newRow("past the table") << categories(100) << 100 << QByteArray("x") << categories(100);
        QTest::newRow("empty text: refused") << two << 0 << QByteArray() << two;
    }
    void addAffirmation()
    {
        QFETCH(Rows, before);
        QFETCH(int, row);
        QFETCH(QByteArray, text);
        QFETCH(Rows, after);
        Table table = tableOf(before);
        QCOMPARE(LibraryEdit::addAffirmation(table, row, text), after != before);
        QCOMPARE(rowsOf(table), after);
    }

    void deleteCategory_data()
    {
        QTest::addColumn<Rows>("before");
        QTest::addColumn<int>("row");
        QTest::addColumn<Rows>("after");

        const Rows three{category("A", 2), category("B", 3), category("C", 1)};
        QTest::newRow("first") << three << 0 << Rows{category("B", 3), category("C", 1)};
        QTest::newRow("middle") << three << 1 << Rows{category("A", 2), category("C", 1)};
        QTest::newRow("last") << three << 2 << Rows{category("A", 2), category("B", 3)};
        QTest::newRow("only") << Rows{category("A", 99)} << 0 << Rows{};
        QTest::newRow("first of a full library") << categories(100, 99) << 0 << withoutRow(categories(100, 99), 0);
        QTest::newRow("row 99 of a full library") << categories(100, 2) << 99 << categories(99, 2);
        QTest::newRow("second of two equal names")
            << Rows{category("A", 1), {"A", "x", "y"}, category("B")} << 1 << Rows{category("A", 1), category("B")};
        QTest::newRow("nothing selected") << three << -1 << three;
        QTest::newRow("no such category") << three << 3 << three;
        QTest::newRow("past the table") << categories(100) << 100 << categories(100);
    }
    void deleteCategory()
    {
        QFETCH(Rows, before);
        QFETCH(int, row);
        QFETCH(Rows, after);
        Table table = tableOf(before);
        QCOMPARE(LibraryEdit::deleteCategory(table, row), after != before);
        QCOMPARE(rowsOf(table), after);
    }

    void deleteAffirmation_data()
    {
        QTest::addColumn<Rows>("before");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("slot");
        QTest::addColumn<Rows>("after");

        const Rows two{category("A", 3), category("B", 2)};
        QTest::newRow("first") << two << 0 << 1 << Rows{{"A", "A2", "A3"}, category("B", 2)};
        QTest::newRow("middle") << two << 0 << 2 << Rows{{"A", "A1", "A3"}, category("B", 2)};
        QTest::newRow("last") << two << 1 << 2 << Rows{category("A", 3), category("B", 1)};
        QTest::newRow("only") << Rows{category("A", 1)} << 0 << 1 << Rows{{"A"}};
        QTest::newRow("slot 99 of a full category")
            << Rows{category("A", 99)} << 0 << 99 << Rows{category("A", 98)};
        QTest::newRow("first of a full category") << Rows{category("A", 99)} << 0 << 1
                                                  << Rows{category("A", 99).mid(0, 1) + category("A", 99).mid(2)};
        QTest::newRow("second of two equal texts")
            << Rows{{"A", "x", "y", "x", "z"}} << 0 << 3 << Rows{{"A", "x", "y", "z"}};
        QTest::newRow("text equal to the category") << Rows{{"A", "A", "b"}} << 0 << 1 << Rows{{"A", "b"}};
        QTest::newRow("never the name") << two << 0 << 0 << two;
        QTest::newRow("nothing selected") << two << 0 << -1 << two;
        QTest::newRow("past the affirmations") << two << 1 << 3 << two;
        QTest::newRow("past the row") << Rows{category("A", 99)} << 0 << 100 << Rows{category("A", 99)};
        QTest::newRow("no category") << two << -1 << 1 << two;
    }
    void deleteAffirmation()
    {
        QFETCH(Rows, before);
        QFETCH(int, row);
        QFETCH(int, slot);
        QFETCH(Rows, after);
        Table table = tableOf(before);
        QCOMPARE(LibraryEdit::deleteAffirmation(table, row, slot), after != before);
        QCOMPARE(rowsOf(table), after);
    }

    void fieldSeparator_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("contains");

        QTest::newRow("plain") << QString("I am calm") << false;
        QTest::newRow("blanks") << QString("   ") << false;
        QTest::newRow("other punctuation") << QString("Yes, now: go!") << false;
        QTest::newRow("lookalike") << QString::fromUtf8("Greek question mark \u037E, full width \uFF1B") << false;
        QTest::newRow("alone") << QString(";") << true;
        QTest::newRow("inside") << QString("calm;focused") << true;
        QTest::newRow("at the end") << QString("calm;") << true;
    }
    void fieldSeparator()
    {
        QFETCH(QString, text);
        QFETCH(bool, contains);
        QCOMPARE(containsFieldSeparator(text), contains);
    }

    void firstLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("line");

        QTest::newRow("one line") << QString("I am calm") << QString("I am calm");
        QTest::newRow("tab and blanks kept") << QString(" a\tb ") << QString(" a\tb ");
        QTest::newRow("LF") << QString("first\nsecond") << QString("first");
        QTest::newRow("CR LF") << QString("first\r\nsecond\r\n") << QString("first");
        QTest::newRow("CR") << QString("first\rsecond") << QString("first");
        QTest::newRow("line separator") << QString::fromUtf8("first\u2028second") << QString("first");
        QTest::newRow("paragraph separator") << QString::fromUtf8("first\u2029second") << QString("first");
        QTest::newRow("break first") << QString("\nsecond") << QString();
        QTest::newRow("empty") << QString() << QString();
    }
    void firstLine()
    {
        QFETCH(QString, text);
        QFETCH(QString, line);
        QCOMPARE(LibraryEdit::firstLine(text), line);
    }
};

QTEST_APPLESS_MAIN(LibraryEditTest)
#include "tst_libraryedit.moc"
