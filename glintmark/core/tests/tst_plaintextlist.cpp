// Plain-text lists of affirmations, one per line: what an import stores and what it leaves out,
// with the rest of the library untouched, and an export that an import reads back as it was.

#include "LibraryTables.h"
#include "PlainTextList.h"

#include <QTest>

namespace {

const Rows kLibrary{category("Health", 3), category("Work", 2)};

struct Counts
{
    int imported = 0;
    int withSeparator = 0;
    int withLineBreak = 0;
    int pastCategoryEnd = 0;
    int pastLibraryEnd = 0;
    int readAsWindows1252 = 0;
    friend bool operator==(const Counts &, const Counts &) = default;
};

Counts countsOf(const PlainTextList::ImportResult &result)
{
    return {result.imported,       result.withSeparator,  result.withLineBreak,
            result.pastCategoryEnd, result.pastLibraryEnd, result.readAsWindows1252};
}

QByteArray numberedLines(int count)
{
    QByteArray bytes;
    for (int i = 1; i <= count; ++i)
        bytes += "Line " + QByteArray::number(i) + '\n';
    return bytes;
}

QByteArrayList numberedTexts(int count)
{
    QByteArrayList texts;
    for (int i = 1; i <= count; ++i)
        texts += "Line " + QByteArray::number(i);
    return texts;
}

} // namespace

Q_DECLARE_METATYPE(Counts)

namespace QTest {
template <> char *toString(const Counts &counts)
{
    return qstrdup(QByteArray("imported " + QByteArray::number(counts.imported) + ", separator "
                              + QByteArray::number(counts.withSeparator) + ", line break "
                              + QByteArray::number(counts.withLineBreak) + ", past category "
                              + QByteArray::number(counts.pastCategoryEnd) + ", past library "
                              + QByteArray::number(counts.pastLibraryEnd) + ", Windows-1252 "
                              + QByteArray::number(counts.readAsWindows1252))
                       .constData());
}
} // namespace QTest

class PlainTextListTest : public QObject
{
    Q_OBJECT

private slots:
    void importAsNewCategory_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArrayList>("stored");
        QTest::addColumn<Counts>("counts");

        QTest::newRow("LF") << QByteArray("I am calm\nI sleep well\n") << QByteArrayList{"I am calm", "I sleep well"}
                            << Counts{.imported = 2};
        QTest::newRow("no line break at the end")
            << QByteArray("I am calm\nI sleep well") << QByteArrayList{"I am calm", "I sleep well"}
            << Counts{.imported = 2};
        QTest::newRow("CRLF") << QByteArray("I am calm\r\nI sleep well\r\n")
                              << QByteArrayList{"I am calm", "I sleep well"} << Counts{.imported = 2};
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBFI am calm\r\nI sleep well")
                                         << QByteArrayList{"I am calm", "I sleep well"} << Counts{.imported = 2};
        QTest::newRow("blank lines skipped") << QByteArray("\n\nI am calm\n   \n\r\n\tI sleep well \n\n")
                                             << QByteArrayList{"I am calm", "\tI sleep well "}
                                             << Counts{.imported = 2};
        QTest::newRow("semicolons") << QByteArray("I am calm\nfirst;second\n;\nI sleep well\n")
                                    << QByteArrayList{"I am calm", "I sleep well"}
                                    << Counts{.imported = 2, .withSeparator = 2};
        QTest::newRow("line breaks inside") << QByteArray("old\rMac\nI am calm\npage\fbreak\nnext\xE2\x80\xA8line\n")
                                            << QByteArrayList{"I am calm"}
                                            << Counts{.imported = 1, .withLineBreak = 3};
        // Each line for itself: UTF-8 where it is valid, Windows-1252 where not; stored as UTF-8.
        QTest::newRow("invalid UTF-8") << QByteArray("Caf\xE9 au lait\nCaf\xC3\xA9 cr\xC3\xA8me\n\x93quoted\x94\n")
                                       << QByteArrayList{"Caf\xC3\xA9 au lait", "Caf\xC3\xA9 cr\xC3\xA8me",
                                                         "\xE2\x80\x9Cquoted\xE2\x80\x9D"}
                                       << Counts{.imported = 3, .readAsWindows1252 = 2};
        QTest::newRow("10,000 lines") << numberedLines(10000) << numberedTexts(99)
                                      << Counts{.imported = 99, .pastCategoryEnd = 10000 - 99};
        QTest::newRow("empty file") << QByteArray() << QByteArrayList{} << Counts{};
        QTest::newRow("only blank lines") << QByteArray("\r\n \n\n") << QByteArrayList{} << Counts{};
        QTest::newRow("nothing storable") << QByteArray("a;b\nc;d\n") << QByteArrayList{}
                                          << Counts{.withSeparator = 2};
    }
    void importAsNewCategory()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArrayList, stored);
        QFETCH(Counts, counts);

        auto table = tableOf(kLibrary);
        const PlainTextList::ImportResult result = PlainTextList::importAsNewCategory(table, "Mine", file);
        QCOMPARE(countsOf(result), counts);
        Rows expected = kLibrary;
        // A file with nothing to store makes no category.
        if (!stored.isEmpty()) {
            expected.append(QByteArrayList{"Mine"} + stored);
            QCOMPARE(result.row, 2);
            QVERIFY(result.newCategory);
        } else {
            QCOMPARE(result.row, -1);
            QVERIFY(!result.newCategory);
        }
        QCOMPARE(rowsOf(table), expected);
    }

    // Into a category that holds some already: after its own, up to 99 in all.
    void importIntoCategory()
    {
        Rows rows = kLibrary;
        auto table = tableOf(rows);
        const PlainTextList::ImportResult result = PlainTextList::importIntoCategory(table, 0, numberedLines(100));
        QCOMPARE(countsOf(result), (Counts{.imported = 96, .pastCategoryEnd = 4}));
        QCOMPARE(result.row, 0);
        QVERIFY(!result.newCategory);
        rows[0] += numberedTexts(96);
        QCOMPARE(rowsOf(table), rows);

        // No such category: nothing stored.
        auto unchanged = tableOf(kLibrary);
        QCOMPARE(PlainTextList::importIntoCategory(unchanged, 2, "text\n").row, -1);
        QCOMPARE(rowsOf(unchanged), kLibrary);
    }

    // A full library takes no new category: every line is left out, and nothing changes.
    void importIntoFullLibrary()
    {
        const Rows full = categories(100, 1);
        auto table = tableOf(full);
        const PlainTextList::ImportResult result = PlainTextList::importAsNewCategory(table, "Mine", "one\ntwo\n\nthree;\n");
        QCOMPARE(countsOf(result), (Counts{.pastLibraryEnd = 3}));
        QCOMPARE(result.row, -1);
        QCOMPARE(rowsOf(table), full);
    }

    // What an export writes, an import reads back as the same texts, whatever they were stored as.
    void exportReadBack()
    {
        const QByteArrayList texts{"I am calm", " blanks kept ", "Caf\xC3\xA9", "Caf\xE9 (Windows-1252)",
                                   "\xE2\x80\x9Cquoted\xE2\x80\x9D", "x"};
        const auto table = tableOf({category("Other", 2), QByteArrayList{"Mine"} + texts});
        const QByteArray file = PlainTextList::exportCategory(table, 1);
        QCOMPARE(file, QByteArray("I am calm\n blanks kept \nCaf\xC3\xA9\nCaf\xC3\xA9 (Windows-1252)\n"
                                  "\xE2\x80\x9Cquoted\xE2\x80\x9D\nx\n"));
        auto readBack = tableOf({});
        const PlainTextList::ImportResult result = PlainTextList::importAsNewCategory(readBack, "Mine", file);
        QCOMPARE(countsOf(result), (Counts{.imported = int(texts.size())}));
        QByteArrayList expected = texts;
        expected[3] = "Caf\xC3\xA9 (Windows-1252)";
        QCOMPARE(rowsOf(readBack), (Rows{QByteArrayList{"Mine"} + expected}));

        // A category without affirmations is an empty file; no category is no file content.
        QCOMPARE(PlainTextList::exportCategory(tableOf({category("Empty")}), 0), QByteArray());
        QCOMPARE(PlainTextList::exportCategory(table, 5), QByteArray());
    }

    void categoryNameForFile_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("extension") << "/home/me/Morning words.txt" << QByteArray("Morning words");
        QTest::newRow("last extension only") << "list.2024.txt" << QByteArray("list.2024");
        QTest::newRow("no extension") << "/tmp/calm" << QByteArray("calm");
        QTest::newRow("hidden file") << "/tmp/.txt" << QByteArray(".txt");
        QTest::newRow("semicolon") << "a;b.txt" << QByteArray("a b");
        QTest::newRow("line break") << "a\nb.txt" << QByteArray("a b");
        QTest::newRow("not ASCII") << QString::fromUtf8("Caf\xC3\xA9.txt") << QByteArray("Caf\xC3\xA9");
    }
    void categoryNameForFile()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, name);
        QCOMPARE(PlainTextList::categoryNameForFile(fileName), name);
    }
};

QTEST_GUILESS_MAIN(PlainTextListTest)
#include "tst_plaintextlist.moc"
