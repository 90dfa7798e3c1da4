#include "Catalogue.h"

#include <QRegularExpression>
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

    // The fields after the fourth ";": each line's plan as "steps|noise", with the warnings that
    // values which do not read give. The program itself always reads as it would without them.
    void plans_data()
    {
        QTest::addColumn<QByteArray>("fields");
        QTest::addColumn<QString>("plan");
        QTest::addColumn<int>("warnings");
        QTest::newRow("none") << QByteArray("") << "|" << 0;
        QTest::newRow("the example") << QByteArray("steps=10@5,6@10,4@15;noise=pink@-24;")
                                     << "10@5,6@10,4@15|pink@-24" << 0;
        QTest::newRow("decimals and signs") << QByteArray("steps=7.5@1,-2.125@3,+4@2;") << "7.5@1,-2.125@3,4@2|" << 0;
        QTest::newRow("white and brown") << QByteArray("noise=white@-60;") << "|white@-60" << 0;
        QTest::newRow("brown at the loudest") << QByteArray("noise=brown@-12;") << "|brown@-12" << 0;
        QTest::newRow("unknown keys and remarks skipped")
            << QByteArray("a remark;tempo=fast;steps=8@2;") << "8@2|" << 0;
        QTest::newRow("a field without its ; is not read") << QByteArray("steps=8@2") << "|" << 0;
        QTest::newRow("words") << QByteArray("steps=abc;") << "|" << 1;
        QTest::newRow("zero minutes") << QByteArray("steps=5@0;") << "|" << 1;
        QTest::newRow("negative minutes") << QByteArray("steps=5@-3;") << "|" << 1;
        QTest::newRow("minutes with a fraction") << QByteArray("steps=5@1.5;") << "|" << 1;
        QTest::newRow("empty step") << QByteArray("steps=5@1,;") << "|" << 1;
        QTest::newRow("empty") << QByteArray("steps=;noise=;") << "|" << 2;
        QTest::newRow("beat out of range") << QByteArray("steps=5000@1;") << "|" << 1;
        QByteArray many = "steps=";
        for (int i = 0; i < 10000; ++i)
            many += "5@1,";
        many.chop(1);
        QTest::newRow("10,000 steps") << many + ';' << "|" << 1;
        QTest::newRow("10 MB field") << "steps=" + QByteArray(10 * 1024 * 1024, '7') + "@1;" << "|" << 1;
        QTest::newRow("a colour there is not") << QByteArray("noise=purple@-20;") << "|" << 1;
        QTest::newRow("above full scale") << QByteArray("noise=pink@+6;") << "|" << 1;
        QTest::newRow("too loud") << QByteArray("noise=pink@-6;") << "|" << 1;
        QTest::newRow("too quiet") << QByteArray("noise=pink@-61;") << "|" << 1;
        QTest::newRow("no level") << QByteArray("noise=pink;") << "|" << 1;
        QTest::newRow("a bad field leaves the good one")
            << QByteArray("steps=abc;noise=white@-30;") << "|white@-30" << 1;
    }
    void plans()
    {
        QFETCH(QByteArray, fields);
        QFETCH(QString, plan);
        QFETCH(int, warnings);
        for (int i = 0; i < warnings; ++i)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Program \"Wind\": \".{1,80}\" is not a plan"));
        CBeatProgramTable programs;
        QCOMPARE(ParseCatalogue("Wind;Down;200;14;" + fields + "\nNext;n;100;4;\n", programs), 2);
        const CBeatProgram &p = programs[0];
        QCOMPARE(p.m_strName, QByteArray("Wind"));
        QCOMPARE(p.m_strDescription, QByteArray("Down"));
        QCOMPARE(p.m_nBaseHz, 200);
        QCOMPARE(p.m_nBeatHz, 14);
        QStringList steps;
        for (const BeatStep &step : p.m_motion.steps)
            steps << QString::number(step.beatHz) + '@' + QString::number(step.minutes);
        const char *colours[] = {"", "white", "pink", "brown"};
        const QString noise = p.m_motion.noise.colour == NoiseColour::None
                                  ? QString()
                                  : colours[int(p.m_motion.noise.colour)] + QString("@%1").arg(p.m_motion.noise.levelDb);
        QCOMPARE(steps.join(',') + '|' + noise, plan);
        QVERIFY(programs[1].m_motion.isStill());
        QCOMPARE(programs[1].m_nBaseHz, 100);
    }

    // A plan is read from its own line only: a field left open at the line's end does not reach
    // into the next line, which is a program of its own.
    void planStopsAtTheLineEnd()
    {
        CBeatProgramTable programs;
        QCOMPARE(ParseCatalogue("A;a;200;10;steps=10@5\r\nnoise=pink@-24;d;100;4;steps=8@2;\n", programs), 2);
        QVERIFY(programs[0].m_motion.isStill());
        QCOMPARE(programs[1].m_strName, QByteArray("noise=pink@-24"));
        QCOMPARE(programs[1].m_motion.steps, (std::vector<BeatStep>{{8, 2}}));
        QCOMPARE(programs[1].m_motion.noise.colour, NoiseColour::None);
    }

    // Fields count by their place: a plan field where the beat belongs is read as the beat (0),
    // and only what follows the fourth ";" is read as a plan.
    void planNeedsAllFourFields()
    {
        CBeatProgramTable programs;
        QCOMPARE(ParseCatalogue("A;a;200;steps=10@5;noise=pink@-24;\n", programs), 1);
        QCOMPARE(programs[0].m_nBeatHz, 0);
        QVERIFY(programs[0].m_motion.steps.empty());
        QCOMPARE(programs[0].m_motion.noise.colour, NoiseColour::Pink);
    }

    void planText_data()
    {
        QTest::addColumn<QByteArray>("fields");
        QTest::addColumn<QString>("text");
        QTest::newRow("still") << QByteArray("") << QString();
        QTest::newRow("steps and noise") << QByteArray("steps=10@5,6@10,4@15;noise=pink@-24;")
                                         << QString::fromUtf8("14 → 10 Hz in 5 min → 6 Hz in 10 min → 4 Hz in 15 min; pink noise");
        QTest::newRow("decimals") << QByteArray("steps=7.5@1,12.125@2;")
                                  << QString::fromUtf8("14 → 7.5 Hz in 1 min → 12.125 Hz in 2 min");
        QTest::newRow("noise alone") << QByteArray("noise=brown@-30;") << QString("brown noise");
    }
    void planText()
    {
        QFETCH(QByteArray, fields);
        QFETCH(QString, text);
        CBeatProgramTable programs;
        ParseCatalogue("Wind;Down;200;14;" + fields + "\n", programs);
        QCOMPARE(MotionText(programs[0].m_nBeatHz, programs[0].m_motion), text);
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
