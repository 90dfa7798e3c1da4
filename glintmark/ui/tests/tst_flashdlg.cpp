// The main window offscreen: start-up from the three files, Start and Stop with what they hand
// the overlay, the editor and the font chooser, help, and leaving with the files written.

#include "CListEditDlg.h"
#include "CMyTreeCtrl.h"
#include "CPictureButton.h"
#include "DialogLook.h"
#include "FlashDlg.h"
#include "FlashFont.h"
#include "FlashNotice.h"
#include "FlashScreenSetting.h"
#include "Font.h"
#include "FontRecords.h"
#include "SessionStart.h"
#include "MessageBoxRecorder.h"
#include "ModalAnswer.h"
#include "TestFiles.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <optional>

namespace {

const QByteArray kList = "Health;I am calm;I sleep well;I eat well;\r\n"
                         "Work;I focus;I finish;\r\n"
                         "Empty;\r\n"
                         "Joy;I smile;";

// Ticks: Health itself and its first and third affirmation, Work's second, Joy's first.
QByteArray listTicks()
{
    QByteArray ticks(10000, '\0');
    for (const int at : {0, 1, 3, 102, 301})
        ticks[at] = 1;
    return ticks;
}

QStringList texts(const QTreeWidgetItem *parent)
{
    QStringList list;
    for (int i = 0; i < parent->childCount(); ++i)
        list << parent->child(i)->text(0);
    return list;
}

// What Start handed to one overlay.
struct Handed
{
    QByteArrayList texts; // the leading non-empty slots
    int emptyAfter = 0;   // how many empty slots follow them
    FlashLocation location{};
    int intervalMs = 0;
    int displayMs = 0;
    QFont font;
    QColor color;
    FlashScreen screens{};
};

// One main window over the three files in a folder of its own; Start's overlays are made as
// usual and what they were handed is recorded.
struct Window
{
    explicit Window(std::optional<QByteArray> list = kList, std::optional<QByteArray> ticks = listTicks(),
                    std::optional<QByteArray> font = kDefaultFontRecord, bool withHelp = true)
    {
        if (list)
            write("List.txt", *list);
        if (ticks)
            write("check.txt", *ticks);
        if (font)
            write("font.dat", *font);
        if (withHelp)
            write("help.html", "<html></html>");
        dialog = std::make_unique<CFlashDlg>(QStringList{dir.path(), dir.filePath("user"), dir.filePath("share")});
        dialog->setOverlayFactory([this](const CFlashDlg::OverlayRequest &request) {
            Handed handed;
            int slot = 0;
            while (slot < kFlashSlots && !request.texts[slot].isEmpty())
                handed.texts << request.texts[slot++];
            while (slot < kFlashSlots && request.texts[slot].isEmpty())
                ++slot, ++handed.emptyAfter;
            handed.location = request.location;
            handed.intervalMs = request.intervalMs;
            handed.displayMs = request.displayMs;
            handed.font = request.font;
            handed.color = request.textColor;
            handed.screens = request.screens;
            overlays << handed;
            auto overlay = std::make_unique<CDrawDlg>(request.texts, request.location, request.intervalMs,
                                                      request.displayMs, request.font, request.textColor);
            overlay->setScreenChoice(request.screens);
            return overlay;
        });
    }

    void show() const
    {
        dialog->show();
        if (!QTest::qWaitForWindowExposed(dialog.get()))
            qFatal("main window not shown");
    }

    void write(const char *name, const QByteArray &bytes) const
    {
        if (!writeWholeFile(dir.filePath(name), bytes))
            qFatal("cannot write %s", name);
    }
    QByteArray read(const char *name) const { return readWholeFile(dir.filePath(name)); }

    template <typename T> T *child(const char *name) const
    {
        T *widget = dialog->findChild<T *>(QLatin1String(name));
        if (!widget)
            qFatal("no child %s", name);
        return widget;
    }
    CMyTreeCtrl *tree() const { return child<CMyTreeCtrl>("tree"); }
    QPushButton *start() const { return child<QPushButton>("start"); }
    CPictureButton *button(const char *name) const { return child<CPictureButton>(name); }
    QComboBox *every() const { return child<QComboBox>("displayEvery"); }
    QComboBox *forList() const { return child<QComboBox>("displayFor"); }
    QComboBox *screens() const { return child<QComboBox>("screen"); }
    QRadioButton *location(int id) const
    {
        return child<QRadioButton>(qPrintable(QStringLiteral("location%1").arg(id)));
    }
    int checkedLocation() const
    {
        for (const int id : {1002, 1003, 1004, 1028}) {
            if (location(id)->isChecked())
                return id;
        }
        return 0;
    }
    QList<QWidget *> settingsControls() const
    {
        return {location(1002), location(1003), location(1004), location(1028), screens(), every(), forList(),
                button("font"), tree(), button("edit")};
    }
    QTreeWidgetItem *item(int category, int affirmation = -1) const
    {
        QTreeWidgetItem *top = tree()->topLevelItem(category);
        return affirmation < 0 ? top : top->child(affirmation);
    }
    void tick(int category, int affirmation, bool ticked = true) const
    {
        CMyTreeCtrl::SetCheck(item(category, affirmation), ticked);
    }
    void clearTicks() const
    {
        for (int c = 0; c < tree()->topLevelItemCount(); ++c) {
            tick(c, -1, false);
            for (int a = 0; a < item(c)->childCount(); ++a)
                tick(c, a, false);
        }
    }

    QTemporaryDir dir;
    std::unique_ptr<CFlashDlg> dialog;
    QList<Handed> overlays;
};

} // namespace

Q_DECLARE_METATYPE(std::optional<QByteArray>)

class FlashDlgTest : public QObject
{
    Q_OBJECT

public slots:
    void openUrl(const QUrl &url) { m_openedUrls << url; }

private slots:
    void initTestCase()
    {
        QVERIFY(m_settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
        QApplication::setApplicationName(QStringLiteral("Glintmark"));
    }

    void init()
    {
        m_openedUrls.clear();
        m_answer = QMessageBox::Ok;
        m_messages.emplace([this](const MessageBox::Request &request) {
            return request.buttons.testFlag(m_answer) ? m_answer : QMessageBox::Ok;
        });
        // The short-display notice would come up at every Start with 10 ms.
        QSettings().setValue(kShortDisplayNoticeSetting, true);
        QSettings().remove(kFlashScreenSetting);
        QSettings().remove(kStartFlashingSetting);
        m_configHome.emplace();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_configHome->path()));
    }
    void cleanup() { m_messages.reset(); }

    void startsFromTheThreeFiles()
    {
        // Bottom, "Minimum interval", "50 ms", 20-pixel italic, a dark red.
        Window w(kList, listTicks(), fontRecord(-20, 400, true, 0x000080, 1028, 0, 2));
        QCOMPARE(w.dialog->windowTitle(), QStringLiteral("Glintmark 2.1"));
        QVERIFY(m_messages->requests().isEmpty());

        CMyTreeCtrl *tree = w.tree();
        QCOMPARE(tree->topLevelItemCount(), 4);
        QCOMPARE(w.item(0)->text(0), QStringLiteral("Health"));
        QCOMPARE(texts(w.item(0)), (QStringList{"I am calm", "I sleep well", "I eat well"}));
        QCOMPARE(texts(w.item(1)), (QStringList{"I focus", "I finish"}));
        QCOMPARE(w.item(2)->childCount(), 0);
        QCOMPARE(texts(w.item(3)), QStringList{"I smile"});
        const QList<bool> ticks{CMyTreeCtrl::GetCheck(w.item(0)), CMyTreeCtrl::GetCheck(w.item(0, 0)),
                                CMyTreeCtrl::GetCheck(w.item(0, 1)), CMyTreeCtrl::GetCheck(w.item(0, 2)),
                                CMyTreeCtrl::GetCheck(w.item(1)), CMyTreeCtrl::GetCheck(w.item(1, 0)),
                                CMyTreeCtrl::GetCheck(w.item(1, 1)), CMyTreeCtrl::GetCheck(w.item(3, 0))};
        QCOMPARE(ticks, (QList<bool>{true, true, false, true, false, false, true, true}));
        // Nothing expanded or selected.
        QVERIFY(!w.item(0)->isExpanded());
        QVERIFY(tree->selectedItems().isEmpty());

        QCOMPARE(w.checkedLocation(), 1028);
        QCOMPARE(w.every()->currentIndex(), 0);
        QCOMPARE(w.forList()->currentIndex(), 2);
        const QFont font = w.dialog->flashFont();
        QCOMPARE(font.family(), QStringLiteral("Arial"));
        QCOMPARE(font.pixelSize(), 20);
        QVERIFY(font.italic());
        QCOMPARE(font.weight(), QFont::Normal);
        QCOMPARE(w.dialog->textColor(), QColor(128, 0, 0));
    }

    void settingsListsAndDefaults()
    {
        Window w(kList, listTicks(), std::nullopt);
        QStringList entries;
        QList<int> data;
        for (int i = 0; i < w.every()->count(); ++i) {
            entries << w.every()->itemText(i);
            data << w.every()->itemData(i).toInt();
        }
        QCOMPARE(entries, (QStringList{"Minimum interval", "1 second", "2 seconds", "3 seconds", "4 seconds",
                                       "5 seconds", "6 seconds", "7 seconds", "8 seconds"}));
        QCOMPARE(data, (QList<int>{500, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000}));
        entries.clear();
        data.clear();
        for (int i = 0; i < w.forList()->count(); ++i) {
            entries << w.forList()->itemText(i);
            data << w.forList()->itemData(i).toInt();
        }
        QCOMPARE(entries, (QStringList{"10 ms (subconscious)", "30 ms", "50 ms", "80 ms"}));
        QCOMPARE(data, (QList<int>{10, 30, 50, 80}));
        QVERIFY(!w.every()->isEditable());
        QVERIFY(!w.forList()->isEditable());
        QCOMPARE(w.every()->currentIndex(), 3);
        QCOMPARE(w.forList()->currentIndex(), 0);
        QCOMPARE(w.checkedLocation(), 1003);
    }

    // Each file is read on its own: one that is missing is reported by its full path and leaves
    // only its own part at the defaults.
    void missingFileAtStart_data()
    {
        QTest::addColumn<QString>("missing");
        QTest::addColumn<int>("categories");
        QTest::addColumn<bool>("healthTicked");
        QTest::addColumn<int>("location");
        QTest::newRow("font.dat") << "font.dat" << 4 << true << 1003;
        QTest::newRow("check.txt") << "check.txt" << 4 << false << 1004;
        QTest::newRow("List.txt") << "List.txt" << 0 << false << 1004;
    }
    void missingFileAtStart()
    {
        QFETCH(QString, missing);
        QFETCH(int, categories);
        QFETCH(bool, healthTicked);
        QFETCH(int, location);
        const QByteArray font = fontRecord(30, 400, false, 0xFF, 1004, 8, 3);
        Window w(missing == "List.txt" ? std::nullopt : std::optional(kList),
                 missing == "check.txt" ? std::nullopt : std::optional(listTicks()),
                 missing == "font.dat" ? std::nullopt : std::optional(font));
        QCOMPARE(m_messages->requests().size(), 1);
        const MessageBox::Request &message = m_messages->requests().first();
        QCOMPARE(message.text, QFileInfo(w.dir.filePath(missing)).absoluteFilePath() + " was not found.");
        QCOMPARE(message.title, QStringLiteral("Glintmark"));
        QCOMPARE(message.icon, QMessageBox::Critical);

        QCOMPARE(w.tree()->topLevelItemCount(), categories);
        if (categories > 0)
            QCOMPARE(CMyTreeCtrl::GetCheck(w.item(0, 0)), healthTicked);
        QCOMPARE(w.checkedLocation(), location);
        if (missing == "font.dat") {
            QCOMPARE(w.every()->currentIndex(), 3);
            QCOMPARE(w.forList()->currentIndex(), 0);
            QCOMPARE(w.dialog->flashFont().pixelSize(), 14);
            QCOMPARE(w.dialog->flashFont().weight(), QFont::Bold);
            QCOMPARE(w.dialog->textColor(), QColor(Qt::black));
        } else {
            QCOMPARE(w.every()->currentIndex(), 8);
            QCOMPARE(w.dialog->textColor(), QColor(Qt::red));
        }
    }

    // A library file with more than the tables take: what was loaded is shown, and a notice
    // says what was left out.
    void libraryNotTakenInWholeIsReported()
    {
        Window w("Health;I am calm;\r\n\r\nLost;I was after an empty line;");
        QCOMPARE(m_messages->requests().size(), 1);
        QCOMPARE(m_messages->requests().first().icon, QMessageBox::Warning);
        QCOMPARE(m_messages->requests().first().title, QStringLiteral("Glintmark"));
        QVERIFY(m_messages->requests().first().text.contains(QStringLiteral("there is text after an empty line")));
        QCOMPARE(w.tree()->topLevelItemCount(), 1);
        QCOMPARE(texts(w.item(0)), QStringList{"I am calm"});
    }

    // No overlay could be made: the user is told, and the window still counts as flashing
    // until Stop.
    void overlayThatCannotBeMade()
    {
        Window w;
        w.show();
        w.dialog->setOverlayFactory([](const CFlashDlg::OverlayRequest &) { return std::unique_ptr<CDrawDlg>(); });
        QTest::mouseClick(w.start(), Qt::LeftButton);
        QCOMPARE(m_messages->requests().size(), 1);
        QCOMPARE(m_messages->requests().first().text, QStringLiteral("Error creating Dialog"));
        QCOMPARE(m_messages->requests().first().icon, QMessageBox::Warning);
        QCOMPARE(m_messages->requests().first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(w.dialog->isFlashing());
        QCOMPARE(w.start()->text(), QStringLiteral("Stop"));
        QVERIFY(!w.tree()->isEnabled());
        QTest::mouseClick(w.start(), Qt::LeftButton);
        QVERIFY(!w.dialog->isFlashing());
        QVERIFY(w.tree()->isEnabled());
    }

    void nothingTickedRefusesToStart_data()
    {
        QTest::addColumn<bool>("categoryTicked");
        QTest::newRow("nothing ticked") << false;
        // A category ticked by itself, its affirmations cleared one by one, counts for nothing.
        QTest::newRow("only a category's own box") << true;
    }
    void nothingTickedRefusesToStart()
    {
        QFETCH(bool, categoryTicked);
        Window w;
        w.show();
        w.clearTicks();
        if (categoryTicked)
            w.tick(0, -1);
        QTest::mouseClick(w.start(), Qt::LeftButton);
        QCOMPARE(m_messages->requests().size(), 1);
        QCOMPARE(m_messages->requests().first().text, QStringLiteral("Select at least one affirmation"));
        QCOMPARE(m_messages->requests().first().title, QStringLiteral("Glintmark"));
        QCOMPARE(m_messages->requests().first().icon, QMessageBox::NoIcon);
        QCOMPARE(m_messages->requests().first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(w.overlays.isEmpty());
        QVERIFY(!w.dialog->isFlashing());
        QVERIFY(!w.dialog->overlay());
        QCOMPARE(w.start()->text(), QStringLiteral("Start"));
        for (QWidget *control : w.settingsControls())
            QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
    }

    // The ticked affirmations in tree order, the categories' own ticks playing no part, then
    // empty slots up to the end of the list.
    void startHandsOverTheTickedAffirmationsInTreeOrder()
    {
        Window w;
        w.show();
        w.tick(2, -1); // the empty category
        w.tick(1, 0);
        QTest::mouseClick(w.start(), Qt::LeftButton);
        QCOMPARE(w.overlays.size(), 1);
        QCOMPARE(w.overlays.first().texts,
                 (QByteArrayList{"I am calm", "I eat well", "I focus", "I finish", "I smile"}));
        QCOMPARE(w.overlays.first().emptyAfter, kFlashSlots - 5);
        QCOMPARE(w.dialog->overlay()->count(), 5);
        QVERIFY(m_messages->requests().isEmpty());
    }

    // The location, the interval and the display time as the controls give them.
    void startHandsOverTheSettings_data()
    {
        QTest::addColumn<int>("locationButton");
        QTest::addColumn<int>("everyIndex");
        QTest::addColumn<int>("forIndex");
        QTest::addColumn<FlashLocation>("location");
        QTest::addColumn<int>("intervalMs");
        QTest::addColumn<int>("displayMs");
        QTest::newRow("Top, Minimum interval, 30 ms") << 1002 << 0 << 1 << FlashLocation::Top << 500 << 30;
        QTest::newRow("Center, 3 seconds, 10 ms") << 1003 << 3 << 0 << FlashLocation::Center << 3000 << 10;
        QTest::newRow("Center-Left, 1 second, 50 ms") << 1004 << 1 << 2 << FlashLocation::CenterLeft << 1000 << 50;
        QTest::newRow("Bottom, 8 seconds, 80 ms") << 1028 << 8 << 3 << FlashLocation::Bottom << 8000 << 80;
        // Only a damaged "font.dat" leaves these without a choice: the defaults stand in.
        QTest::newRow("no location, no list choices") << 0 << -1 << -1 << FlashLocation::Center << 3000 << 10;
    }
    void startHandsOverTheSettings()
    {
        QFETCH(int, locationButton);
        QFETCH(int, everyIndex);
        QFETCH(int, forIndex);
        QFETCH(FlashLocation, location);
        QFETCH(int, intervalMs);
        QFETCH(int, displayMs);
        Window w(kList, listTicks(), fontRecord(18, 700, false, 0x00FF00, locationButton, everyIndex, forIndex));
        QCOMPARE(w.checkedLocation(), locationButton);
        QCOMPARE(w.every()->currentIndex(), everyIndex);
        QCOMPARE(w.forList()->currentIndex(), forIndex);
        w.show();
        QTest::mouseClick(w.start(), Qt::LeftButton);
        QCOMPARE(w.overlays.size(), 1);
        const Handed &handed = w.overlays.first();
        QCOMPARE(handed.location, location);
        QCOMPARE(handed.intervalMs, intervalMs);
        QCOMPARE(handed.displayMs, displayMs);
        QCOMPARE(handed.font, w.dialog->flashFont());
        QCOMPARE(handed.font.pixelSize(), 18);
        QCOMPARE(handed.color, QColor(0, 255, 0));
        QCOMPARE(w.dialog->overlay()->timing(), FlashTiming(intervalMs, displayMs));
    }

    // The "Screen" list under the locations: its entries, the primary screen when nothing or
    // something unknown is kept, kept per user as soon as it changes (never in "font.dat"),
    // read back by the next window, and handed to the overlay.
    void screenChoice_data()
    {
        QTest::addColumn<QVariant>("kept");
        QTest::addColumn<int>("shownIndex");
        QTest::newRow("nothing kept") << QVariant() << 0;
        QTest::newRow("unknown value") << QVariant("left") << 0;
        QTest::newRow("pointer kept") << QVariant("pointer") << 1;
        QTest::newRow("all kept") << QVariant("all") << 2;
    }
    void screenChoice()
    {
        QFETCH(QVariant, kept);
        QFETCH(int, shownIndex);
        if (kept.isValid())
            QSettings().setValue(kFlashScreenSetting, kept);
        {
            Window w;
            QComboBox *list = w.screens();
            QStringList entries;
            for (int i = 0; i < list->count(); ++i)
                entries << list->itemText(i);
            QCOMPARE(entries, (QStringList{"Primary screen", "Screen with the pointer", "All screens"}));
            QVERIFY(!list->isEditable());
            QCOMPARE(list->accessibleName(), QStringLiteral("Screen"));
            bool labelled = false;
            for (QLabel *each : w.dialog->findChildren<QLabel *>())
                labelled = labelled || (each->buddy() == list && each->text() == QLatin1String("Screen"));
            QVERIFY(labelled);
            QCOMPARE(list->parentWidget(), w.child<QGroupBox>("locationFrame"));
            QCOMPARE(list->currentIndex(), shownIndex);
            // Kept as it was until the user changes it.
            QCOMPARE(QSettings().value(kFlashScreenSetting), kept);

            w.show();
            QTest::mouseClick(w.start(), Qt::LeftButton);
            QCOMPARE(w.overlays.last().screens, FlashScreen(shownIndex));
            QCOMPARE(w.dialog->overlay()->screenChoice(), FlashScreen(shownIndex));
            QTest::mouseClick(w.start(), Qt::LeftButton);

            const int chosen = (shownIndex + 1) % 3;
            list->setCurrentIndex(chosen);
            QCOMPARE(QSettings().value(kFlashScreenSetting).toString(),
                     (QStringList{"primary", "pointer", "all"}[chosen]));
            QTest::mouseClick(w.start(), Qt::LeftButton);
            QCOMPARE(w.overlays.last().screens, FlashScreen(chosen));
            QTest::mouseClick(w.start(), Qt::LeftButton);
            QTest::mouseClick(w.button("exit"), Qt::LeftButton);
            QVERIFY(w.dialog->hasEnded());
            // "font.dat" keeps its 44 bytes, the same as they came.
            QCOMPARE(w.read("font.dat"), kDefaultFontRecord);
        }
        Window again;
        QCOMPARE(again.screens()->currentIndex(), (shownIndex + 1) % 3);
    }

    void startAndStopSwitchTheControls()
    {
        Window w;
        w.show();
        QTest::mouseClick(w.start(), Qt::LeftButton);
        QVERIFY(w.dialog->isFlashing());
        QPointer<CDrawDlg> overlay = w.dialog->overlay();
        QVERIFY(overlay);
        QCOMPARE(w.start()->text(), QStringLiteral("Stop"));
        QCOMPARE(w.start()->accessibleName(), QStringLiteral("Stop"));
        for (QWidget *control : w.settingsControls())
            QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
        QVERIFY(w.start()->isEnabled());
        QVERIFY(w.button("help")->isEnabled());
        QVERIFY(w.button("exit")->isEnabled());

        // A disabled control does not react.
        QTest::mouseClick(w.location(1002), Qt::LeftButton);
        QCOMPARE(w.checkedLocation(), 1003);
        QTest::mouseClick(w.button("edit"), Qt::LeftButton);
        QTest::mouseClick(w.button("font"), Qt::LeftButton);
        QVERIFY(!QApplication::activeModalWidget());

        QTest::mouseClick(w.start(), Qt::LeftButton);
        QVERIFY(!w.dialog->isFlashing());
        QVERIFY(overlay.isNull());
        QVERIFY(!w.dialog->overlay());
        QCOMPARE(w.start()->text(), QStringLiteral("Start"));
        QCOMPARE(w.start()->accessibleName(), QStringLiteral("Start"));
        for (QWidget *control : w.settingsControls())
            QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
        QCOMPARE(w.overlays.size(), 1);
    }

    void stopAndStartAgainUsesTheNewSettings()
    {
        Window w;
        w.show();
        QTest::mouseClick(w.start(), Qt::LeftButton);
        QTest::mouseClick(w.start(), Qt::LeftButton);
        QTest::mouseClick(w.location(1004), Qt::LeftButton);
        w.every()->setCurrentIndex(0);
        w.forList()->setCurrentIndex(3);
        w.tick(0, 1);
        w.tick(0, 0, false);
        QTest::mouseClick(w.start(), Qt::LeftButton);

        QCOMPARE(w.overlays.size(), 2);
        const Handed &first = w.overlays.at(0);
        const Handed &second = w.overlays.at(1);
        QCOMPARE(first.location, FlashLocation::Center);
        QCOMPARE(first.intervalMs, 3000);
        QCOMPARE(first.displayMs, 10);
        QCOMPARE(second.location, FlashLocation::CenterLeft);
        QCOMPARE(second.intervalMs, 500);
        QCOMPARE(second.displayMs, 80);
        QCOMPARE(second.texts, (QByteArrayList{"I sleep well", "I eat well", "I finish", "I smile"}));
        QVERIFY(w.dialog->isFlashing());
        QCOMPARE(w.dialog->overlay()->count(), 4);
    }

    void enterKeyStartsAndStops()
    {
        Window w;
        w.show();
        w.tree()->setFocus();
        QTest::keyClick(w.tree(), Qt::Key_Return);
        QVERIFY(w.dialog->isFlashing());
        QTest::keyClick(w.tree(), Qt::Key_Enter);
        QVERIFY(!w.dialog->isFlashing());
        QCOMPARE(w.overlays.size(), 1);
    }

    // With the shortest display time the overlay's notice comes up inside Start, until the
    // user turns it off; flashing starts once it is dismissed.
    void shortestDisplayTimeShowsTheNotice()
    {
        QSettings().remove(kShortDisplayNoticeSetting);
        Window w;
        w.show();
        QTest::mouseClick(w.start(), Qt::LeftButton);
        QCOMPARE(m_messages->requests().size(), 1);
        QCOMPARE(m_messages->requests().first().title, QStringLiteral("10 ms option selected"));
        QVERIFY(w.dialog->isFlashing());
        QVERIFY(w.dialog->overlay());
    }

    // Cancel keeps the library and its ticks; OK rebuilds the tree with the ticks kept by
    // position, so the entries that moved up take the ticks of their new places.
    void editorOkAndCancel_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::newRow("Cancel") << false;
        QTest::newRow("OK") << true;
    }
    void editorOkAndCancel()
    {
        QFETCH(bool, ok);
        Window w;
        w.show();
        w.tick(1, 0); // ticked on screen only, not in "check.txt"
        QString title;
        answerNextModal<CListEditDlg>(w.dialog.get(), [&](CListEditDlg *editor) {
            title = editor->windowTitle();
            auto *categories = editor->findChild<QListWidget *>(QStringLiteral("categories"));
            categories->setCurrentRow(0);
            editor->findChild<CPictureButton *>(QStringLiteral("deleteCategory"))->click();
            editor->findChild<CPictureButton *>(ok ? QStringLiteral("ok") : QStringLiteral("cancel"))->click();
        });
        QTest::mouseClick(w.button("edit"), Qt::LeftButton);
        QCOMPARE(title, QStringLiteral("Dialog"));
        QVERIFY(!QApplication::activeModalWidget());

        QStringList names;
        for (int c = 0; c < w.tree()->topLevelItemCount(); ++c)
            names << w.item(c)->text(0);
        if (!ok) {
            QCOMPARE(names, (QStringList{"Health", "Work", "Empty", "Joy"}));
            QVERIFY(CMyTreeCtrl::GetCheck(w.item(0)));
            QVERIFY(CMyTreeCtrl::GetCheck(w.item(0, 0)));
            QVERIFY(CMyTreeCtrl::GetCheck(w.item(1, 0)));
            QVERIFY(!CMyTreeCtrl::GetCheck(w.item(0, 1)));
            return;
        }
        QCOMPARE(names, (QStringList{"Work", "Empty", "Joy"}));
        // Work took Health's place: its box and its first and (missing) third affirmation ticks.
        QVERIFY(CMyTreeCtrl::GetCheck(w.item(0)));
        QVERIFY(CMyTreeCtrl::GetCheck(w.item(0, 0)));
        QVERIFY(!CMyTreeCtrl::GetCheck(w.item(0, 1)));
        // Empty took Work's place, Joy took Empty's: Joy's "I smile" sits where Empty had none.
        QVERIFY(!CMyTreeCtrl::GetCheck(w.item(2, 0)));
        QVERIFY(!w.item(0)->isExpanded());

        // Leaving writes the edited library.
        QTest::mouseClick(w.button("exit"), Qt::LeftButton);
        QCOMPARE(w.read("List.txt"), QByteArray("Work;I focus;I finish;\r\nEmpty;\r\nJoy;I smile;"));
    }

    void fontChooserOkAndCancel_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::newRow("Cancel") << false;
        QTest::newRow("OK") << true;
    }
    void fontChooserOkAndCancel()
    {
        QFETCH(bool, ok);
        Window w;
        w.show();
        const QFont before = w.dialog->flashFont();
        QString title;
        QColor background;
        answerNextModal<glintmark::Font>(w.dialog.get(), [&](glintmark::Font *chooser) {
            title = chooser->windowTitle();
            background = chooser->palette().color(QPalette::Window);
            auto *size = chooser->findChild<QLineEdit *>(QStringLiteral("size"));
            size->clear();
            QTest::keyClicks(size, QStringLiteral("24"));
            chooser->findChild<QCheckBox *>(QStringLiteral("underline"))->setChecked(true);
            auto *color = chooser->findChild<QComboBox *>(QStringLiteral("color"));
            color->setCurrentIndex(color->findText(QStringLiteral("Red")));
            emit color->activated(color->currentIndex());
            if (ok)
                chooser->accept();
            else
                chooser->reject();
        });
        QTest::mouseClick(w.button("font"), Qt::LeftButton);
        QCOMPARE(title, QStringLiteral("Font"));
        QCOMPARE(background, DialogLook::background());
        QVERIFY(!QApplication::activeModalWidget());

        if (!ok) {
            QCOMPARE(w.dialog->flashFont(), before);
            QCOMPARE(w.dialog->textColor(), QColor(Qt::black));
        } else {
            QCOMPARE(w.dialog->flashFont().pixelSize(), 32);
            QVERIFY(w.dialog->flashFont().underline());
            QCOMPARE(w.dialog->flashFont().weight(), QFont::Bold);
            QCOMPARE(w.dialog->textColor(), QColor(Qt::red));
        }
        // What Start hands over, and what leaving stores.
        QTest::mouseClick(w.start(), Qt::LeftButton);
        QCOMPARE(w.overlays.first().font, w.dialog->flashFont());
        QCOMPARE(w.overlays.first().color, w.dialog->textColor());
        QTest::mouseClick(w.button("exit"), Qt::LeftButton);
        QCOMPARE(w.read("font.dat"), ok ? QByteArray(le32(32) + le32(0) + le32(0) + le32(0) + le32(700)
                                                     + QByteArray("\0\1\0\0\0\0\0\x20", 8) + le32(0xFF)
                                                     + le32(1003) + le32(3) + le32(0))
                                        : kDefaultFontRecord);
    }

    // EXIT, Esc and the close box all save and end the window, also while flashing: the overlay
    // leaves the screen and is released.
    void leavingWritesTheThreeFiles_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("flashing");
        for (const char *how : {"EXIT", "Esc", "close box"}) {
            QTest::addRow("%s", how) << how << false;
            QTest::addRow("%s while flashing", how) << how << true;
        }
    }
    void leavingWritesTheThreeFiles()
    {
        QFETCH(QString, how);
        QFETCH(bool, flashing);
        Window w;
        w.show();
        QSignalSpy finished(w.dialog.get(), &QDialog::finished);
        w.tick(3, -1);
        w.tick(0, 0, false);
        QTest::mouseClick(w.location(1028), Qt::LeftButton);
        w.every()->setCurrentIndex(1);
        w.forList()->setCurrentIndex(2);
        QPointer<CDrawDlg> overlay;
        if (flashing) {
            QTest::mouseClick(w.start(), Qt::LeftButton);
            overlay = w.dialog->overlay();
            QVERIFY(overlay);
        }
        // The files change only now.
        QCOMPARE(w.read("check.txt"), listTicks());
        QCOMPARE(w.read("font.dat"), kDefaultFontRecord);

        if (how == "EXIT")
            QTest::mouseClick(w.button("exit"), Qt::LeftButton);
        else if (how == "Esc")
            QTest::keyClick(w.dialog.get(), Qt::Key_Escape);
        else
            QVERIFY(w.dialog->close());

        QCOMPARE(finished.size(), 1);
        QVERIFY(!w.dialog->isVisible());
        QVERIFY(overlay.isNull());
        QVERIFY(m_messages->requests().isEmpty());
        QCOMPARE(w.read("List.txt"), kList);
        QByteArray ticks = listTicks();
        ticks[1] = 0;
        ticks[300] = 1;
        QCOMPARE(w.read("check.txt"), ticks);
        QCOMPARE(w.read("font.dat"), fontRecord(14, 700, false, 0, 1028, 1, 2));
    }

    // The files go in the order "List.txt", "check.txt", "font.dat": one that cannot be written
    // leaves those after it unwritten. The window stays open with the message, until the user
    // chooses to leave without saving.
    void fileThatCannotBeWrittenAtExit_data()
    {
        QTest::addColumn<QString>("blocked");
        QTest::addColumn<QStringList>("written");
        QTest::newRow("List.txt") << "List.txt" << QStringList{};
        QTest::newRow("check.txt") << "check.txt" << QStringList{"List.txt"};
        QTest::newRow("font.dat") << "font.dat" << QStringList{"List.txt", "check.txt"};
    }
    void fileThatCannotBeWrittenAtExit()
    {
        QFETCH(QString, blocked);
        QFETCH(QStringList, written);
        Window w;
        w.show();
        QSignalSpy finished(w.dialog.get(), &QDialog::finished);
        w.tick(1, 0);
        QTest::mouseClick(w.location(1002), Qt::LeftButton);
        QByteArray ticks = listTicks();
        ticks[101] = 1;
        const QMap<QString, QByteArray> saved{{"List.txt", kList}, {"check.txt", ticks},
                                              {"font.dat", fontRecord(14, 700, false, 0, 1002, 3, 0)}};
        const QStringList names{"List.txt", "check.txt", "font.dat"};
        for (const QString &name : names)
            w.write(qPrintable(name), "old " + name.toLatin1());
        // A folder in the file's place cannot be replaced by the file.
        QVERIFY(QFile::remove(w.dir.filePath(blocked)));
        QVERIFY(QDir(w.dir.path()).mkpath(blocked + "/inside"));

        QTest::mouseClick(w.button("exit"), Qt::LeftButton);
        QCOMPARE(m_messages->requests().size(), 1);
        const MessageBox::Request &message = m_messages->requests().first();
        QCOMPARE(message.title, QStringLiteral("Glintmark"));
        QCOMPARE(message.icon, QMessageBox::Critical);
        QCOMPARE(message.text, QFileInfo(w.dir.filePath(blocked)).absoluteFilePath() + " contains an invalid path.");
        QCOMPARE(message.buttons, QMessageBox::Ok | QMessageBox::Discard);
        QCOMPARE(message.buttonTexts.size(), 1);
        QCOMPARE(message.buttonTexts.first().first, QMessageBox::Discard);
        QCOMPARE(message.buttonTexts.first().second, QStringLiteral("Leave Without Saving"));
        QCOMPARE(message.defaultButton, QMessageBox::Ok);
        QCOMPARE(message.escapeButton, QMessageBox::Ok);
        QVERIFY(!message.informativeText.isEmpty());
        // OK: the window stays, and the user may try again.
        QCOMPARE(finished.size(), 0);
        QVERIFY(w.dialog->isVisible());
        for (const QString &name : names) {
            if (name == blocked)
                QVERIFY(QFileInfo(w.dir.filePath(name)).isDir());
            else
                QCOMPARE(w.read(qPrintable(name)), written.contains(name) ? saved[name] : "old " + name.toLatin1());
        }

        // Again, now leaving without saving: the window ends with the files as they are.
        m_messages->clear();
        m_answer = QMessageBox::Discard;
        QTest::keyClick(w.dialog.get(), Qt::Key_Escape);
        QCOMPARE(m_messages->requests().size(), 1);
        QCOMPARE(finished.size(), 1);
        QVERIFY(!w.dialog->isVisible());
        for (const QString &name : names) {
            if (name != blocked && !written.contains(name))
                QCOMPARE(w.read(qPrintable(name)), "old " + name.toLatin1());
        }
    }

    // The real message box: its two ways on, in plain words.
    void exitFailureMessageBoxOffersToLeave()
    {
        m_messages.reset();
        Window w;
        w.show();
        QSignalSpy finished(w.dialog.get(), &QDialog::finished);
        QVERIFY(QFile::remove(w.dir.filePath("font.dat")));
        QVERIFY(QDir(w.dir.path()).mkpath("font.dat/inside"));

        QStringList buttons;
        QString text;
        QString leaveName;
        const auto answer = [&](bool leave) {
            answerNextModal<QMessageBox>(w.dialog.get(), [&, leave](QMessageBox *box) {
                text = box->text();
                buttons.clear();
                for (QAbstractButton *button : box->buttons())
                    buttons << button->text();
                leaveName = box->button(QMessageBox::Discard)->accessibleName();
                box->button(leave ? QMessageBox::Discard : QMessageBox::Ok)->click();
            });
        };
        answer(false);
        QTest::mouseClick(w.button("exit"), Qt::LeftButton);
        QCOMPARE(text, QFileInfo(w.dir.filePath("font.dat")).absoluteFilePath() + " contains an invalid path.");
        buttons.sort();
        QCOMPARE(buttons, (QStringList{"Leave Without Saving", "OK"}));
        QCOMPARE(leaveName, QStringLiteral("Leave Without Saving"));
        QCOMPARE(finished.size(), 0);
        QVERIFY(w.dialog->isVisible());

        answer(true);
        QVERIFY(w.dialog->close());
        QCOMPARE(finished.size(), 1);
    }

    void helpOpensTheHelpPage()
    {
        QDesktopServices::setUrlHandler("file", this, "openUrl");
        {
            Window w;
            w.show();
            QTest::mouseClick(w.button("help"), Qt::LeftButton);
            QTest::keyClick(w.dialog.get(), Qt::Key_F1);
            const QUrl page = QUrl::fromLocalFile(QFileInfo(w.dir.filePath("help.html")).absoluteFilePath());
            QCOMPARE(m_openedUrls, (QList<QUrl>{page, page}));
            // Also while flashing.
            QTest::mouseClick(w.start(), Qt::LeftButton);
            QTest::mouseClick(w.button("help"), Qt::LeftButton);
            QCOMPARE(m_openedUrls.size(), 3);
        }
        {
            m_openedUrls.clear();
            Window w(kList, listTicks(), kDefaultFontRecord, false);
            w.show();
            QTest::mouseClick(w.button("help"), Qt::LeftButton);
            QTest::keyClick(w.dialog.get(), Qt::Key_F1);
            QVERIFY(m_openedUrls.isEmpty());
            QVERIFY(m_messages->requests().isEmpty());
        }
        QDesktopServices::unsetUrlHandler("file");
    }

    // Without a notification area (as here) minimising leaves the window minimised in the task
    // bar, never hidden without a way back.
    void minimiseWithoutNotificationArea()
    {
        QVERIFY(!CTrayIcon::IsAvailable());
        Window w;
        w.show();
        QTest::mouseClick(w.start(), Qt::LeftButton);
        w.dialog->showMinimized();
        QTRY_VERIFY(w.dialog->isMinimized());
        QTest::qWait(0);
        QVERIFY(w.dialog->isVisible());
        QVERIFY(!w.dialog->tray().IsShown());
        QVERIFY(w.dialog->isFlashing());
        w.dialog->showNormal();
        QVERIFY(!w.dialog->isMinimized());
        QVERIFY(w.dialog->isVisible());
    }

    // "Start with the desktop session" and "Start flashing when started": after the icon's own
    // entries, and in the window's own menu, one action each showing what is stored.
    void startChoicesInBothMenus()
    {
        Window w;
        w.show();
        auto *trayMenu = w.child<QMenu>("trayMenu");
        QStringList entries;
        for (const QAction *action : trayMenu->actions())
            entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
        QCOMPARE(entries, (QStringList{"Show Dialog", "-", "Exit", "-", "Start with the desktop session",
                                       "Start flashing when started"}));
        auto *sessionStart = w.child<QAction>("sessionStart");
        auto *startFlashing = w.child<QAction>("startFlashing");
        QVERIFY(sessionStart->isCheckable() && startFlashing->isCheckable());
        QVERIFY(!sessionStart->isChecked() && !startFlashing->isChecked());

        // The window's menu, as a right click on the window brings it up.
        QStringList windowEntries;
        bool shownChecked = false;
        const QObject step;
        QTimer::singleShot(0, &step, [&] {
            if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
                for (const QAction *action : menu->actions())
                    windowEntries << action->text();
                shownChecked = menu->actions().value(0) && menu->actions().value(0)->isChecked();
                menu->close();
            }
        });
        // Made by another Glintmark meanwhile: the menu shows it.
        QVERIFY(writeAutostartEntry(QStringLiteral("/elsewhere/glintmark")) == std::nullopt);
        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(5, 5), w.dialog->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(w.dialog.get(), &rightClick);
        QCOMPARE(windowEntries, (QStringList{"Start with the desktop session", "Start flashing when started"}));
        QVERIFY(shownChecked);

        // Chosen off, then on: the entry goes and comes back, running this program.
        sessionStart->trigger();
        QVERIFY(!QFileInfo::exists(autostartEntryPath()));
        QVERIFY(!sessionStart->isChecked());
        sessionStart->trigger();
        QVERIFY(sessionStart->isChecked());
        QCOMPARE(readWholeFile(autostartEntryPath()), autostartEntry(QCoreApplication::applicationFilePath()));

        // Removed from outside: the icon's menu shows it when it opens.
        QVERIFY(QFile::remove(autostartEntryPath()));
        emit trayMenu->aboutToShow();
        QVERIFY(!sessionStart->isChecked());

        startFlashing->trigger();
        QVERIFY(startFlashing->isChecked());
        QCOMPARE(QSettings().value(kStartFlashingSetting).toBool(), true);
        startFlashing->trigger();
        QCOMPARE(QSettings().value(kStartFlashingSetting).toBool(), false);
        QVERIFY(m_messages->requests().isEmpty());

        // A folder the entry cannot go into: the file-error text, and the choice stays off.
        const QString folder = QFileInfo(autostartEntryPath()).absolutePath();
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(writeWholeFile(folder, "a file, not a folder"));
        sessionStart->trigger();
        QVERIFY(!sessionStart->isChecked());
        QCOMPARE(m_messages->requests().size(), 1);
        QCOMPARE(m_messages->requests().first().icon, QMessageBox::Critical);
        QVERIFY(m_messages->requests().first().text.contains(autostartEntryPath()));
    }

    // What --start and --minimized do once the window is up: Start, with its refusal, and
    // minimising (without a notification area here, in the task bar).
    void startAsAsked_data()
    {
        QTest::addColumn<bool>("startFlashing");
        QTest::addColumn<bool>("minimized");
        QTest::addColumn<bool>("ticks");
        QTest::newRow("--start") << true << false << true;
        QTest::newRow("--start, nothing ticked") << true << false << false;
        QTest::newRow("--minimized") << false << true << true;
        QTest::newRow("--start --minimized") << true << true << true;
    }
    void startAsAsked()
    {
        QFETCH(bool, startFlashing);
        QFETCH(bool, minimized);
        QFETCH(bool, ticks);
        Window w(kList, ticks ? listTicks() : QByteArray(10000, '\0'));
        w.show();
        w.dialog->StartAsAsked({.startFlashing = startFlashing, .minimized = minimized});
        QCOMPARE(w.dialog->isFlashing(), startFlashing && ticks);
        QCOMPARE(w.overlays.size(), startFlashing && ticks ? 1 : 0);
        if (startFlashing && ticks)
            QCOMPARE(w.overlays.first().texts, (QByteArrayList{"I am calm", "I eat well", "I finish", "I smile"}));
        QCOMPARE(m_messages->requests().size(), startFlashing && !ticks ? 1 : 0);
        if (startFlashing && !ticks)
            QCOMPARE(m_messages->requests().first().text, QStringLiteral("Select at least one affirmation"));
        QTRY_COMPARE(w.dialog->isMinimized(), minimized);
        QVERIFY(w.dialog->isVisible());
    }

    void lookAndAccessibility()
    {
        Window w;
        w.show();
        QCOMPARE(w.dialog->palette().color(QPalette::Window), DialogLook::background());
        QCOMPARE(w.dialog->findChild<QGroupBox *>("welcomeFrame")->title(), QStringLiteral("Welcome to Glintmark!  "));
        QCOMPARE(w.dialog->findChild<QGroupBox *>("selectFrame")->title(), QStringLiteral("Select training afirmations"));
        QCOMPARE(w.dialog->findChild<QGroupBox *>("locationFrame")->title(), QStringLiteral("Message location"));
        QCOMPARE(w.dialog->findChild<QGroupBox *>("frequencyFrame")->title(), QStringLiteral("Frequency"));
        for (QGroupBox *frame : w.dialog->findChildren<QGroupBox *>()) {
            QCOMPARE(frame->font().family(), QStringLiteral("Arial"));
            QVERIFY(frame->font().bold());
            QCOMPARE(frame->font().pixelSize(), 14);
        }
        const QFont start = w.start()->font();
        QCOMPARE(start.family(), QStringLiteral("Arial"));
        QCOMPARE(start.pixelSize(), 16);
        QVERIFY(start.bold());
        QVERIFY(w.start()->isDefault());
        const QList<std::pair<const char *, QSize>> pictures{
            {"edit", {144, 26}}, {"help", {72, 26}}, {"exit", {72, 26}}, {"font", {66, 78}}};
        for (const auto &[name, size] : pictures) {
            QCOMPARE(w.button(name)->size(), size);
            QVERIFY(!w.button(name)->face(false, 1.0).isNull());
            QVERIFY(!w.button(name)->face(true, 1.0).isNull());
        }
        QCOMPARE(w.button("edit")->accessibleName(), QStringLiteral("Add message"));
        QCOMPARE(w.button("font")->accessibleName(), QStringLiteral("Font"));
        for (QWidget *control : w.dialog->findChildren<QWidget *>()) {
            if (control->focusPolicy() != Qt::NoFocus && control->isVisibleTo(w.dialog.get())
                && !qobject_cast<QWidget *>(control->parent())->inherits("QAbstractScrollArea"))
                QVERIFY2(!control->accessibleName().isEmpty(), control->metaObject()->className());
        }
        QVERIFY(!w.dialog->windowIcon().isNull());
        QVERIFY(w.dialog->windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(w.dialog->windowFlags() & Qt::WindowMaximizeButtonHint));
    }

private:
    QTemporaryDir m_settingsDir;
    std::optional<QTemporaryDir> m_configHome;
    std::optional<MessageBoxRecorder> m_messages;
    QList<QUrl> m_openedUrls;
    QMessageBox::StandardButton m_answer = QMessageBox::Ok;
};

QTEST_MAIN(FlashDlgTest)
#include "tst_flashdlg.moc"
