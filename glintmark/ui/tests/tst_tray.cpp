// Glintmark's notification-area icon on real desktops: each window manager in turn, with a real
// tray host, pressed with real X input. One build of this test runs with an XEmbed tray
// (trayer), the other with a StatusNotifierItem host (xfce4-panel): Qt picks the kind of icon
// once per process.

#include "CListEditDlg.h"
#include "DesktopPart.h"
#include "FlashDlg.h"
#include "MessageBox.h"
#include "ModalAnswer.h"
#include "TestFiles.h"
#include "X11Desktop.h"

#include <QApplication>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QPointer>
#include <QScopeGuard>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <optional>

#ifndef TRAY_HOST_STATUS_NOTIFIER
#error "build with TRAY_HOST_STATUS_NOTIFIER 0 (XEmbed tray) or 1 (StatusNotifierItem host)"
#endif

namespace {

constexpr bool kStatusNotifier = TRAY_HOST_STATUS_NOTIFIER;
constexpr int kDesktopTimeoutMs = 15000;

enum class Press { Left, Middle, Right, ShowDialogInMenu };

X11Desktop::Window xWindow(QWidget *widget)
{
    return X11Desktop::Window(widget->winId());
}

QWidget *embeddedIcon()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("QSystemTrayIconSys"))
            return widget;
    }
    return nullptr;
}

// The watcher of a StatusNotifierItem host lists the items it shows; ours is the one whose bus
// connection belongs to this process.
bool statusNotifierItemListed()
{
    QDBusMessage get = QDBusMessage::createMethodCall(QStringLiteral("org.kde.StatusNotifierWatcher"),
                                                      QStringLiteral("/StatusNotifierWatcher"),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << QStringLiteral("org.kde.StatusNotifierWatcher") << QStringLiteral("RegisteredStatusNotifierItems");
    const QDBusReply<QDBusVariant> reply = QDBusConnection::sessionBus().call(get);
    if (!reply.isValid())
        return false;
    for (const QString &item : reply.value().variant().toStringList()) {
        const QDBusReply<uint> pid = QDBusConnection::sessionBus().interface()->servicePid(item.section('/', 0, 0));
        if (pid.isValid() && qint64(pid.value()) == QCoreApplication::applicationPid())
            return true;
    }
    return false;
}

// Where the panel draws its notification area: empty, it is a sliver; with one item in it, wide
// enough for the icon, which is in its middle.
QPoint panelIconCentre()
{
    constexpr int kIconSize = 22;
    for (const X11Desktop::Window window : X11Desktop::descendantsOf(X11Desktop::root())) {
        const QRect place = X11Desktop::geometryOnRoot(window);
        if (X11Desktop::stringProperty(window, "WM_CLASS").startsWith("wrapper-2.0") && place.width() >= kIconSize
            && place.top() < 40 && X11Desktop::isViewable(window))
            return place.center();
    }
    return {};
}

// The icon as the desktop shows it: embedded in the tray and on screen, or listed by the host.
bool iconOnScreen()
{
    // Listed by the host's watcher, the item is drawn a moment later.
    if (kStatusNotifier)
        return statusNotifierItemListed() && !panelIconCentre().isNull();
    QWidget *icon = embeddedIcon();
    if (!icon || !icon->windowHandle())
        return false;
    const X11Desktop::Window window = xWindow(icon);
    return X11Desktop::parentOf(window) != X11Desktop::root() && X11Desktop::isViewable(window);
}

QPoint iconCentre()
{
    if (kStatusNotifier)
        return panelIconCentre();
    QWidget *icon = embeddedIcon();
    return icon ? X11Desktop::geometryOnRoot(xWindow(icon)).center() : QPoint();
}

// A menu the panel pops up: a viewable top-level window of its own below the panel; nullopt
// when none is up, else its place on the screen.
std::optional<QRect> panelMenu()
{
    for (const X11Desktop::Window window : X11Desktop::childrenOf(X11Desktop::root())) {
        const QRect place = X11Desktop::geometryOnRoot(window);
        if (X11Desktop::stringProperty(window, "WM_CLASS").startsWith("wrapper-2.0") && X11Desktop::isViewable(window)
            && place.height() > 40)
            return place;
    }
    return std::nullopt;
}

std::optional<int> panelMenuHeight()
{
    const std::optional<QRect> menu = panelMenu();
    return menu ? std::optional<int>(menu->height()) : std::nullopt;
}

// Clicks an entry of the icon's menu. From the top it holds "Show Dialog", a separator, "Exit",
// a separator, and the two start choices; the panel draws the entries of one height and each
// separator at less than half of that, so the first entry lies in the top eighth of the menu and
// "Exit" around 40% of the way down. A click, unlike a key, reaches the menu even when a busy
// panel has mapped it but not yet taken the keyboard.
enum class ItemMenuEntry { ShowDialog, Exit };
void clickItemMenuEntry(ItemMenuEntry entry)
{
    const QRect menu = panelMenu().value_or(QRect());
    const double down = entry == ItemMenuEntry::ShowDialog ? 0.13 : 0.40;
    X11Desktop::click(QPoint(menu.center().x(), menu.top() + int(menu.height() * down)), 1);
}

bool panelMenuShown()
{
    return panelMenuHeight().has_value();
}

// The icon's menu holds four entries and two separators (110 pixels tall on the test display);
// the panel's own menu for its notification area has a title and four entries (136 pixels).
bool itemMenuShown()
{
    constexpr int kTallestItemMenu = 125;
    const std::optional<int> height = panelMenuHeight();
    return height && *height < kTallestItemMenu;
}

bool withdrawn(X11Desktop::Window window)
{
    const auto state = X11Desktop::wmState(window);
    return !state || *state == X11Desktop::WmState::Withdrawn;
}

QByteArray describe(QWidget *window)
{
    QByteArray text = "visible " + QByteArray::number(window->isVisible()) + ", state "
        + QByteArray::number(int(window->windowState())) + ", at " + QByteArray::number(window->x()) + ","
        + QByteArray::number(window->y());
    if (window->isVisible()) {
        const auto state = X11Desktop::wmState(xWindow(window));
        text += ", WM_STATE " + (state ? QByteArray::number(int(*state)) : QByteArray("none"));
    }
    return text;
}

bool inState(QWidget *window, X11Desktop::WmState wanted)
{
    const auto state = X11Desktop::wmState(xWindow(window));
    return state && *state == wanted;
}

} // namespace

Q_DECLARE_METATYPE(Press)

class TrayTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_settingsDir;
    PanelConfig m_panelConfig;
    DesktopPart m_windowManager;
    QString m_windowManagerName;
    DesktopPart m_panelSettings;
    DesktopPart m_trayHost;
    // The window the test presses the icon of.
    CFlashDlg *m_current = nullptr;

    bool startTrayHost()
    {
        if (m_trayHost.isRunning())
            return true;
        if (kStatusNotifier) {
            if (!m_panelSettings.isRunning() && !m_panelSettings.start(DesktopPart::panelSettings(m_panelConfig.path())))
                return false;
            return m_trayHost.start(DesktopPart::statusNotifierHost(m_panelConfig.path()));
        }
        return m_trayHost.start(DesktopPart::xembedTray());
    }

    std::unique_ptr<CFlashDlg> window(const QTemporaryDir &dir)
    {
        auto dialog = std::make_unique<CFlashDlg>(QStringList{dir.path(), dir.filePath("user"), dir.filePath("share")});
        dialog->show();
        if (!QTest::qWaitForWindowExposed(dialog.get()))
            qFatal("main window not shown");
        m_current = dialog.get();
        return dialog;
    }

    // Asks the window manager to minimise the window, as a task bar does, until `done`.
    static bool iconify(X11Desktop::Window window, const std::function<bool()> &done)
    {
        if (!QTest::qWaitFor([&] { return X11Desktop::hasAtom(window, "_NET_WM_ALLOWED_ACTIONS", "_NET_WM_ACTION_MINIMIZE"); },
                             kDesktopTimeoutMs))
            return false;
        // xfwm4 now and then drops a request that comes while it still sets a new window up; a
        // user would press the task-bar button again, and so does the test, once a second.
        QElapsedTimer sinceAsked;
        return QTest::qWaitFor([&] {
            if (!sinceAsked.isValid() || sinceAsked.elapsed() > 1000) {
                X11Desktop::askToIconify(window);
                sinceAsked.start();
            }
            return done();
        }, kDesktopTimeoutMs);
    }

    // True once the window is hidden and its icon on screen.
    static bool minimiseToTheTray(CFlashDlg *dialog)
    {
        const X11Desktop::Window shown = xWindow(dialog);
        return iconify(shown, [&] {
            return dialog->trayState() == CFlashDlg::TrayState::InTray && !dialog->isVisible() && withdrawn(shown)
                && iconOnScreen();
        });
    }

    // Successive presses land a few pixels apart, so that two of them in quick succession are not
    // taken for a double click.
    void pressIcon(Press how, int round = 0)
    {
        const QPoint at = iconCentre() + QPoint(round % 2 ? 6 : 0, 0);
        QVERIFY2(!at.isNull(), "the icon is nowhere on screen");
        switch (how) {
        case Press::Left:
            X11Desktop::click(at, 1);
            break;
        case Press::Middle:
            X11Desktop::click(at, 2);
            break;
        case Press::Right:
            X11Desktop::click(at, 3);
            break;
        case Press::ShowDialogInMenu:
            QVERIFY2(openItemMenu(), "the panel did not show the icon's menu");
            clickItemMenuEntry(ItemMenuEntry::ShowDialog);
            break;
        }
    }

    // Opens the icon's own menu in the panel with a right click. For a while after the item
    // appears, the panel still sets it up and shows a menu of its own instead: the test then
    // closes that and tries again, as a user would, until the panel shows the item's menu. Should
    // the panel have asked the item for a context menu meanwhile, which brings the window back,
    // the window is minimised again first. On a busy machine the setting-up can outlast a single
    // wait, so the tries may take three.
    bool openItemMenu()
    {
        QElapsedTimer trying;
        trying.start();
        int tries = 0;
        while (trying.elapsed() < 3 * kDesktopTimeoutMs) {
            ++tries;
            if (m_current->trayState() != CFlashDlg::TrayState::InTray && !minimiseToTheTray(m_current)) {
                qWarning("try %d: the window did not go back to the notification area", tries);
                return false;
            }
            X11Desktop::click(iconCentre(), 3);
            if (!QTest::qWaitFor(panelMenuShown, kDesktopTimeoutMs)) {
                qWarning("try %d: the panel showed no menu", tries);
                return false;
            }
            if (itemMenuShown())
                return true;
            X11Desktop::pressKey("Escape");
            if (!QTest::qWaitFor([] { return !panelMenuShown(); }, kDesktopTimeoutMs)) {
                qWarning("try %d: the panel's own menu did not close", tries);
                return false;
            }
        }
        qWarning("%d tries: the panel showed only its own menu", tries);
        return false;
    }

    static void addWindowManagerRows()
    {
        QTest::addColumn<QString>("windowManager");
        for (const QString &name : DesktopPart::windowManagers())
            QTest::newRow(qPrintable(name)) << name;
    }

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb") || !X11Desktop::isAvailable())
            QSKIP("needs an X server (platform xcb)");
        if (kStatusNotifier && !QDBusConnection::sessionBus().isConnected())
            QSKIP("needs a session bus for the StatusNotifierItem host");
        QVERIFY(m_settingsDir.isValid());
        QVERIFY(m_panelConfig.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
        QApplication::setApplicationName(QStringLiteral("Glintmark"));
        MessageBox::setHandler([](const MessageBox::Request &) { return QMessageBox::Ok; });
        // The host first: Qt decides on the kind of icon the first time it is asked.
        QVERIFY2(startTrayHost(), qPrintable(m_trayHost.errorString() + m_panelSettings.errorString()));
        QVERIFY(CTrayIcon::IsAvailable());
    }

    void init()
    {
        // Rows are named after their window manager, then what they do.
        const QString wanted = QString::fromLatin1(QTest::currentDataTag()).section(QLatin1Char(':'), 0, 0);
        if (DesktopPart::windowManagers().contains(wanted) && wanted != m_windowManagerName) {
            m_windowManager.stop();
            QVERIFY2(m_windowManager.start(DesktopPart::windowManager(wanted)), qPrintable(m_windowManager.errorString()));
            m_windowManagerName = wanted;
        }
        QVERIFY2(startTrayHost(), qPrintable(m_trayHost.errorString()));
        QTRY_VERIFY_WITH_TIMEOUT(CTrayIcon::IsAvailable(), kDesktopTimeoutMs);
    }

    void cleanupTestCase()
    {
        m_trayHost.stop();
        m_panelSettings.stop();
        m_windowManager.stop();
        MessageBox::setHandler({});
    }

    // Minimised, the window leaves for the notification area while flashing goes on; a press on
    // the icon brings it back to its place and removes the icon. Twice, never with two icons.
    void pressOnTheIconRestores_data()
    {
        QTest::addColumn<QString>("windowManager");
        QTest::addColumn<Press>("press");
        const QList<std::pair<const char *, Press>> presses = kStatusNotifier
            ? QList<std::pair<const char *, Press>>{{"activate (left)", Press::Left},
                                                    {"secondary activate (middle)", Press::Middle},
                                                    {"menu: Show Dialog", Press::ShowDialogInMenu}}
            : QList<std::pair<const char *, Press>>{{"left", Press::Left}, {"right", Press::Right}};
        for (const QString &name : DesktopPart::windowManagers()) {
            for (const auto &[label, press] : presses)
                QTest::addRow("%s: %s", qPrintable(name), label) << name << press;
        }
    }
    void pressOnTheIconRestores()
    {
        QFETCH(Press, press);
        QTemporaryDir dir;
        QVERIFY(copyShippedFiles(dir.path()));
        auto dialog = window(dir);
        dialog->findChild<QComboBox *>(QStringLiteral("displayEvery"))->setCurrentIndex(0);
        dialog->OnStart();
        QPointer<CDrawDlg> overlay = dialog->overlay();
        QVERIFY(overlay);
        // Where the window manager has put the window, seen from the X server.
        QTRY_VERIFY_WITH_TIMEOUT(inState(dialog.get(), X11Desktop::WmState::Normal), kDesktopTimeoutMs);
        const QPoint place = X11Desktop::geometryOnRoot(xWindow(dialog.get())).topLeft();

        for (int round = 0; round < 2; ++round) {
            QVERIFY2(minimiseToTheTray(dialog.get()), describe(dialog.get()));
            QVERIFY(dialog->tray().IsShown());
            QCOMPARE(dialog->tray().tooltipText(), QStringLiteral("Glintmark"));

            // Flashing goes on meanwhile.
            QSignalSpy shown(overlay.data(), &CDrawDlg::flashShown);
            QVERIFY(shown.wait(5000));

            pressIcon(press, round);
            QTRY_VERIFY2_WITH_TIMEOUT(dialog->isVisible() && inState(dialog.get(), X11Desktop::WmState::Normal),
                                      describe(dialog.get()), kDesktopTimeoutMs);
            QCOMPARE(dialog->trayState(), CFlashDlg::TrayState::Normal);
            QVERIFY(!dialog->isMinimized());
            QVERIFY(!dialog->tray().IsShown());
            QTRY_VERIFY_WITH_TIMEOUT(!iconOnScreen(), kDesktopTimeoutMs);
            QTRY_COMPARE_WITH_TIMEOUT(X11Desktop::geometryOnRoot(xWindow(dialog.get())).topLeft(), place,
                                      kDesktopTimeoutMs);
            QVERIFY(overlay);
            QVERIFY(dialog->isFlashing());
        }
    }

    // The middle button on an embedded icon is none of the presses that restore the window.
    void middlePressOnAnEmbeddedIconIsIgnored_data() { addWindowManagerRows(); }
    void middlePressOnAnEmbeddedIconIsIgnored()
    {
        if (kStatusNotifier)
            QSKIP("a StatusNotifierItem's secondary activation restores the window");
        QTemporaryDir dir;
        QVERIFY(copyShippedFiles(dir.path()));
        auto dialog = window(dir);
        QVERIFY2(minimiseToTheTray(dialog.get()), "the window did not go to the notification area");
        auto *trayIcon = dialog->findChild<QSystemTrayIcon *>(QStringLiteral("trayIcon"));
        QVERIFY(trayIcon);
        QSignalSpy activations(trayIcon, &QSystemTrayIcon::activated);
        pressIcon(Press::Middle);
        QVERIFY(activations.wait(kDesktopTimeoutMs));
        QCOMPARE(activations.first().first().value<QSystemTrayIcon::ActivationReason>(), QSystemTrayIcon::MiddleClick);
        // The press's handling, which is queued behind it, is done.
        QCoreApplication::processEvents();
        QCOMPARE(dialog->trayState(), CFlashDlg::TrayState::InTray);
        QVERIFY(!dialog->isVisible());
        pressIcon(Press::Left);
        QTRY_VERIFY_WITH_TIMEOUT(dialog->isVisible(), kDesktopTimeoutMs);
    }

    // "Exit" in the icon's menu leaves as EXIT does: the files are written and the window ends.
    void exitInTheMenuSavesAndEnds_data() { addWindowManagerRows(); }
    void exitInTheMenuSavesAndEnds()
    {
        if (!kStatusNotifier)
            QSKIP("an embedded icon has no menu: both its buttons restore the window");
        QTemporaryDir dir;
        QVERIFY(copyShippedFiles(dir.path()));
        QVERIFY(QFile::remove(dir.filePath("font.dat")));
        auto dialog = window(dir);
        QSignalSpy finished(dialog.get(), &QDialog::finished);
        QVERIFY2(openItemMenu(), "the panel did not show the icon's menu");
        clickItemMenuEntry(ItemMenuEntry::Exit);
        QVERIFY(finished.wait(kDesktopTimeoutMs));
        QVERIFY(dialog->hasEnded());
        QCOMPARE(QFileInfo(dir.filePath("font.dat")).size(), 44);
        QTRY_VERIFY_WITH_TIMEOUT(!iconOnScreen(), kDesktopTimeoutMs);
    }

    // With the editor open, minimising leaves the window in the task bar: the editor keeps its
    // window, and both come back from there.
    void minimiseWithTheEditorOpen_data() { addWindowManagerRows(); }
    void minimiseWithTheEditorOpen()
    {
        QTemporaryDir dir;
        QVERIFY(copyShippedFiles(dir.path()));
        auto dialog = window(dir);
        // What happens while the editor runs its own loop is recorded there and checked after.
        bool editorShown = false;
        bool stayedInTaskBar = false;
        bool iconAsked = true;
        bool cameBackWithEditor = false;
        answerNextModal<CListEditDlg>(dialog.get(), [&](CListEditDlg *editor) {
            editorShown = QTest::qWaitForWindowExposed(editor);
            if (editorShown) {
                stayedInTaskBar = iconify(xWindow(dialog.get()), [&] {
                    return inState(dialog.get(), X11Desktop::WmState::Iconic) && dialog->isMinimized();
                });
                iconAsked = dialog->tray().IsShown() || dialog->trayState() != CFlashDlg::TrayState::Normal;
                X11Desktop::askToActivate(xWindow(dialog.get()));
                cameBackWithEditor = QTest::qWaitFor(
                    [&] {
                        return inState(dialog.get(), X11Desktop::WmState::Normal) && editor->isVisible()
                            && X11Desktop::isViewable(xWindow(editor));
                    },
                    kDesktopTimeoutMs);
            }
        });
        dialog->OnEdit();
        QVERIFY2(editorShown, "the editor did not open");
        QVERIFY2(stayedInTaskBar, "the window did not stay minimised in the task bar");
        QVERIFY2(!iconAsked, "the window went for the notification area with the editor open");
        QVERIFY2(cameBackWithEditor, "the window did not come back with its editor");
        QVERIFY(dialog->isVisible());
    }

    // The host goes away while the window waits there: the window comes back to the task bar,
    // minimised, instead of staying out of reach.
    void trayHostEndsWhileHidden_data() { addWindowManagerRows(); }
    void trayHostEndsWhileHidden()
    {
        QTemporaryDir dir;
        QVERIFY(copyShippedFiles(dir.path()));
        auto dialog = window(dir);
        QVERIFY2(minimiseToTheTray(dialog.get()), "the window did not go to the notification area");
        m_trayHost.stop();
        QTRY_VERIFY2_WITH_TIMEOUT(dialog->isVisible() && inState(dialog.get(), X11Desktop::WmState::Iconic)
                                      && dialog->isMinimized(),
                                  describe(dialog.get()), kDesktopTimeoutMs);
        QVERIFY(!dialog->tray().IsShown());
        QCOMPARE(dialog->trayState(), CFlashDlg::TrayState::Normal);
    }

    // The window manager dies with the host while the window waits there, after it took the
    // window's map over and before it answered: the window is shown again, by itself or by the
    // window manager that comes next.
    void windowManagerDiesWithTheHost_data()
    {
        QTest::addColumn<QString>("nextWindowManager");
        QTest::newRow("no window manager after it") << QString();
        QTest::newRow("openbox after it") << QStringLiteral("openbox");
    }
    void windowManagerDiesWithTheHost()
    {
        QFETCH(QString, nextWindowManager);
        if (!m_windowManager.isRunning())
            QVERIFY2(m_windowManager.start(DesktopPart::windowManager(QStringLiteral("openbox"))),
                     qPrintable(m_windowManager.errorString()));
        QTemporaryDir dir;
        QVERIFY(copyShippedFiles(dir.path()));
        auto dialog = window(dir);
        QVERIFY2(minimiseToTheTray(dialog.get()), "the window did not go to the notification area");

        m_windowManager.stop();
        m_windowManagerName.clear();
        X11Desktop::SilentWindowManager dying;
        QVERIFY2(dying.start(), "another window manager still runs");
        m_trayHost.stop();
        QTRY_VERIFY_WITH_TIMEOUT(dialog->isVisible() && dying.askedToMap(xWindow(dialog.get())), kDesktopTimeoutMs);
        dying.die();
        DesktopPart next;
        if (!nextWindowManager.isEmpty())
            QVERIFY2(next.start(DesktopPart::windowManager(nextWindowManager)), qPrintable(next.errorString()));

        const auto shown = [&] {
            const X11Desktop::Window client = xWindow(dialog.get());
            if (nextWindowManager.isEmpty())
                return X11Desktop::isViewable(client);
            const auto state = X11Desktop::wmState(client);
            return state && (*state == X11Desktop::WmState::Normal || *state == X11Desktop::WmState::Iconic);
        };
        QTRY_VERIFY2_WITH_TIMEOUT(dialog->isVisible() && shown(), describe(dialog.get()),
                                  CFlashDlg::kLostWindowCheckMs * CFlashDlg::kLostWindowChecks + kDesktopTimeoutMs);
        QCOMPARE(dialog->trayState(), CFlashDlg::TrayState::Normal);
    }

    // A tray that takes its place on the desktop but never shows the icon: the window is never
    // hidden without its icon, and stays minimised in the task bar. Last: Qt keeps taking the
    // silent tray for the desktop's tray after it is gone.
    void iconThatNeverComesLeavesTheWindowInTheTaskBar_data() { addWindowManagerRows(); }
    void iconThatNeverComesLeavesTheWindowInTheTaskBar()
    {
        if (kStatusNotifier)
            QSKIP("a StatusNotifierItem is on screen once its host lists it");
        m_trayHost.stop();
        const X11Desktop::Window silentTray = X11Desktop::announceSelectionOwner("_NET_SYSTEM_TRAY_S0");
        QVERIFY(silentTray);
        const auto releaseTray = qScopeGuard([&] { X11Desktop::destroyWindow(silentTray); });
        QTRY_VERIFY_WITH_TIMEOUT(CTrayIcon::IsAvailable(), kDesktopTimeoutMs);
        QTemporaryDir dir;
        QVERIFY(copyShippedFiles(dir.path()));
        auto dialog = window(dir);
        const bool minimised = iconify(xWindow(dialog.get()), [&] {
            return inState(dialog.get(), X11Desktop::WmState::Iconic) && dialog->tray().IsShown();
        });
        QVERIFY2(minimised, describe(dialog.get()));
        // The host had its time and let it pass: the icon is given up, the window never hidden.
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->tray().IsShown(), CTrayIcon::kShowTimeoutMs + kDesktopTimeoutMs);
        QVERIFY(dialog->isVisible());
        QVERIFY(inState(dialog.get(), X11Desktop::WmState::Iconic));
        QCOMPARE(dialog->trayState(), CFlashDlg::TrayState::Normal);
    }
};

QTEST_MAIN(TrayTest)
#include "tst_tray.moc"
