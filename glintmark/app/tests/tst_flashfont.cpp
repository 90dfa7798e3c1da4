#include "FlashFont.h"

#include <QTest>

Q_DECLARE_METATYPE(FlashFontFields)

class FlashFontTest : public QObject
{
    Q_OBJECT

private slots:
    void fontFromStoredFields_data()
    {
        QTest::addColumn<FlashFontFields>("fields");
        QTest::addColumn<int>("pixelSize");
        QTest::addColumn<int>("weight");
        QTest::addColumn<bool>("italic");
        QTest::addColumn<bool>("underline");
        QTest::addColumn<bool>("strikeOut");
        QTest::newRow("defaults: Arial 14 bold") << FlashFontFields{} << 14 << 700 << false << false << false;
        QTest::newRow("character height, styles")
            << FlashFontFields{-20, 0, 0, 0, 400, 1, 1, 1, 0, 0, 0, 0, 0x20} << 20 << 400 << true << true << true;
        QTest::newRow("weight 0 is normal") << FlashFontFields{30, 0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0x10} << 30 << 400 << true << false << false;
    }
    void fontFromStoredFields()
    {
        QFETCH(FlashFontFields, fields);
        QFETCH(int, pixelSize);
        QFETCH(int, weight);
        QFETCH(bool, italic);
        QFETCH(bool, underline);
        QFETCH(bool, strikeOut);
        const QFont font = flashFontFromFields(fields);
        QCOMPARE(font.family(), QStringLiteral("Arial"));
        QCOMPARE(font.pixelSize(), pixelSize);
        QCOMPARE(int(font.weight()), weight);
        QCOMPARE(font.italic(), italic);
        QCOMPARE(font.underline(), underline);
        QCOMPARE(font.strikeOut(), strikeOut);
    }

    // A font that was not changed gives back the stored fields exactly.
    void unchangedFontKeepsStoredFields_data()
    {
        QTest::addColumn<FlashFontFields>("fields");
        QTest::newRow("defaults") << FlashFontFields{};
        QTest::newRow("negative height, odd fields") << FlashFontFields{-24, 11, 900, 450, 400, 255, 1, 0, 238, 3, 2, 4, 0x31};
        QTest::newRow("zero height and weight") << FlashFontFields{0, 0, 0, 0, 0, 0, 0, 1, 2, 0, 0, 0, 0};
    }
    void unchangedFontKeepsStoredFields()
    {
        QFETCH(FlashFontFields, fields);
        QVERIFY(flashFontFieldsFromFont(flashFontFromFields(fields), fields) == fields);
    }

    void changedFontStoresTheChanges()
    {
        const FlashFontFields before{-24, 11, 900, 450, 700, 0, 1, 0, 238, 3, 2, 4, 0x31};
        QFont picked("DejaVu Serif");
        picked.setPixelSize(32);
        picked.setWeight(QFont::Light);
        picked.setItalic(true);
        picked.setUnderline(false);
        FlashFontFields expected = before;
        expected.height = -32;
        expected.weight = 300;
        expected.italic = 1;
        expected.underline = 0;
        QVERIFY(flashFontFieldsFromFont(picked, before) == expected);

        QFont inPoints("Arial");
        inPoints.setPointSize(12);
        inPoints.setBold(true);
        QCOMPARE(flashFontFieldsFromFont(inPoints, FlashFontFields{}).height, 16);
    }
};

QTEST_MAIN(FlashFontTest)
#include "tst_flashfont.moc"
