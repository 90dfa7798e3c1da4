// Glintmark on a real X server: minimising to the notification area of a tray host (trayer) and
// back, a desktop without a notification area, and a real flash from the shipped files.

#include "CMyTreeCtrl.h"
#include "FlashDlg.h"
#include "FlashNotice.h"
#include "MessageBox.h"
#include "TestFiles.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The widgets that stand for shown tray icons on X11.
QList<QWidget *> trayIconWindows()
{
    QList<QWidget *> icons;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("QSystemTrayIconSys") && widget->isVisible())
            icons << widget;
    }
    return icons;
}

QImage grabScreen(const QRect &rect)
{
    return QGuiApplication::primaryScreen()->grabWindow(0, rect.x(), rect.y(), rect.width(), rect.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

int differingPixels(const QImage &a, const QImage &b)
{
    int count = 0;
    for (int y = 0; y < std::min(a.height(), b.height()); ++y) {
        for (int x = 0; x < std::min(a.width(), b.width()); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            count += std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                               std::abs(qBlue(p) - qBlue(q))}) > 8;
        }
    }
    return count;
}

} // namespace

class DesktopTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_settingsDir;
    QProcess m_trayHost;

    static std::unique_ptr<CFlashDlg> window(const QTemporaryDir &dir)
    {
        auto dialog = std::make_unique<CFlashDlg>(QStringList{dir.path(), dir.filePath("user"), dir.filePath("share")});
        dialog->show();
        if (!QTest::qWaitForWindowExposed(dialog.get()))
            qFatal("main window not shown");
        return dialog;
    }

    bool startTrayHost()
    {
        if (m_trayHost.state() == QProcess::NotRunning) {
            m_trayHost.start(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("top"),
                                                        QStringLiteral("--align"), QStringLiteral("right")});
            if (!m_trayHost.waitForStarted())
                return false;
        }
        return true;
    }

    void stopTrayHost()
    {
        if (m_trayHost.state() != QProcess::NotRunning) {
            m_trayHost.terminate();
            m_trayHost.waitForFinished();
        }
    }

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server (platform xcb)");
        QVERIFY(m_settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
        QApplication::setApplicationName(QStringLiteral("Glintmark"));
        MessageBox::setHandler([](const MessageBox::Request &) { return QMessageBox::Ok; });
    }

    void cleanupTestCase()
    {
        stopTrayHost();
        MessageBox::setHandler({});
    }

    // No notification area: minimising leaves the window minimised where it is, never hidden.
    void minimiseWithoutTrayHost()
    {
        stopTrayHost();
        QTRY_VERIFY_WITH_TIMEOUT(!QSystemTrayIcon::isSystemTrayAvailable(), 10000);
        QTemporaryDir dir;
        QVERIFY(copyShippedFiles(dir.path()));
        auto dialog = window(dir);
        dialog->showMinimized();
        // What the minimise sets going has run.
        QCoreApplication::processEvents();
        QVERIFY(dialog->isMinimized());
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->tray().IsShown());
        QVERIFY(trayIconWindows().isEmpty());
    }

    // Minimised, the window leaves for the notification area while flashing goes on; a press of
    // either button on the icon brings it back to its place and removes the icon. Twice, and
    // never with two icons.
    void minimiseToTheTrayAndBack_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::newRow("left press") << Qt::LeftButton;
        QTest::newRow("right press") << Qt::RightButton;
    }
    void minimiseToTheTrayAndBack()
    {
        QFETCH(Qt::MouseButton, button);
        QVERIFY2(startTrayHost(), "trayer did not start");
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
        QTemporaryDir dir;
        QVERIFY(copyShippedFiles(dir.path()));
        auto dialog = window(dir);
        dialog->findChild<QComboBox *>(QStringLiteral("displayEvery"))->setCurrentIndex(0);
        dialog->findChild<QComboBox *>(QStringLiteral("displayFor"))->setCurrentIndex(2);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("start")), Qt::LeftButton);
        QPointer<CDrawDlg> overlay = dialog->overlay();
        QVERIFY(overlay);
        const QPoint place = dialog->pos();
        auto *trayIcon = dialog->findChild<QSystemTrayIcon *>(QStringLiteral("trayIcon"));
        QVERIFY(!trayIcon || !trayIcon->isVisible());

        for (int round = 0; round < 2; ++round) {
            dialog->showMinimized();
            QTRY_VERIFY(!dialog->isVisible());
            QVERIFY(dialog->tray().IsShown());
            trayIcon = dialog->findChild<QSystemTrayIcon *>(QStringLiteral("trayIcon"));
            QVERIFY(trayIcon && trayIcon->isVisible());
            QCOMPARE(trayIcon->toolTip(), QStringLiteral("Glintmark"));
            QTRY_COMPARE(trayIconWindows().size(), 1);

            // Flashing goes on meanwhile.
            QSignalSpy shown(overlay.data(), &CDrawDlg::flashShown);
            QVERIFY(shown.wait(3000));
            QVERIFY(dialog->isFlashing());

            QTest::mousePress(trayIconWindows().first(), button);
            QTRY_VERIFY(dialog->isVisible());
            QVERIFY(!dialog->isMinimized());
            QVERIFY(!dialog->tray().IsShown());
            QVERIFY(!trayIcon->isVisible());
            QTRY_VERIFY(trayIconWindows().isEmpty());
            QTRY_COMPARE(dialog->pos(), place);
            QVERIFY(overlay);
        }
        QVERIFY(dialog->isFlashing());
    }

    // The notification area goes away while the window waits there: the window comes back to the
    // task bar, minimised, instead of staying out of reach.
    void trayHostEndsWhileHidden()
    {
        QVERIFY2(startTrayHost(), "trayer did not start");
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
        QTemporaryDir dir;
        QVERIFY(copyShippedFiles(dir.path()));
        auto dialog = window(dir);
        dialog->showMinimized();
        QTRY_VERIFY(!dialog->isVisible());
        stopTrayHost();
        QTRY_VERIFY_WITH_TIMEOUT(dialog->isVisible(), 10000);
        QVERIFY(dialog->isMinimized());
        QVERIFY(!dialog->tray().IsShown());
    }

    // The shipped files as a new user gets them: Start flashes the ticked affirmations over the
    // screen, and leaving writes the files back unchanged.
    void realFlashFromTheShippedFiles()
    {
        QSettings().remove(kShortDisplayNoticeSetting);
        QTemporaryDir dir;
        QVERIFY(copyShippedFiles(dir.path()));
        auto dialog = window(dir);
        QSignalSpy finished(dialog.get(), &QDialog::finished);

        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("start")), Qt::LeftButton);
        QPointer<CDrawDlg> overlay = dialog->overlay();
        QVERIFY(overlay);
        QVERIFY(overlay->count() > 0);
        QCOMPARE(overlay->timing().tickPeriodMs, 3000);
        QVERIFY(overlay->timing().faint);
        QCOMPARE(dialog->flashTexts()[0], dialog->findChild<CMyTreeCtrl *>("tree")->topLevelItem(0)->child(0)->data(0, CMyTreeCtrl::kStoredTextRole).toByteArray());

        // What the screen shows before the first flash, with the window drawn as it now is, and
        // while the flash is up.
        dialog->repaint();
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QImage before = grabScreen(screen);
        QImage during;
        QRect box;
        connect(overlay.data(), &CDrawDlg::flashShown, this, [&](int slot) {
            if (slot == 0 && during.isNull()) {
                box = overlay->geometry();
                during = grabScreen(screen);
            }
        });
        QTRY_VERIFY_WITH_TIMEOUT(!during.isNull(), 10000);
        QVERIFY(screen.contains(box));
        // In the middle of the screen.
        QVERIFY(std::abs(box.center().y() - screen.center().y()) < box.height());
        QVERIFY2(differingPixels(before.copy(box), during.copy(box)) > 20, "no text on screen");
        QTRY_VERIFY_WITH_TIMEOUT(!overlay->isVisible(), 1000);

        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("exit")), Qt::LeftButton);
        QCOMPARE(finished.size(), 1);
        QVERIFY(overlay.isNull());
        const QDir shipped(QStringLiteral(GLINTMARK_RES_DIR));
        for (const char *name : {"List.txt", "check.txt", "font.dat"})
            QCOMPARE(readWholeFile(dir.filePath(QLatin1String(name))), readWholeFile(shipped.filePath(QLatin1String(name))));
    }
};

QTEST_MAIN(DesktopTest)
#include "tst_desktop.moc"
