// The real program's window as task bars and window rules see it: its WM_CLASS is the instance
// "tonewell" and the class "Tonewell", the way Glintmark's is "glintmark" and "Glintmark".

#include "X11Desktop.h"

#include <QProcess>
#include <QTest>

namespace {

constexpr int kTimeoutMs = 20000;

// The top-level window the process with `pid` shows, named `title`; 0 until it shows one.
X11Desktop::Window windowOf(qint64 pid, const QByteArray &title)
{
    for (const X11Desktop::Window window : X11Desktop::descendantsOf(X11Desktop::root())) {
        if (X11Desktop::atomsOf(window, "_NET_WM_PID") == QList<std::uint32_t>{std::uint32_t(pid)}
            && X11Desktop::stringProperty(window, "WM_NAME") == title && X11Desktop::isViewable(window))
            return window;
    }
    return 0;
}

} // namespace

class WindowClassTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!X11Desktop::isAvailable())
            QSKIP("needs an X server");
    }

    void classIsCapitalised()
    {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "xcb");
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(QStringLiteral(TONEWELL_EXECUTABLE), {});
        QVERIFY2(program.waitForStarted(), qPrintable(program.errorString()));
        X11Desktop::Window window = 0;
        QTRY_VERIFY_WITH_TIMEOUT((window = windowOf(program.processId(), "Tonewell")) != 0
                                     || program.state() == QProcess::NotRunning,
                                 kTimeoutMs);
        QVERIFY2(window != 0, "Tonewell ended without showing its window");
        QCOMPARE(X11Desktop::stringProperty(window, "WM_CLASS"), QByteArray("tonewell\0Tonewell\0", 18));
        program.kill();
        QVERIFY(program.waitForFinished(kTimeoutMs));
    }
};

QTEST_GUILESS_MAIN(WindowClassTest)
#include "tst_windowclass.moc"
