#include "CDrawDlg.h"
#include "DisplayText.h"
#include "FlashNotice.h"
#include "FlashTextExtent.h"
#include "MessageBoxRecorder.h"
#include "ModalAnswer.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <cmath>
#include <memory>
#include <optional>

Q_DECLARE_METATYPE(FlashLocation)

namespace {

// Long enough that the overlay's own timer never ticks while a test drives the ticks.
constexpr int kManualInterval = 8000;

std::unique_ptr<FlashTexts> flashList(const QByteArrayList &texts)
{
    auto list = std::make_unique<FlashTexts>();
    for (qsizetype i = 0; i < texts.size(); ++i)
        (*list)[i] = texts[i];
    return list;
}

QFont flashFont()
{
    QFont font(QStringLiteral("Arial"), 16);
    font.setBold(true);
    return font;
}

// Where a text's box belongs, worked out from the font and the style as the rules define it.
QRect expectedBox(const QString &line, const QFont &font, FlashLocation location)
{
    QFont unkerned = font;
    unkerned.setKerning(false);
    const QFontMetrics metrics(unkerned);
    const int extentWidth = static_cast<int>(std::ceil(QFontMetricsF(unkerned).horizontalAdvance(line)));
    const FlashBox box = MeasureFlashText(
        extentWidth, metrics.height(),
        {metrics.averageCharWidth(), metrics.descent(), qApp->style()->pixelMetric(QStyle::PM_ScrollBarExtent),
         qApp->style()->pixelMetric(QStyle::PM_DefaultFrameWidth)});
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const FlashPlace place = PlaceFlashText(location, screen.width(), screen.height(), box);
    return QRect(screen.x() + place.left, screen.y() + place.top, box.width, box.height);
}

} // namespace

class FlashOverlayTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_settingsDir;
    std::optional<MessageBoxRecorder> m_notices;
    bool m_tickDontShowAgain = false;

    // One tick, and the slot it shows (-1 when it shows nothing).
    static int tick(CDrawDlg &overlay)
    {
        QSignalSpy shown(&overlay, &CDrawDlg::flashShown);
        overlay.OnTimer();
        if (!overlay.isVisible())
            return -1;
        if (!shown.wait(5000))
            return -2;
        return shown.first().first().toInt();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
        QCoreApplication::setOrganizationName(QStringLiteral("GlintmarkTest"));
        QCoreApplication::setApplicationName(QStringLiteral("FlashOverlayTest"));
    }

    void init()
    {
        QSettings().clear();
        m_tickDontShowAgain = false;
        m_notices.emplace([this](const MessageBox::Request &request) {
            if (request.checked)
                *request.checked = m_tickDontShowAgain;
            return QMessageBox::Ok;
        });
    }

    void cleanup() { m_notices.reset(); }

    void flashesTheListInOrder_data()
    {
        QTest::addColumn<QByteArrayList>("texts");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("shown");
        QTest::newRow("A, B, C wrap around") << QByteArrayList{"A", "B", "C"} << 3 << QList<int>{0, 1, 2, 0, 1, 2, 0};
        QTest::newRow("a single text at every tick") << QByteArrayList{"Only"} << 1 << QList<int>{0, 0, 0};
        QTest::newRow("an empty slot ends the list") << QByteArrayList{"A", "", "C"} << 1 << QList<int>{0, 0, 0};
        QTest::newRow("empty list shows nothing") << QByteArrayList{} << 0 << QList<int>{-1, -1, -1};
        QTest::newRow("empty first slot shows nothing") << QByteArrayList{"", "B"} << 0 << QList<int>{-1, -1};
    }
    void flashesTheListInOrder()
    {
        QFETCH(QByteArrayList, texts);
        QFETCH(int, count);
        QFETCH(QList<int>, shown);
        auto list = flashList(texts);
        CDrawDlg overlay(*list, FlashLocation::Center, kManualInterval, 50, flashFont(), Qt::black);
        // The overlay keeps its own copy.
        list->fill(QByteArray("changed"));
        QVERIFY(overlay.Create());
        QCOMPARE(overlay.count(), count);

        QList<int> seen;
        for (qsizetype i = 0; i < shown.size(); ++i)
            seen.append(tick(overlay));
        QCOMPARE(seen, shown);
    }

    void everySlotFilled()
    {
        // All 10,000 slots hold a text: no empty slot ends the list.
        auto list = std::make_unique<FlashTexts>();
        list->fill(QByteArray("x"));
        (*list)[kFlashSlots - 1] = "last";
        CDrawDlg overlay(*list, FlashLocation::Top, kManualInterval, 50, flashFont(), Qt::black);
        QVERIFY(overlay.Create());
        QCOMPARE(overlay.count(), kFlashSlots);
        for (int i = 0; i < kFlashSlots - 1; ++i)
            overlay.OnTimer();
        QCOMPARE(tick(overlay), kFlashSlots - 1);
        QCOMPARE(overlay.geometry().width(), expectedBox(QStringLiteral("last"), flashFont(), FlashLocation::Top).width());
        QCOMPARE(tick(overlay), 0);
    }

    void placesEachTextInItsBox_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<FlashLocation>("location");
        QTest::addColumn<QString>("line");
        const QByteArray calm = "I am calm and confident";
        QTest::newRow("Top") << calm << FlashLocation::Top << QString::fromLatin1(calm);
        QTest::newRow("Center") << calm << FlashLocation::Center << QString::fromLatin1(calm);
        QTest::newRow("CenterLeft") << calm << FlashLocation::CenterLeft << QString::fromLatin1(calm);
        QTest::newRow("Bottom") << calm << FlashLocation::Bottom << QString::fromLatin1(calm);
        QTest::newRow("no location is Center") << calm << FlashLocation{0} << QString::fromLatin1(calm);
        QTest::newRow("line breaks measured as one line")
            << QByteArray("First line\r\nsecond\tline") << FlashLocation::Center << QStringLiteral("First line  second line");
        QTest::newRow("Windows-1252 bytes") << QByteArray("\x93" "Caf\xe9\x94") << FlashLocation::Top << QStringLiteral(u"“Café”");
        QTest::newRow("UTF-8 and combining mark") << QByteArray("Cafe\xcc\x81 \xe5\xb9\xb3\xe5\x92\x8c")
                                                  << FlashLocation::Bottom << QStringLiteral(u"Cafe\u0301 平和");
    }
    void placesEachTextInItsBox()
    {
        QFETCH(QByteArray, text);
        QFETCH(FlashLocation, location);
        QFETCH(QString, line);
        auto list = flashList({text});
        CDrawDlg overlay(*list, location, kManualInterval, 50, flashFont(), Qt::black);
        QVERIFY(overlay.Create());
        QCOMPARE(tick(overlay), 0);
        QCOMPARE(overlay.geometry(), expectedBox(line, flashFont(), location));
    }

    void boxPastTheScreenEdgeIsCut()
    {
        // Wider than the screen: the box's left edge is off screen, only its visible part is
        // made a window, the text still starting at the box's own left edge.
        const QByteArray longText = QByteArray("Every day in every way I am getting better and better. ").repeated(6);
        auto list = flashList({longText});
        CDrawDlg overlay(*list, FlashLocation::Center, kManualInterval, 50, flashFont(), Qt::black);
        QVERIFY(overlay.Create());
        QCOMPARE(tick(overlay), 0);
        const QRect box = expectedBox(QString::fromLatin1(longText), flashFont(), FlashLocation::Center);
        const QRect screen = QGuiApplication::primaryScreen()->virtualGeometry();
        QVERIFY(box.left() < screen.left());
        QCOMPARE(overlay.geometry(), box & screen);
    }

    void nothingShowsBeforeTheFirstTick_data()
    {
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("tickPeriod");
        QTest::newRow("minimum interval ticks every 300 ms") << 500 << 300;
        QTest::newRow("1 s") << 1000 << 1000;
    }
    void nothingShowsBeforeTheFirstTick()
    {
        QFETCH(int, interval);
        QFETCH(int, tickPeriod);
        auto list = flashList({"A", "B", "C"});
        CDrawDlg overlay(*list, FlashLocation::Center, interval, 50, flashFont(), Qt::black);
        QSignalSpy shown(&overlay, &CDrawDlg::flashShown);
        QElapsedTimer sinceCreate;
        sinceCreate.start();
        QVERIFY(overlay.Create());
        // The owner shows the overlay once it is made; nothing comes up before the first tick.
        overlay.show();
        QVERIFY(!overlay.isVisible());

        QList<qint64> times;
        while (shown.size() < 3) {
            QVERIFY(shown.wait(tickPeriod + 2000));
            times.append(sinceCreate.elapsed());
        }
        QCOMPARE(shown.at(0).first().toInt(), 0);
        QCOMPARE(shown.at(1).first().toInt(), 1);
        QCOMPARE(shown.at(2).first().toInt(), 2);
        // Timers never fire early; late ticks get generous room.
        QVERIFY2(times[0] >= tickPeriod - 1, qPrintable(QString::number(times[0])));
        for (int i = 1; i < times.size(); ++i) {
            const qint64 period = times[i] - times[i - 1];
            QVERIFY2(period > tickPeriod / 2 && period < tickPeriod * 3 / 2, qPrintable(QString::number(period)));
        }
    }

    void holdAndOpacityPerDisplayTime_data()
    {
        QTest::addColumn<int>("display");
        QTest::addColumn<int>("hold");
        QTest::addColumn<double>("opacity");
        QTest::addColumn<int>("notices");
        QTest::newRow("10 ms: 12 ms, faint, notice") << 10 << 12 << 20.0 / 255 << 1;
        QTest::newRow("30 ms: 21 ms") << 30 << 21 << 1.0 << 0;
        QTest::newRow("50 ms") << 50 << 50 << 1.0 << 0;
        QTest::newRow("80 ms") << 80 << 80 << 1.0 << 0;
    }
    void holdAndOpacityPerDisplayTime()
    {
        QFETCH(int, display);
        QFETCH(int, hold);
        QFETCH(double, opacity);
        QFETCH(int, notices);
        auto list = flashList({"Breathe"});
        CDrawDlg overlay(*list, FlashLocation::Center, kManualInterval, display, flashFont(), Qt::darkRed);
        QVERIFY(overlay.Create());
        QVERIFY(overlay.composited());
        QCOMPARE(m_notices->requests().size(), notices);
        QCOMPARE(overlay.timing().holdMs, hold);
        QVERIFY(std::abs(overlay.windowOpacity() - opacity) < 0.002);

        // Timed where the overlay says the hold starts and ends, so that a late wake-up of the
        // test itself cannot shorten the hold it measures.
        QElapsedTimer clock;
        clock.start();
        qint64 shownAtNs = -1;
        qint64 hiddenAtNs = -1;
        connect(&overlay, &CDrawDlg::flashShown, &overlay, [&] { shownAtNs = clock.nsecsElapsed(); });
        connect(&overlay, &CDrawDlg::flashHidden, &overlay, [&] { hiddenAtNs = clock.nsecsElapsed(); });
        QCOMPARE(tick(overlay), 0);
        QVERIFY(overlay.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(hiddenAtNs >= 0, 5000);
        const double heldMs = double(hiddenAtNs - shownAtNs) / 1e6;
        QVERIFY2(heldMs >= hold - 1, qPrintable(QString::number(heldMs)));
        QVERIFY(!overlay.isVisible());
    }

    void inputOnTheProgramsWindowsEndsTheFlash_data()
    {
        QTest::addColumn<QString>("input");
        QTest::newRow("key press") << QStringLiteral("key");
        QTest::newRow("mouse move") << QStringLiteral("move");
        QTest::newRow("mouse button") << QStringLiteral("button");
    }
    void inputOnTheProgramsWindowsEndsTheFlash()
    {
        QFETCH(QString, input);
        QWidget owner;
        auto *edit = new QLineEdit(&owner);
        edit->setAccessibleName(QStringLiteral("Text"));
        auto *button = new QPushButton(QStringLiteral("Stop"), &owner);
        auto *layout = new QVBoxLayout(&owner);
        layout->addWidget(edit);
        layout->addWidget(button);
        owner.setGeometry(20, 20, 300, 200);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        QSignalSpy clicked(button, &QPushButton::clicked);

        auto list = flashList({"One", "Two"});
        CDrawDlg overlay(*list, FlashLocation::Center, kManualInterval, 80, flashFont(), Qt::black);
        QVERIFY(overlay.Create());
        QSignalSpy hidden(&overlay, &CDrawDlg::flashHidden);
        QCOMPARE(tick(overlay), 0);
        QVERIFY(overlay.isVisible());

        if (input == QLatin1String("key")) {
            QTest::keyClick(edit, Qt::Key_K);
        } else if (input == QLatin1String("move")) {
            QTest::mouseMove(button, QPoint(5, 5));
        } else {
            QTest::mouseClick(button, Qt::LeftButton);
        }
        // At once, not at the end of the hold.
        QVERIFY(!overlay.isVisible());
        QCOMPARE(hidden.size(), 1);
        QCOMPARE(hidden.first().first().toInt(), 0);
        // The input still reaches its window.
        if (input == QLatin1String("key"))
            QCOMPARE(edit->text(), QStringLiteral("k"));
        if (input == QLatin1String("button"))
            QCOMPARE(clicked.size(), 1);

        // The next tick brings the next text as usual, held for its full time.
        QCOMPARE(tick(overlay), 1);
        QTRY_COMPARE_WITH_TIMEOUT(hidden.size(), 2, 5000);
    }

    void inputBetweenFlashesChangesNothing()
    {
        QWidget owner;
        owner.setGeometry(20, 20, 200, 100);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        auto list = flashList({"One"});
        auto overlay = std::make_unique<CDrawDlg>(*list, FlashLocation::Center, kManualInterval, 50, flashFont(), Qt::black);
        QVERIFY(overlay->Create());
        QSignalSpy hidden(overlay.get(), &CDrawDlg::flashHidden);
        QTest::keyClick(&owner, Qt::Key_A);
        QCOMPARE(hidden.size(), 0);
        QCOMPARE(tick(*overlay), 0);
        // Stopped in the middle of a flash: the overlay goes, and with it its input watch.
        overlay.reset();
        QTest::keyClick(&owner, Qt::Key_B);
        QTest::mouseMove(&owner, QPoint(10, 10));
    }

    void declaresItselfClickThroughAndNeverActivated()
    {
        // What the window system is told; the X11 test checks what it then does (the offscreen
        // platform activates every window it shows).
        auto list = flashList({"One"});
        CDrawDlg overlay(*list, FlashLocation::Center, kManualInterval, 80, flashFont(), Qt::black);
        QVERIFY(overlay.Create());
        const Qt::WindowFlags flags = overlay.windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
        QVERIFY(flags.testFlag(Qt::WindowTransparentForInput));
        QVERIFY(flags.testFlag(Qt::X11BypassWindowManagerHint));
        QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
        QCOMPARE(overlay.windowType(), Qt::Tool);
        QVERIFY(overlay.testAttribute(Qt::WA_ShowWithoutActivating));
        QCOMPARE(overlay.focusPolicy(), Qt::NoFocus);
        QVERIFY(!overlay.accessibleName().isEmpty());
    }

    void keepsFlashingWhileTheOwnerIsHidden()
    {
        // The main window hides itself in the notification area while flashing goes on.
        QWidget owner;
        owner.setGeometry(20, 20, 200, 100);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        auto list = flashList({"One", "Two"});
        CDrawDlg overlay(*list, FlashLocation::Center, kManualInterval, 50, flashFont(), Qt::black, &owner);
        QVERIFY(overlay.Create());
        owner.hide();
        QCOMPARE(tick(overlay), 0);
        QCOMPARE(tick(overlay), 1);
    }

    void noticeUntilTheUserTurnsItOff()
    {
        auto list = flashList({"One"});
        {
            CDrawDlg overlay(*list, FlashLocation::Center, kManualInterval, 10, flashFont(), Qt::black);
            QVERIFY(overlay.Create());
        }
        QCOMPARE(m_notices->requests().size(), 1);
        const MessageBox::Request &notice = m_notices->requests().first();
        QCOMPARE(notice.title, QStringLiteral("10 ms option selected"));
        QCOMPARE(notice.text, QStringLiteral("Please note, that minimum interval (10 ms) is selected. Messages should be "
                                             "almost invisible. If you will still see them clearly this means that your "
                                             "system has not enough performance."));
        QCOMPARE(notice.checkBoxText, QStringLiteral("Don't show this message again"));
        QCOMPARE(notice.icon, QMessageBox::NoIcon);
        QCOMPARE(notice.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(notice.parent == nullptr);

        // Not ticked: it comes again at the next start; ticked: never after.
        m_tickDontShowAgain = true;
        {
            CDrawDlg overlay(*list, FlashLocation::Center, kManualInterval, 10, flashFont(), Qt::black);
            QVERIFY(overlay.Create());
        }
        QCOMPARE(m_notices->requests().size(), 2);
        QCOMPARE(QSettings().value(kShortDisplayNoticeSetting).toBool(), true);
        {
            CDrawDlg overlay(*list, FlashLocation::Center, kManualInterval, 10, flashFont(), Qt::black);
            QVERIFY(overlay.Create());
            QCOMPARE(tick(overlay), 0);
        }
        QCOMPARE(m_notices->requests().size(), 2);
    }

    void noticeInTheRealMessageBox()
    {
        m_notices.reset();
        auto list = flashList({"One"});
        bool answered = false;
        bool flashedBeforeAnswer = false;
        QString title;
        QString checkBoxText;
        bool checkedAtFirst = true;
        CDrawDlg overlay(*list, FlashLocation::Center, 500, 10, flashFont(), Qt::black);
        connect(&overlay, &CDrawDlg::flashShown, this, [&] { flashedBeforeAnswer = flashedBeforeAnswer || !answered; });
        answerNextModal<QMessageBox>(&overlay, [&](QMessageBox *box) {
            title = box->windowTitle();
            if (QCheckBox *dontShowAgain = box->checkBox()) {
                checkBoxText = dontShowAgain->text();
                checkedAtFirst = dontShowAgain->isChecked();
                dontShowAgain->setChecked(true);
            }
            answered = true;
            if (QAbstractButton *ok = box->button(QMessageBox::Ok))
                ok->click();
        });
        QVERIFY(overlay.Create());
        QVERIFY(answered);
        QCOMPARE(title, QStringLiteral("10 ms option selected"));
        QCOMPARE(checkBoxText, QStringLiteral("Don't show this message again"));
        QVERIFY(!checkedAtFirst);
        QVERIFY(!flashedBeforeAnswer);
        QVERIFY(QSettings().value(kShortDisplayNoticeSetting).toBool());

        // Turned off: the next start flashes at once, without any box.
        m_notices.emplace();
        CDrawDlg again(*list, FlashLocation::Center, kManualInterval, 10, flashFont(), Qt::black);
        QVERIFY(again.Create());
        QCOMPARE(m_notices->requests().size(), 0);
    }

    void extentAgreesWithLaidOutText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii") << QStringLiteral("I am calm, focused and at ease. 1234567890!");
        QTest::newRow("latin-1") << QStringLiteral(u"Ça va très bien, Grüße aus Köln ½ ©");
        QTest::newRow("punctuation") << QStringLiteral(u"“Quoted” – dashed — ellipsis… € ‰");
        QTest::newRow("greek and cyrillic") << QStringLiteral(u"Ηρεμία και Спокойствие");
        QTest::newRow("combining mark") << QStringLiteral(u"Cafe\u0301 na\u0308ive");
        QTest::newRow("arabic") << QStringLiteral(u"أنا هادئ");
        QTest::newRow("chinese") << QStringLiteral(u"我很平静。");
        QTest::newRow("japanese") << QStringLiteral(u"わたしはカタカナ、平和です");
        QTest::newRow("korean") << QStringLiteral(u"나는 평온하다");
        QTest::newRow("fullwidth") << QStringLiteral(u"ＡＢＣ！");
        QTest::newRow("surrogate pair") << QStringLiteral(u"Smile 😊 now");
        QTest::newRow("soft hyphen") << QStringLiteral(u"self\u00ADcare");
        QTest::newRow("empty") << QString();
    }
    void extentAgreesWithLaidOutText()
    {
        QFETCH(QString, text);
        QFont font = flashFont();
        font.setKerning(false);
        FlashTextExtent extent(font);
        const int expected = static_cast<int>(std::ceil(QFontMetricsF(font).horizontalAdvance(text)));
        // Twice: the second time from the table of advances.
        QCOMPARE(extent.width(text), expected);
        QCOMPARE(extent.width(text), expected);
        QCOMPARE(extent.height(), QFontMetrics(font).height());
    }
};

QTEST_MAIN(FlashOverlayTest)
#include "tst_flashoverlay.moc"
