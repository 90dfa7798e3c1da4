// The font chooser offscreen: what it shows for a font and colour, and what it hands back.

#include "DialogLook.h"
#include "FlashFont.h"
#include "Font.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

Q_DECLARE_METATYPE(FlashFontFields)

namespace {

template <typename T> T *child(const Font &chooser, const char *name)
{
    T *widget = chooser.findChild<T *>(QLatin1String(name));
    if (!widget)
        qFatal("no child %s", name);
    return widget;
}

QString selectedText(const QListWidget *list)
{
    return list->currentItem() ? list->currentItem()->text() : QString();
}

void pick(QListWidget *list, const QString &text)
{
    const auto found = list->findItems(text, Qt::MatchFixedString);
    if (found.isEmpty())
        qFatal("no item %s", qPrintable(text));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
}

} // namespace

class FontTest : public QObject
{
    Q_OBJECT

private slots:
    void showsTheFontAndColour_data()
    {
        QTest::addColumn<FlashFontFields>("fields");
        QTest::addColumn<QColor>("color");
        QTest::addColumn<QString>("style");
        QTest::addColumn<QString>("size");
        QTest::addColumn<int>("colorIndex");
        QTest::newRow("the defaults: Arial 14 bold, black") << FlashFontFields{} << QColor(Qt::black) << "Bold"
                                                            << "10.5" << 0;
        QTest::newRow("italic 32, underlined and struck out, red")
            << FlashFontFields{32, 0, 0, 0, 400, 1, 1, 1, 0, 0, 0, 0, 0x20} << QColor(Qt::red) << "Italic" << "24" << 9;
        QTest::newRow("a colour of its own") << FlashFontFields{-16, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0x20}
                                             << QColor(1, 2, 3) << "Regular" << "12" << 16;
    }
    void showsTheFontAndColour()
    {
        QFETCH(FlashFontFields, fields);
        QFETCH(QColor, color);
        QFETCH(QString, style);
        QFETCH(QString, size);
        QFETCH(int, colorIndex);
        const QFont font = flashFontFromFields(fields);
        Font chooser(font, color);
        QCOMPARE(chooser.windowTitle(), QStringLiteral("Font"));
        QCOMPARE(child<QLineEdit>(chooser, "family")->text(), QStringLiteral("Arial"));
        // Arial stands for another face here; the list shows the face that is used.
        QCOMPARE(selectedText(child<QListWidget>(chooser, "familyList")), QFontInfo(font).family());
        QCOMPARE(child<QLineEdit>(chooser, "style")->text(), style);
        QCOMPARE(selectedText(child<QListWidget>(chooser, "styleList")), style);
        QCOMPARE(child<QLineEdit>(chooser, "size")->text(), size);
        QCOMPARE(selectedText(child<QListWidget>(chooser, "sizeList")), size.contains('.') ? QString() : size);
        QCOMPARE(child<QCheckBox>(chooser, "underline")->isChecked(), fields.underline != 0);
        QCOMPARE(child<QCheckBox>(chooser, "strikeOut")->isChecked(), fields.strikeOut != 0);
        auto *colors = child<QComboBox>(chooser, "color");
        QCOMPARE(colors->count(), 17);
        QCOMPARE(colors->currentIndex(), colorIndex);
        QCOMPARE(colors->itemText(16), QStringLiteral("Custom..."));
        QCOMPARE(colors->currentData().value<QColor>(), color);
        QCOMPARE(chooser.color(), color);

        // OK without a change hands back what came in, to the stored field.
        QVERIFY(flashFontFieldsFromFont(chooser.selectedFont(), fields) == fields);
        QCOMPARE(chooser.selectedFont().family(), QStringLiteral("Arial"));

        auto *sample = child<QLabel>(chooser, "sample");
        QCOMPARE(sample->text(), QStringLiteral("AaBbYyZz"));
        QCOMPARE(sample->font(), chooser.selectedFont());
        QCOMPARE(sample->palette().color(QPalette::WindowText), color);
    }

    void basicColours()
    {
        Font chooser(flashFontFromFields({}), Qt::black);
        auto *colors = child<QComboBox>(chooser, "color");
        const QStringList names{"Black", "Maroon", "Green", "Olive", "Navy", "Purple", "Teal", "Gray",
                                "Silver", "Red", "Lime", "Yellow", "Blue", "Fuchsia", "Aqua", "White"};
        const QList<QColor> rgb{{0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                {0, 0, 128},   {128, 0, 128}, {0, 128, 128}, {128, 128, 128},
                                {192, 192, 192}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
                                {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
        for (int i = 0; i < 16; ++i) {
            QCOMPARE(colors->itemText(i), names[i]);
            QCOMPARE(colors->itemData(i).value<QColor>(), rgb[i]);
        }
    }

    // Every choice reaches the font handed back and the sample.
    void choicesReachTheFont()
    {
        const FlashFontFields fields;
        Font chooser(flashFontFromFields(fields), Qt::black);
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));

        pick(child<QListWidget>(chooser, "familyList"), QStringLiteral("DejaVu Serif"));
        QCOMPARE(child<QLineEdit>(chooser, "family")->text(), QStringLiteral("DejaVu Serif"));
        QVERIFY(QFontDatabase::styles("DejaVu Serif").contains("Bold Italic"));
        // The style the family has that is nearest to the one before.
        QCOMPARE(child<QLineEdit>(chooser, "style")->text(), QStringLiteral("Bold"));
        pick(child<QListWidget>(chooser, "styleList"), QStringLiteral("Bold Italic"));
        pick(child<QListWidget>(chooser, "sizeList"), QStringLiteral("18"));
        QCOMPARE(child<QLineEdit>(chooser, "size")->text(), QStringLiteral("18"));
        child<QCheckBox>(chooser, "strikeOut")->click();
        auto *colors = child<QComboBox>(chooser, "color");
        colors->setCurrentIndex(12);
        emit colors->activated(12);

        const QFont font = chooser.selectedFont();
        QCOMPARE(font.family(), QStringLiteral("DejaVu Serif"));
        QCOMPARE(font.pixelSize(), 24);
        QVERIFY(font.italic());
        QCOMPARE(font.weight(), QFont::Bold);
        QVERIFY(font.strikeOut());
        QVERIFY(!font.underline());
        QCOMPARE(chooser.color(), QColor(Qt::blue));
        auto *sample = child<QLabel>(chooser, "sample");
        QCOMPARE(sample->font(), font);
        QCOMPARE(sample->palette().color(QPalette::WindowText), QColor(Qt::blue));

        FlashFontFields expected = fields;
        expected.height = 24;
        expected.italic = 1;
        expected.strikeOut = 1;
        QVERIFY(flashFontFieldsFromFont(font, fields) == expected);

        // A size typed in points.
        auto *size = child<QLineEdit>(chooser, "size");
        size->selectAll();
        QTest::keyClicks(size, QStringLiteral("7.5"));
        QCOMPARE(chooser.selectedFont().pixelSize(), 10);
        QCOMPARE(selectedText(child<QListWidget>(chooser, "sizeList")), QString());
        size->selectAll();
        QTest::keyClicks(size, QStringLiteral("36"));
        QCOMPARE(selectedText(child<QListWidget>(chooser, "sizeList")), QStringLiteral("36"));
        QCOMPARE(chooser.selectedFont().pixelSize(), 48);
    }

    void typingAFamilyLooksItUp()
    {
        Font chooser(flashFontFromFields({}), Qt::black);
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        auto *family = child<QLineEdit>(chooser, "family");
        family->selectAll();
        QTest::keyClicks(family, QStringLiteral("dejavu sans m"));
        QCOMPARE(selectedText(child<QListWidget>(chooser, "familyList")), QStringLiteral("DejaVu Sans Mono"));
        QCOMPARE(chooser.selectedFont().family(), QStringLiteral("DejaVu Sans Mono"));
        // Text that names no family leaves the choice as it was.
        QTest::keyClicks(family, QStringLiteral("zzz"));
        QCOMPARE(chooser.selectedFont().family(), QStringLiteral("DejaVu Sans Mono"));
    }

    // "Custom..." asks for any colour; cancelling that keeps the colour before.
    void customColour_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("colour chosen") << true;
        QTest::newRow("colour dialog cancelled") << false;
    }
    void customColour()
    {
        QFETCH(bool, accept);
        Font chooser(flashFontFromFields({}), Qt::red);
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        bool asked = false;
        QTimer::singleShot(0, &chooser, [&] {
            auto *dialog = qobject_cast<QColorDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            asked = dialog->currentColor() == QColor(Qt::red);
            dialog->setCurrentColor(QColor(10, 120, 200));
            if (accept)
                dialog->accept();
            else
                dialog->reject();
        });
        auto *colors = child<QComboBox>(chooser, "color");
        colors->setCurrentIndex(16);
        emit colors->activated(16);
        QVERIFY(asked);
        QCOMPARE(chooser.color(), accept ? QColor(10, 120, 200) : QColor(Qt::red));
        QCOMPARE(colors->currentIndex(), accept ? 16 : 9);
        QCOMPARE(child<QLabel>(chooser, "sample")->palette().color(QPalette::WindowText), chooser.color());
    }

    void lookAndAccessibility()
    {
        Font chooser(flashFontFromFields({}), Qt::black);
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        QCOMPARE(chooser.palette().color(QPalette::Window), DialogLook::background());
        auto *buttons = child<QDialogButtonBox>(chooser, "buttons");
        QVERIFY(buttons->button(QDialogButtonBox::Ok));
        QVERIFY(buttons->button(QDialogButtonBox::Cancel));
        for (QWidget *control : chooser.findChildren<QWidget *>()) {
            if (control->focusPolicy() != Qt::NoFocus && control->isVisibleTo(&chooser)
                && !qobject_cast<QWidget *>(control->parent())->inherits("QAbstractScrollArea"))
                QVERIFY2(!control->accessibleName().isEmpty(), control->metaObject()->className());
        }
    }
};

QTEST_MAIN(FontTest)
#include "tst_font.moc"
