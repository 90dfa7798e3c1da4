// The dev script told to stop from outside, as a terminal (INT), a closed terminal (HUP), a
// service manager or CI (TERM) tells it, while it builds and while its tests run: it ends the
// build or CTest, every test with what the tests started (a child that ignores TERM, a daemon
// that has left its process group), the private display, bus and sound server, removes its
// private folder, and only then exits with the signal's status.
//
// The script runs for real on a project of a few slow tests of its own, so the test needs the
// packages ./dev test installs. This test is the subreaper of everything the script starts:
// whatever outlives the script is found among its descendants.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <optional>

namespace {

constexpr int kStartTimeoutMs = 60000;
constexpr int kStopTimeoutMs = 60000;

// Each slow test marks that it started, then waits far longer than the test runs. One starts a
// child and a daemon in a session of its own, out of CTest's process group; one ignores TERM.
// The script is asked to run both at once. SLOW_BUILD makes the plain tree's build the slow step.
constexpr char kProject[] = R"(cmake_minimum_required(VERSION 3.25)
project(Slow LANGUAGES NONE)
enable_testing()
set(marks ${CMAKE_CURRENT_LIST_DIR}/marks)
if(DEFINED ENV{SLOW_BUILD} AND NOT CMAKE_BINARY_DIR MATCHES "-(asan|tsan)$")
  add_custom_target(slow ALL COMMAND sh -c "touch ${marks}/building; exec sleep 600" VERBATIM)
endif()
add_test(NAME slow_child COMMAND sh -c "sleep 601 & setsid sleep 602 & touch ${marks}/slow_child; wait")
add_test(NAME slow_deaf COMMAND sh -c "trap '' TERM; touch ${marks}/slow_deaf; exec sleep 603")
)";

struct ProcessEntry
{
    pid_t pid = 0;
    pid_t parent = 0;
    char state = '?';
    QByteArray command;
};

std::optional<ProcessEntry> readProcess(const QString &pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray line = stat.readAll();
    // pid (command) state ppid ...: the command may hold spaces and parentheses.
    const qsizetype close = line.lastIndexOf(')');
    const QList<QByteArray> rest = line.mid(close + 2).split(' ');
    if (close < 0 || rest.size() < 2)
        return std::nullopt;
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
    QByteArray command = cmdline.open(QIODevice::ReadOnly) ? cmdline.readAll() : QByteArray();
    command.replace('\0', ' ');
    return ProcessEntry{pid.toInt(), rest[1].toInt(), rest[0].at(0), command.trimmed()};
}

QHash<pid_t, ProcessEntry> allProcesses()
{
    QHash<pid_t, ProcessEntry> processes;
    for (const QString &name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        name.toInt(&number);
        if (const auto entry = number ? readProcess(name) : std::nullopt)
            processes.insert(entry->pid, *entry);
    }
    return processes;
}

// The living descendants of this process (zombies have ended; only their parent has not
// collected them yet).
QList<ProcessEntry> livingDescendants()
{
    const QHash<pid_t, ProcessEntry> processes = allProcesses();
    QList<ProcessEntry> found;
    for (const ProcessEntry &entry : processes) {
        if (entry.state == 'Z')
            continue;
        for (pid_t up = entry.parent; up > 1; up = processes.value(up).parent) {
            if (up == getpid()) {
                found.append(entry);
                break;
            }
        }
    }
    return found;
}

QString describe(const QList<ProcessEntry> &processes)
{
    QStringList lines;
    for (const ProcessEntry &entry : processes)
        lines.append(QStringLiteral("%1 %2").arg(entry.pid).arg(QString::fromLocal8Bit(entry.command)));
    return lines.join('\n');
}

// Collects the orphans that ended as this process's children, as init would, so that the script
// sees them gone; `keep` is the child QProcess collects itself.
void collectOrphans(pid_t keep)
{
    for (const ProcessEntry &entry : allProcesses()) {
        if (entry.state == 'Z' && entry.parent == getpid() && entry.pid != keep)
            waitpid(entry.pid, nullptr, WNOHANG);
    }
}

} // namespace

class DevScriptTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Orphans of the script's run become this process's children, not init's.
        QVERIFY(prctl(PR_SET_CHILD_SUBREAPER, 1) == 0);
        QVERIFY2(livingDescendants().isEmpty(), qPrintable(describe(livingDescendants())));
    }

    // A case that failed leaves nothing behind for the next.
    void cleanup()
    {
        for (const ProcessEntry &entry : livingDescendants())
            ::kill(entry.pid, SIGKILL);
        QTRY_VERIFY(livingDescendants().isEmpty());
        collectOrphans(0);
    }

    void stopsEverything_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<bool>("toTheGroup");
        QTest::addColumn<bool>("whileBuilding");
        for (const auto &[name, number] : {std::pair{"TERM", SIGTERM}, {"INT", SIGINT}, {"HUP", SIGHUP}})
            QTest::addRow("%s while tests run", name) << number << false << false;
        // As timeout(1) and service managers do: the script and what shares its group at once.
        QTest::newRow("TERM to the script's process group while tests run") << int(SIGTERM) << true << false;
        QTest::newRow("TERM while building") << int(SIGTERM) << false << true;
    }
    void stopsEverything()
    {
        QFETCH(int, signalNumber);
        QFETCH(bool, toTheGroup);
        QFETCH(bool, whileBuilding);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QDir root(dir.path());
        QVERIFY(QFile::copy(QStringLiteral(DEV_SCRIPT), root.filePath("dev")));
        QFile project(root.filePath("CMakeLists.txt"));
        QVERIFY(project.open(QIODevice::WriteOnly) && project.write(kProject) > 0);
        project.close();
        QVERIFY(root.mkdir("marks"));
        const QDir marks(root.filePath("marks"));

        QProcess dev;
        dev.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (whileBuilding)
            environment.insert("SLOW_BUILD", "1");
        dev.setProcessEnvironment(environment);
        // A session of its own, so that its process group can be signalled as a whole.
        dev.start("setsid", {root.filePath("dev"), "test", "-j", "2"});
        QVERIFY2(dev.waitForStarted(), qPrintable(dev.errorString()));
        const pid_t devPid = pid_t(dev.processId());
        QByteArray output;
        const auto readOutput = [&] { output += dev.readAll(); };
        connect(&dev, &QProcess::readyRead, this, readOutput);
        QTimer collector;
        connect(&collector, &QTimer::timeout, this, [&] { collectOrphans(devPid); });
        collector.start(50);

        QString privateFolder;
        if (whileBuilding) {
            QTRY_VERIFY2_WITH_TIMEOUT(marks.exists("building") || dev.state() == QProcess::NotRunning,
                                      output.constData(), kStartTimeoutMs);
        } else {
            const QStringList started{"slow_child", "slow_deaf"};
            QTRY_VERIFY2_WITH_TIMEOUT(std::all_of(started.begin(), started.end(),
                                                  [&](const QString &name) { return marks.exists(name); })
                                          || dev.state() == QProcess::NotRunning,
                                      output.constData(), kStartTimeoutMs);
            const auto match = QRegularExpression(R"(sound server unix:(\S+)/pulse\.socket)").match(output);
            QVERIFY2(match.hasMatch(), output.constData());
            privateFolder = match.captured(1);
            QVERIFY2(QFileInfo::exists(privateFolder), qPrintable(privateFolder));
        }
        QVERIFY2(dev.state() == QProcess::Running, output.constData());
        QVERIFY2(!livingDescendants().isEmpty(), "the run started nothing to stop");

        QVERIFY(::kill(toTheGroup ? -devPid : devPid, signalNumber) == 0);
        QTRY_VERIFY2_WITH_TIMEOUT(dev.state() == QProcess::NotRunning, output.constData(), kStopTimeoutMs);
        readOutput();
        QCOMPARE(dev.exitStatus(), QProcess::NormalExit);
        QCOMPARE(dev.exitCode(), 128 + signalNumber);
        // Once the script has gone, nothing of its run is left.
        const QList<ProcessEntry> left = livingDescendants();
        QVERIFY2(left.isEmpty(), qPrintable(describe(left) + "\n--- the script said:\n" + output));
        if (!privateFolder.isEmpty())
            QVERIFY2(!QFileInfo::exists(privateFolder), qPrintable(privateFolder));
    }
};

QTEST_GUILESS_MAIN(DevScriptTest)
#include "tst_devscript.moc"
