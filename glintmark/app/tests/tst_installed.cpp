// An installed Glintmark, started by a user who may write the program's own folder (as root may
// write /usr/local/bin): its files go to the per-user folder, filled from the shipped defaults.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class InstalledTest : public QObject
{
    Q_OBJECT

private slots:
    void firstStartFillsThePerUserFolder()
    {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QString prefix = root.filePath("prefix");
        QProcess install;
        install.start(QStringLiteral(CMAKE_COMMAND),
                      {"--install", QStringLiteral(BUILD_DIR), "--prefix", prefix});
        QVERIFY(install.waitForFinished(60000));
        QCOMPARE(install.exitCode(), 0);
        QVERIFY(QFileInfo(prefix + "/bin").isWritable());

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("HOME", root.filePath("home"));
        environment.insert("XDG_DATA_HOME", root.filePath("data"));
        environment.insert("XDG_CONFIG_HOME", root.filePath("config"));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(prefix + "/bin/glintmark", {});
        QVERIFY(program.waitForStarted());

        const QDir perUser(root.filePath("data/glintmark"));
        const QDir shipped(prefix + "/" INSTALL_DATADIR "/glintmark");
        for (const char *name : {"List.txt", "check.txt", "font.dat"})
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(perUser.filePath(name)).size() == QFileInfo(shipped.filePath(name)).size(), 20000);
        QCOMPARE(program.state(), QProcess::Running);
        program.kill();
        program.waitForFinished();

        for (const char *name : {"List.txt", "check.txt", "font.dat"}) {
            QFile copy(perUser.filePath(name));
            QFile original(shipped.filePath(name));
            QVERIFY(copy.open(QIODevice::ReadOnly) && original.open(QIODevice::ReadOnly));
            QCOMPARE(copy.readAll(), original.readAll());
            QVERIFY(!QFileInfo::exists(prefix + "/bin/" + name));
        }
    }
};

QTEST_GUILESS_MAIN(InstalledTest)
#include "tst_installed.moc"
