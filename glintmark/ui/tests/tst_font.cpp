// The font chooser offscreen: what it shows for a font and colour, and what it hands back.

#include "DialogLook.h"
#include "FlashFont.h"
#include "Font.h"
#include "FontSize.h"
#include "ModalAnswer.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QValidator>

#include <algorithm>
#include <cmath>

Q_DECLARE_METATYPE(FlashFontFields)

using glintmark::Font;

namespace {

template <typename T> T *child(const Font &chooser, const char *name)
{
    T *widget = chooser.findChild<T *>(QLatin1String(name));
    if (!widget)
        qFatal("no child %s", name);
    return widget;
}

// The item the user has chosen; a current item without a selection is no choice.
QString selectedText(const QListWidget *list)
{
    const QList<QListWidgetItem *> selected = list->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

void pick(QListWidget *list, const QString &text)
{
    const auto found = list->findItems(text, Qt::MatchFixedString);
    if (found.isEmpty())
        qFatal("no item %s", qPrintable(text));
    list->scrollToItem(found.first());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
}

// Tests pick their families from the fonts the set-up script installs (fonts-dejavu-core and
// fonts-liberation), never from what else a machine may have. The first one present that has
// every style of `styles` and is not `other`, or an empty name when none is.
QString installedFamily(const QStringList &styles, const QString &other = QString())
{
    static const QStringList installed{"Liberation Serif", "Liberation Mono", "Liberation Sans",
                                       "DejaVu Serif", "DejaVu Sans", "DejaVu Sans Mono"};
    for (const QString &family : installed) {
        if (family.compare(other, Qt::CaseInsensitive) == 0 || !QFontDatabase::hasFamily(family))
            continue;
        const QStringList has = QFontDatabase::styles(family);
        if (std::all_of(styles.cbegin(), styles.cend(), [&has](const QString &style) { return has.contains(style); }))
            return family;
    }
    return {};
}

QString describe(const FlashFontFields &fields)
{
    return QStringLiteral("height %1 width %2 weight %3 italic %4 underline %5 strike-out %6 charset %7 pitch %8")
        .arg(fields.height).arg(fields.width).arg(fields.weight).arg(fields.italic).arg(fields.underline)
        .arg(fields.strikeOut).arg(fields.charSet).arg(fields.pitchAndFamily);
}

// Everything the chooser shows and would hand back, one line each, so a comparison names what
// changed.
QStringList stateOf(const Font &chooser, const FlashFontFields &stored)
{
    const QFont font = chooser.selectedFont();
    return {
        "family box " + child<QLineEdit>(chooser, "family")->text(),
        "family list " + selectedText(child<QListWidget>(chooser, "familyList")),
        "style box " + child<QLineEdit>(chooser, "style")->text(),
        "style list " + selectedText(child<QListWidget>(chooser, "styleList")),
        "size box " + child<QLineEdit>(chooser, "size")->text(),
        "size list " + selectedText(child<QListWidget>(chooser, "sizeList")),
        QStringLiteral("strike-out box %1").arg(child<QCheckBox>(chooser, "strikeOut")->isChecked()),
        QStringLiteral("underline box %1").arg(child<QCheckBox>(chooser, "underline")->isChecked()),
        QStringLiteral("colour list %1").arg(child<QComboBox>(chooser, "color")->currentIndex()),
        "colour " + chooser.color().name(),
        "font " + font.toString(),
        "stored " + describe(flashFontFieldsFromFont(font, stored)),
        "sample " + child<QLabel>(chooser, "sample")->font().toString(),
    };
}

// The widgets that Tab reaches.
QSet<QWidget *> tabStops(const Font &chooser)
{
    QSet<QWidget *> stops;
    for (QWidget *widget : chooser.findChildren<QWidget *>()) {
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisibleTo(&chooser) && widget->isEnabled()
            && !widget->focusProxy())
            stops.insert(widget);
    }
    return stops;
}

// Sets the default locale for one test and puts the previous one back.
class DefaultLocale
{
public:
    explicit DefaultLocale(const QLocale &locale) { QLocale::setDefault(locale); }
    ~DefaultLocale() { QLocale::setDefault(m_previous); }
    DefaultLocale(const DefaultLocale &) = delete;
    DefaultLocale &operator=(const DefaultLocale &) = delete;

private:
    QLocale m_previous;
};

// A chooser on screen with the keyboard focus, as the user meets it.
void showActive(Font &chooser)
{
    chooser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chooser));
    chooser.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&chooser));
    QTRY_VERIFY(QApplication::focusWidget());
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
        const QString family = installedFamily({"Bold", "Bold Italic"}, QFontInfo(flashFontFromFields(fields)).family());
        if (family.isEmpty())
            QSKIP("no installed family besides the one Arial stands for has Bold and Bold Italic");
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));

        pick(child<QListWidget>(chooser, "familyList"), family);
        QCOMPARE(child<QLineEdit>(chooser, "family")->text(), family);
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
        QCOMPARE(font.family(), family);
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
        if (!QFontDatabase::hasFamily(QStringLiteral("DejaVu Sans Mono")))
            QSKIP("DejaVu Sans Mono is not installed");
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
        answerNextModal<QColorDialog>(&chooser, [&](QColorDialog *dialog) {
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

    // A stored height is shown as a size that gives the same height back, so OK without a
    // change and a size picked or typed both read back as they were.
    void everySizeReadsBack_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("decimal point") << QLocale::c();
        QTest::newRow("decimal comma") << QLocale(QLocale::German, QLocale::Germany);
    }
    void everySizeReadsBack()
    {
        QFETCH(QLocale, locale);
        const DefaultLocale inUse(locale);
        Font chooser(flashFontFromFields({}), Qt::black);
        const QValidator *typing = child<QLineEdit>(chooser, "size")->validator();

        // Every whole size the chooser takes: points -> pixels -> the same size.
        for (int points = 1; points <= 1000; ++points) {
            const QString shown = FontSize::textOfPixels(FontSize::pixelsOfPoints(points));
            QVERIFY2(shown == QString::number(points), qPrintable(QString::number(points) + " shown as " + shown));
        }
        // Every height those sizes give: pixels -> text -> the same pixels. The text is one the
        // size box takes, whole when a whole size gives the height, else the nearest tenth.
        for (int pixels = 1; pixels <= FontSize::pixelsOfPoints(1000); ++pixels) {
            QString shown = FontSize::textOfPixels(pixels);
            const QByteArray what = QByteArray::number(pixels) + " px shown as " + shown.toUtf8();
            int cursor = 0;
            QVERIFY2(typing->validate(shown, cursor) == QValidator::Acceptable, what);
            QVERIFY2(FontSize::pixelsOfText(shown) == pixels, what);
            bool ok = false;
            const double points = locale.toDouble(shown, &ok);
            QVERIFY2(ok, what);
            if (points != std::floor(points)) {
                QVERIFY2(std::abs(points - pixels * 0.75) < 0.05 + 1e-9, what);
                QVERIFY2(FontSize::pixelsOfPoints(std::floor(points)) != pixels, what);
                QVERIFY2(FontSize::pixelsOfPoints(std::ceil(points)) != pixels, what);
            }
        }
    }

    // A size picked or typed, stored as whole pixels, and what the chooser shows for it the
    // next time it opens on the stored font. Sizes finer than a pixel come back as the size of
    // the height they gave; a text that is no size leaves the size as it was.
    void sizeReadsBackAsChosen_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("picked");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("pixels");
        QTest::addColumn<QString>("shownAgain");
        const QLocale c = QLocale::c();
        QTest::newRow("28 picked") << c << "28" << QString() << 37 << "28";
        QTest::newRow("28 typed") << c << QString() << "28" << 37 << "28";
        QTest::newRow("8 picked") << c << "8" << QString() << 11 << "8";
        QTest::newRow("72 typed") << c << QString() << "72" << 96 << "72";
        QTest::newRow("10.5 typed, the height of the defaults") << c << QString() << "10.5" << 14 << "10.5";
        QTest::newRow("7.5 typed") << c << QString() << "7.5" << 10 << "7.5";
        QTest::newRow("11.25 typed, the height of 11") << c << QString() << "11.25" << 15 << "11";
        QTest::newRow("10.3 typed, between two heights") << c << QString() << "10.3" << 14 << "10.5";
        QTest::newRow("1 typed, the smallest") << c << QString() << "1" << 1 << "1";
        QTest::newRow("1000 typed, the largest") << c << QString() << "1000" << 1333 << "1000";
        QTest::newRow("0 typed, no size") << c << QString() << "0" << 14 << "10.5";
        QTest::newRow("size erased") << c << QString() << "" << 14 << "10.5";
        const QLocale german(QLocale::German, QLocale::Germany);
        QTest::newRow("12,5 typed with a decimal comma") << german << QString() << "12,5" << 17 << "13";
        QTest::newRow("13,5 typed with a decimal comma") << german << QString() << "13,5" << 18 << "13,5";
    }
    void sizeReadsBackAsChosen()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, picked);
        QFETCH(QString, typed);
        QFETCH(int, pixels);
        QFETCH(QString, shownAgain);
        const DefaultLocale inUse(locale);
        const FlashFontFields fields; // 14 px
        Font chooser(flashFontFromFields(fields), Qt::black);
        showActive(chooser);
        auto *size = child<QLineEdit>(chooser, "size");
        if (!picked.isNull()) {
            pick(child<QListWidget>(chooser, "sizeList"), picked);
            QCOMPARE(size->text(), picked);
        } else {
            size->setFocus(Qt::MouseFocusReason);
            size->selectAll();
            QTest::keyClick(size, Qt::Key_Backspace);
            QTest::keyClicks(size, typed);
            QCOMPARE(size->text(), typed);
        }
        QCOMPARE(chooser.selectedFont().pixelSize(), pixels);
        QCOMPARE(child<QLabel>(chooser, "sample")->font().pixelSize(), pixels);
        const FlashFontFields stored = flashFontFieldsFromFont(chooser.selectedFont(), fields);
        QCOMPARE(stored.height, pixels);

        Font again(flashFontFromFields(stored), Qt::black);
        QCOMPARE(child<QLineEdit>(again, "size")->text(), shownAgain);
        const bool listed = !child<QListWidget>(again, "sizeList")->findItems(shownAgain, Qt::MatchExactly).isEmpty();
        QCOMPARE(selectedText(child<QListWidget>(again, "sizeList")), listed ? shownAgain : QString());
        QVERIFY(flashFontFieldsFromFont(again.selectedFont(), stored) == stored);
    }

    // Moving the focus is no choice: Tab and Shift+Tab through every control, the labels'
    // shortcuts and clicks that only put the focus somewhere change nothing, and OK then hands
    // back what came in.
    void movingTheFocusChangesNothing_data()
    {
        QTest::addColumn<FlashFontFields>("fields");
        QTest::addColumn<QColor>("color");
        QTest::newRow("the shipped 14 px bold, a size the list lacks") << FlashFontFields{} << QColor(Qt::black);
        QTest::newRow("28 points italic, underlined, red")
            << FlashFontFields{37, 0, 0, 0, 400, 1, 1, 0, 0, 0, 0, 0, 0x20} << QColor(Qt::red);
        QTest::newRow("a height of the characters, struck out, a colour of its own")
            << FlashFontFields{-19, 0, 0, 0, 700, 0, 0, 1, 0, 0, 0, 0, 0x20} << QColor(1, 2, 3);
    }
    void movingTheFocusChangesNothing()
    {
        QFETCH(FlashFontFields, fields);
        QFETCH(QColor, color);
        Font chooser(flashFontFromFields(fields), color);
        showActive(chooser);
        const QStringList before = stateOf(chooser, fields);
        QStringList stops;
        for (const QWidget *stop : tabStops(chooser))
            stops << stop->accessibleName();
        stops.sort();

        auto focusName = [] { return QApplication::focusWidget()->accessibleName(); };
        auto unchangedAfter = [&](const QString &what) {
            const QStringList now = stateOf(chooser, fields);
            for (int i = 0; i < before.size(); ++i) {
                if (now.at(i) != before.at(i))
                    return QString("%1: %2 became %3").arg(what, before.at(i), now.at(i));
            }
            return QString();
        };

        for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
            const Qt::KeyboardModifiers modifiers = key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier;
            QWidget *first = QApplication::focusWidget();
            QStringList visited{first->accessibleName()};
            for (qsizetype step = 0; step <= stops.size(); ++step) {
                QTest::keyClick(QApplication::focusWidget(), key, modifiers);
                const QString change = unchangedAfter(QKeySequence(key | modifiers).toString() + " to " + focusName());
                QVERIFY2(change.isEmpty(), qPrintable(change));
                if (QApplication::focusWidget() == first)
                    break;
                visited << focusName();
            }
            QCOMPARE(QApplication::focusWidget(), first);
            visited.sort();
            QCOMPARE(visited, stops);
        }

        // The labels' shortcuts put the focus on their controls.
        const QList<std::pair<Qt::Key, const char *>> shortcuts{
            {Qt::Key_S, "size"}, {Qt::Key_Y, "styleList"}, {Qt::Key_F, "family"}, {Qt::Key_C, "color"}};
        for (const auto &[key, name] : shortcuts) {
            QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
            QCOMPARE(QApplication::focusWidget()->objectName(), QLatin1String(name));
            const QString change = unchangedAfter("Alt+" + QKeySequence(key).toString());
            QVERIFY2(change.isEmpty(), qPrintable(change));
        }

        // Clicks on the boxes and on the free part of a list below its items.
        QList<std::pair<QWidget *, QPoint>> clicks;
        for (const char *name : {"size", "style", "family"}) {
            auto *box = child<QLineEdit>(chooser, name);
            clicks.append({box, box->rect().center()});
        }
        int listsWithRoom = 0;
        for (const char *name : {"sizeList", "styleList", "familyList"}) {
            auto *list = child<QListWidget>(chooser, name);
            const int below = list->visualItemRect(list->item(list->count() - 1)).bottom() + 4;
            if (below < list->viewport()->height()) {
                clicks.append({list->viewport(), QPoint(list->viewport()->width() / 2, below)});
                ++listsWithRoom;
            }
        }
        QVERIFY(listsWithRoom > 0);
        for (const auto &[widget, at] : clicks) {
            QTest::mouseClick(widget, Qt::LeftButton, {}, at);
            const QString change = unchangedAfter("a click on " + QApplication::focusWidget()->accessibleName());
            QVERIFY2(change.isEmpty(), qPrintable(change));
        }

        QTest::mouseClick(child<QDialogButtonBox>(chooser, "buttons")->button(QDialogButtonBox::Ok), Qt::LeftButton);
        QCOMPARE(chooser.result(), int(QDialog::Accepted));
        QVERIFY(flashFontFieldsFromFont(chooser.selectedFont(), fields) == fields);
        QCOMPARE(chooser.color(), color);
    }

    // Keys that move a list's selection are a choice, made as soon as the list has the focus.
    void keysInAListChoose_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("box");
        QTest::newRow("sizes") << "sizeList" << "size";
        QTest::newRow("styles") << "styleList" << "style";
        QTest::newRow("families") << "familyList" << "family";
    }
    void keysInAListChoose()
    {
        QFETCH(QString, list);
        QFETCH(QString, box);
        const FlashFontFields fields;
        Font chooser(flashFontFromFields(fields), Qt::black);
        showActive(chooser);
        auto *items = child<QListWidget>(chooser, qPrintable(list));
        for (int step = 0; step < 20 && QApplication::focusWidget() != items; ++step)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), items);
        const QStringList before = stateOf(chooser, fields);

        // To the other end of the list from the item chosen, so the choice is always new.
        const bool atEnd = selectedText(items) == items->item(items->count() - 1)->text();
        QTest::keyClick(items, atEnd ? Qt::Key_Home : Qt::Key_End);
        const QString chosen = items->item(atEnd ? 0 : items->count() - 1)->text();
        QCOMPARE(selectedText(items), chosen);
        QCOMPARE(child<QLineEdit>(chooser, qPrintable(box))->text(), chosen);
        QVERIFY(stateOf(chooser, fields) != before);
        const QFont font = chooser.selectedFont();
        if (list == "sizeList")
            QCOMPARE(font.pixelSize(), FontSize::pixelsOfText(chosen));
        else if (list == "familyList")
            QCOMPARE(font.family(), chosen);
        QCOMPARE(child<QLabel>(chooser, "sample")->font(), font);
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
