#include "FlashFont.h"

#include <QTest>

#include <limits>

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
        // Heights no chooser gives, from a damaged or hand-made file: the largest size offered.
        QTest::newRow("most negative height") << FlashFontFields{std::numeric_limits<qint32>::min()} << 1333 << 700
                                              << false << false << false;
        QTest::newRow("largest height") << FlashFontFields{std::numeric_limits<qint32>::max()} << 1333 << 700
                                        << false << false << false;
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
        QTest::newRow("most negative height") << FlashFontFields{std::numeric_limits<qint32>::min()};
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

    // 0x00BBGGRR: red in the lowest byte.
    void storedColour_data()
    {
        QTest::addColumn<quint32>("stored");
        QTest::addColumn<QColor>("color");
        QTest::newRow("black") << 0x000000u << QColor(0, 0, 0);
        QTest::newRow("red") << 0x0000FFu << QColor(255, 0, 0);
        QTest::newRow("green") << 0x00FF00u << QColor(0, 255, 0);
        QTest::newRow("blue") << 0xFF0000u << QColor(0, 0, 255);
        QTest::newRow("the light blue of the dialogs") << 0xFFCC99u << QColor(153, 204, 255);
        QTest::newRow("mixed") << 0x123456u << QColor(0x56, 0x34, 0x12);
    }
    void storedColour()
    {
        QFETCH(quint32, stored);
        QFETCH(QColor, color);
        QCOMPARE(flashColorFromStored(stored), color);
        QCOMPARE(storedFlashColor(color), stored);
        // The top byte is no colour: it is neither read nor written.
        QCOMPARE(flashColorFromStored(stored | 0x7F000000u), color);
        // A colour of another spec (as a colour dialog may give) is stored by its RGB.
        QCOMPARE(storedFlashColor(color.toHsv()), stored);
    }
};

QTEST_MAIN(FlashFontTest)
#include "tst_flashfont.moc"
