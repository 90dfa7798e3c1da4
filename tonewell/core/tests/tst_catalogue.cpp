#include "Catalogue.h"

#include <QTest>

class CatalogueTest : public QObject
{
    Q_OBJECT

private slots:
    void numbers_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << QByteArray("200") << 200;
        QTest::newRow("leading blanks and a unit") << QByteArray("  200 Hz") << 200;
        QTest::newRow("tab and newline blanks") << QByteArray("\t\n 7") << 7;
        QTest::newRow("minus") << QByteArray("-5") << -5;
        QTest::newRow("plus") << QByteArray("+12") << 12;
        QTest::newRow("no digits") << QByteArray("Hz 200") << 0;
        QTest::newRow("sign only") << QByteArray("-") << 0;
        QTest::newRow("blank after sign") << QByteArray("- 5") << 0;
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("decimal point stops") << QByteArray("7.83") << 7;
        QTest::newRow("largest") << QByteArray("2147483647") << 2147483647;
        QTest::newRow("saturates above") << QByteArray("99999999999999999999") << 2147483647;
        QTest::newRow("smallest") << QByteArray("-2147483648") << int(-2147483647 - 1);
        QTest::newRow("saturates below") << QByteArray("-99999999999") << int(-2147483647 - 1);
    }
    void numbers()
    {
        QFETCH(QByteArray, field);
        QFETCH(int, value);
        QCOMPARE(ParseCatalogueNumber(field), value);
    }

    // Each row: the file, then the programs expected as "name|description|base|beat".
    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("example") << QByteArray("Program A;First description;200;10;\n")
                                 << QStringList{"Program A|First description|200|10"};
        QTest::newRow("CRLF reads as LF")
            << QByteArray("A;a;100;4;\r\nB;b;150;8;\r\n") << QStringList{"A|a|100|4", "B|b|150|8"};
        QTest::newRow("last line without line feed")
            << QByteArray("A;a;100;4;\nB;b;150;8;") << QStringList{"A|a|100|4", "B|b|150|8"};
        QTest::newRow("empty line ends the catalogue")
            << QByteArray("A;a;100;4;\n\nB;b;150;8;\n") << QStringList{"A|a|100|4"};
        QTest::newRow("empty CRLF line ends it too")
            << QByteArray("A;a;100;4;\r\n\r\nB;b;150;8;\r\n") << QStringList{"A|a|100|4"};
        QTest::newRow("empty first line: nothing") << QByteArray("\nA;a;100;4;\n") << QStringList{};
        QTest::newRow("empty file") << QByteArray() << QStringList{};
        QTest::newRow("unit and negative beat")
            << QByteArray("Name;Description;  200 Hz;-5;\n") << QStringList{"Name|Description|200|-5"};
        QTest::newRow("text after the fourth semicolon ignored")
            << QByteArray("A;a;100;4;a remark;more;\n") << QStringList{"A|a|100|4"};
        QTest::newRow("missing last semicolon: beat 0")
            << QByteArray("Program A;First description;200;10\n") << QStringList{"Program A|First description|200|0"};
        QTest::newRow("no semicolon at all is still a program")
            << QByteArray("just words\nB;b;150;8;\n") << QStringList{"||0|0", "B|b|150|8"};
        QTest::newRow("missing middle semicolon empties the rest")
            << QByteArray("A;a 100 4\n") << QStringList{"A||0|0"};
        QTest::newRow("spaces kept in texts")
            << QByteArray("  A  ; b ;1;2;\n") << QStringList{"  A  | b |1|2"};
        QTest::newRow("same names both listed")
            << QByteArray("A;x;1;2;\nA;y;3;4;\n") << QStringList{"A|x|1|2", "A|y|3|4"};
        QTest::newRow("lone CR inside a line stays")
            << QByteArray("A\rB;d;1;2;\n") << QStringList{"A\rB|d|1|2"};
    }
    void parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, expected);
        CBeatProgramTable programs;
        const int count = ParseCatalogue(text, programs);
        QStringList actual;
        for (int i = 0; i < count; ++i) {
            const CBeatProgram &p = programs[i];
            actual << QString::fromLatin1(p.m_strName + '|' + p.m_strDescription + '|'
                                          + QByteArray::number(p.m_nBaseHz) + '|' + QByteArray::number(p.m_nBeatHz));
        }
        QCOMPARE(actual, expected);
        for (int i = count; i < kMaxPrograms; ++i)
            QVERIFY(programs[i].m_strName.isEmpty());
    }

    void atMostOneHundredPrograms()
    {
        QByteArray text;
        for (int i = 0; i < 150; ++i)
            text += "P" + QByteArray::number(i) + ";d;" + QByteArray::number(100 + i) + ";4;\n";
        CBeatProgramTable programs;
        QCOMPARE(ParseCatalogue(text, programs), 100);
        QCOMPARE(programs[99].m_strName, QByteArray("P99"));
        QCOMPARE(programs[99].m_nBaseHz, 199);
    }

    void bytesAreKeptAsStored()
    {
        CBeatProgramTable programs;
        const QByteArray text("Caf\xe9;\xe2\x80\x93 calm;1;2;\n");
        QCOMPARE(ParseCatalogue(text, programs), 1);
        QCOMPARE(programs[0].m_strName, QByteArray("Caf\xe9"));
        QCOMPARE(programs[0].m_strDescription, QByteArray("\xe2\x80\x93 calm"));
    }
};

QTEST_GUILESS_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
