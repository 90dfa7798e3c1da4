// Starting with the desktop session: the autostart entry written where sessions look for it,
// atomically, valid for the desktop's own checker, running the program with --start --minimized whatever
// its path holds, and removed again; "Start flashing when started" kept per user.

#include "SessionStart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

class SessionStartTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home->filePath("config")));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_home->filePath("config"));
    }

    void entryPath()
    {
        QCOMPARE(autostartEntryPath(), m_home->filePath("config/autostart/glintmark.desktop"));
    }

    void execArgument_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain path") << "/usr/bin/glintmark" << "/usr/bin/glintmark";
        QTest::newRow("blank") << "/opt/my apps/glintmark" << "\"/opt/my apps/glintmark\"";
        QTest::newRow("quote") << "/opt/a\"b/glintmark" << "\"/opt/a\\\\\"b/glintmark\"";
        QTest::newRow("dollar and backquote") << "/opt/$x`y`/g" << "\"/opt/\\\\$x\\\\`y\\\\`/g\"";
        // A backslash takes one for the quotes and each of those one for the key's string.
        QTest::newRow("backslash") << "/opt/a\\b/g" << "\"/opt/a\\\\\\\\b/g\"";
        QTest::newRow("percent") << "/opt/100%/g" << "/opt/100%%/g";
        QTest::newRow("semicolon and hash") << "/opt/a;b#c/g" << "\"/opt/a;b#c/g\"";
        QTest::newRow("line break") << "/opt/a\nb/g" << "\"/opt/a\\nb/g\"";
        QTest::newRow("not ASCII") << QString::fromUtf8("/opt/caf\xC3\xA9/g") << QString::fromUtf8("/opt/caf\xC3\xA9/g");
    }
    void execArgument()
    {
        QFETCH(QString, argument);
        QFETCH(QString, exec);
        QCOMPARE(desktopExecArgument(argument), exec);
    }

    // Written, the entry is there for the session and the desktop's checker finds no fault in it;
    // removed, it is gone, and removing it again is no error.
    void writtenValidRemoved_data()
    {
        QTest::addColumn<QString>("programPath");
        QTest::newRow("installed") << "/usr/bin/glintmark";
        QTest::newRow("portable, with blanks and quotes") << "/home/me/My \"Apps\"/glint$mark 100%/glintmark";
    }
    void writtenValidRemoved()
    {
        QFETCH(QString, programPath);
        QVERIFY(!hasAutostartEntry());
        QCOMPARE(writeAutostartEntry(programPath), std::nullopt);
        QVERIFY(hasAutostartEntry());
        QFile entry(autostartEntryPath());
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QByteArray text = entry.readAll();
        QCOMPARE(text, autostartEntry(programPath));
        QVERIFY(text.startsWith("[Desktop Entry]\n"));
        QVERIFY(text.contains("\nX-GNOME-Autostart-enabled=true\n"));
        QVERIFY(text.contains("\nExec=" + desktopExecArgument(programPath).toUtf8() + " --start --minimized\n"));
        // Nothing is left beside it from the atomic write.
        QCOMPARE(QDir(m_home->filePath("config/autostart")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{"glintmark.desktop"});

        // Written again, it replaces the entry before it.
        QCOMPARE(writeAutostartEntry(QStringLiteral("/other/glintmark")), std::nullopt);
        QVERIFY(QFile(autostartEntryPath()).open(QIODevice::ReadOnly));
        QCOMPARE(QFile(autostartEntryPath()).size(), autostartEntry(QStringLiteral("/other/glintmark")).size());

        QCOMPARE(removeAutostartEntry(), std::nullopt);
        QVERIFY(!hasAutostartEntry());
        QVERIFY(!QFileInfo::exists(autostartEntryPath()));
        QCOMPARE(removeAutostartEntry(), std::nullopt);
    }

    // What desktop-file-validate, the desktop's own checker, says of the entry: nothing.
    void validForTheDesktop_data() { writtenValidRemoved_data(); }
    void validForTheDesktop()
    {
        QFETCH(QString, programPath);
        const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        if (validator.isEmpty())
            QSKIP("desktop-file-validate is missing (Debian's desktop-file-utils)");
        QCOMPARE(writeAutostartEntry(programPath), std::nullopt);
        QProcess validate;
        validate.setProcessChannelMode(QProcess::MergedChannels);
        validate.start(validator, {autostartEntryPath()});
        QVERIFY(validate.waitForFinished(30000));
        const QByteArray output = validate.readAll();
        QVERIFY2(validate.exitStatus() == QProcess::NormalExit && validate.exitCode() == 0 && output.isEmpty(),
                 output.constData());
    }

    // Where the entry cannot go (its folder is a file) or cannot be removed (it is a folder):
    // the failure names the file.
    void failuresNameTheFile()
    {
        QVERIFY(QDir().mkpath(m_home->filePath("config")));
        QFile blocking(m_home->filePath("config/autostart"));
        QVERIFY(blocking.open(QIODevice::WriteOnly));
        blocking.close();
        const std::optional<FileError> writing = writeAutostartEntry(QStringLiteral("/usr/bin/glintmark"));
        QVERIFY(writing);
        QCOMPARE(writing->path, autostartEntryPath());
        QVERIFY(writing->errorCode != 0);
        QVERIFY(!hasAutostartEntry());

        QVERIFY(QFile::remove(blocking.fileName()));
        QVERIFY(QDir().mkpath(autostartEntryPath() + QStringLiteral("/inside")));
        const std::optional<FileError> removal = removeAutostartEntry();
        QVERIFY(removal);
        QCOMPARE(removal->path, autostartEntryPath());
        QCOMPARE(removal->errorCode, EISDIR);
    }

    void startFlashingKeptPerUser()
    {
        QCOMPARE(readStartFlashing(), false);
        writeStartFlashing(true);
        QCOMPARE(readStartFlashing(), true);
        QCOMPARE(QSettings().value(kStartFlashingSetting).toBool(), true);
        writeStartFlashing(false);
        QCOMPARE(readStartFlashing(), false);
    }

private:
    std::unique_ptr<QTemporaryDir> m_home;
};

QTEST_GUILESS_MAIN(SessionStartTest)
#include "tst_sessionstart.moc"
