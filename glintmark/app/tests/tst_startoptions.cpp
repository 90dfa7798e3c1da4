// Glintmark as the desktop session starts it: the real program with --start flashes without a
// click, as the X server sees its overlay come and go; with --minimized it waits in the
// notification area where a tray host shows its icon, and minimised in the task bar where none
// does.

#include "DesktopPart.h"
#include "TestFiles.h"
#include "X11Desktop.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

constexpr int kTimeoutMs = 20000;
const QByteArray kWindowName = "Glintmark 2.1";

// The main window's X window, mapped or not; 0 when there is none.
X11Desktop::Window mainWindow()
{
    for (const X11Desktop::Window window : X11Desktop::descendantsOf(X11Desktop::root())) {
        if (X11Desktop::stringProperty(window, "WM_NAME") == kWindowName)
            return window;
    }
    return 0;
}

// Glintmark's icon, embedded by an XEmbed tray host and on screen.
bool iconInTray()
{
    for (const X11Desktop::Window window : X11Desktop::descendantsOf(X11Desktop::root())) {
        if (X11Desktop::stringProperty(window, "WM_CLASS").startsWith("glintmark")
            && !X11Desktop::atomsOf(window, "_XEMBED_INFO").isEmpty()
            && X11Desktop::parentOf(window) != X11Desktop::root() && X11Desktop::isViewable(window))
            return true;
    }
    return false;
}

} // namespace

class StartOptionsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!X11Desktop::isAvailable())
            QSKIP("needs an X server");
        if (!m_windowManager.start(DesktopPart::windowManager(QStringLiteral("openbox"))))
            QSKIP(qPrintable(m_windowManager.errorString()));
        QVERIFY(X11Desktop::waitUntilManaging());
    }
    void cleanupTestCase() { m_windowManager.stop(); }

    void init()
    {
        // A portable Glintmark: the program with its library beside it, ticks on the first
        // category's affirmations, flashing every half second for 80 ms (no short-display notice).
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        const QDir folder(m_dir->path());
        QVERIFY(QFile::copy(QStringLiteral(GLINTMARK_EXECUTABLE), folder.filePath("glintmark")));
        QVERIFY(copyShippedFiles(folder.path()));
        QByteArray font = readWholeFile(folder.filePath("font.dat"));
        QCOMPARE(font.size(), 44);
        font.replace(36, 8, QByteArray::fromHex("0000000003000000"));
        QVERIFY(writeWholeFile(folder.filePath("font.dat"), font));
    }

    void cleanup()
    {
        if (m_program.state() != QProcess::NotRunning) {
            ::kill(pid_t(m_program.processId()), SIGTERM);
            if (!m_program.waitForFinished(kTimeoutMs))
                m_program.kill();
            m_program.waitForFinished();
        }
        m_trayHost.stop();
    }

    // Flashing from the start: the overlay is mapped and unmapped again, more than once, while
    // nobody touches anything.
    void startFlashesWithoutAClick()
    {
        X11Desktop::BypassingMaps maps;
        QVERIFY(start({"--start"}));
        QTRY_VERIFY_WITH_TIMEOUT(X11Desktop::findViewable(kWindowName) != 0, kTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(maps.mapsUnmapped() >= 2, kTimeoutMs);
    }

    // With nothing ticked, --start meets the refusal Start gives, and nothing flashes.
    void startWithNothingTickedIsRefused()
    {
        QVERIFY(writeWholeFile(QDir(m_dir->path()).filePath("check.txt"), QByteArray(10000, '\0')));
        X11Desktop::BypassingMaps maps;
        QVERIFY(start({"--start"}));
        QTRY_VERIFY_WITH_TIMEOUT(X11Desktop::findViewable(kWindowName) != 0, kTimeoutMs);
        // "Select at least one affirmation", under the program's name.
        QTRY_VERIFY_WITH_TIMEOUT(X11Desktop::findViewable("Glintmark") != 0, kTimeoutMs);
        QCOMPARE(maps.mapsUnmapped(), 0);
    }

    // In the notification area once the icon is shown, or minimised in the task bar without a
    // tray; with --start as well, as the autostart entry runs it, flashing meanwhile.
    void minimized_data()
    {
        QTest::addColumn<bool>("trayHost");
        QTest::addColumn<bool>("flashing");
        QTest::newRow("with a tray host") << true << false;
        QTest::newRow("without a tray host") << false << false;
        QTest::newRow("--start --minimized, with a tray host") << true << true;
        QTest::newRow("--start --minimized, without a tray host") << false << true;
    }
    void minimized()
    {
        QFETCH(bool, trayHost);
        QFETCH(bool, flashing);
        if (trayHost && !m_trayHost.start(DesktopPart::xembedTray()))
            QSKIP(qPrintable(m_trayHost.errorString()));
        X11Desktop::BypassingMaps maps;
        QStringList arguments{"--minimized"};
        if (flashing)
            arguments.prepend("--start");
        QVERIFY(start(arguments));
        if (trayHost) {
            QTRY_VERIFY_WITH_TIMEOUT(iconInTray(), kTimeoutMs);
            QTRY_VERIFY_WITH_TIMEOUT(X11Desktop::findViewable(kWindowName) == 0, kTimeoutMs);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(mainWindow() != 0 && X11Desktop::wmState(mainWindow()) == X11Desktop::WmState::Iconic,
                                     kTimeoutMs);
            QVERIFY(!iconInTray());
        }
        if (flashing)
            QTRY_VERIFY_WITH_TIMEOUT(maps.mapsUnmapped() >= 2, kTimeoutMs);
    }

private:
    bool start(const QStringList &arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "xcb");
        environment.insert("XDG_CONFIG_HOME", m_dir->filePath("config"));
        m_program.setProcessEnvironment(environment);
        m_program.start(QDir(m_dir->path()).filePath("glintmark"), arguments);
        return m_program.waitForStarted();
    }

    DesktopPart m_windowManager;
    DesktopPart m_trayHost;
    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess m_program;
};

QTEST_GUILESS_MAIN(StartOptionsTest)
#include "tst_startoptions.moc"
