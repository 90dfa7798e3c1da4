// An installed Tonewell, started by a user with no catalogue of their own, reads the catalogue
// that came with it from the data folder CMake was configured with: share/tonewell, or
// share/games/tonewell with -DCMAKE_INSTALL_DATADIR=share/games. Which file it opened is what
// strace saw it open.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

// The process that opened `path` for reading, as strace's log of a traced program shows it, or
// 0 while no such open succeeded.
qint64 openedBy(const QString &log, const QString &path)
{
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QRegularExpression open(QStringLiteral("^(\\d+) +openat\\([^,]+, \"%1\", O_RDONLY[^)]*\\) = \\d+$")
                                      .arg(QRegularExpression::escape(path)),
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = open.match(QString::fromLocal8Bit(file.readAll()));
    return match.hasMatch() ? match.captured(1).toLongLong() : 0;
}

} // namespace

class InstalledTest : public QObject
{
    Q_OBJECT

    QString m_strace;

private slots:
    void initTestCase()
    {
        m_strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
        if (m_strace.isEmpty())
            QSKIP("strace is not installed");
        QProcess probe;
        probe.start(m_strace, {"-o", "/dev/null", "true"});
        if (!probe.waitForFinished(30000) || probe.exitCode() != 0)
            QSKIP("strace may not trace programs here");
    }

    void readsTheCatalogueFromTheConfiguredDataFolder()
    {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QString prefix = root.filePath("prefix");
        QProcess install;
        install.start(QStringLiteral(CMAKE_COMMAND), {"--install", QStringLiteral(BUILD_DIR), "--prefix", prefix,
                                                      "--component", "tonewell"});
        QVERIFY(install.waitForFinished(60000));
        QCOMPARE(install.exitCode(), 0);
        const QString catalogue = QDir::cleanPath(prefix + "/" INSTALL_DATADIR "/tonewell/data.dat");
        QVERIFY2(QFileInfo::exists(catalogue), qPrintable(catalogue));

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("HOME", root.filePath("home"));
        environment.insert("XDG_DATA_HOME", root.filePath("data"));
        environment.insert("XDG_CONFIG_HOME", root.filePath("config"));
        const QString log = root.filePath("strace.log");
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(m_strace, {"-f", "-qq", "-e", "trace=openat", "-o", log, prefix + "/bin/tonewell"});
        QVERIFY(program.waitForStarted());

        qint64 reader = 0;
        QTRY_VERIFY_WITH_TIMEOUT((reader = openedBy(log, catalogue)) != 0 || program.state() != QProcess::Running,
                                 20000);
        QCOMPARE(program.state(), QProcess::Running);
        // The traced program, not strace, which would leave it running.
        ::kill(static_cast<pid_t>(reader), SIGKILL);
        QVERIFY(program.waitForFinished(20000));
    }
};

QTEST_GUILESS_MAIN(InstalledTest)
#include "tst_installed.moc"
