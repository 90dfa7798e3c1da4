#include "DesktopPart.h"

#include "X11Desktop.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QTest>

namespace {

bool onBus(const QString &name)
{
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    return bus && bus->isServiceRegistered(name).value();
}

} // namespace

DesktopPart::Recipe DesktopPart::windowManager(const QString &name)
{
    if (name == QLatin1String("fluxbox")) {
        // It takes no WM_S0 and cannot replace another one; it writes its settings into a home
        // folder of its own, which lasts as long as the test.
        static const QTemporaryDir home;
        return {name, {}, kWindowManagerCheck, {}, {QStringLiteral("HOME=") + home.path()}};
    }
    return {name, {QStringLiteral("--replace")}, "WM_S0", {}, {}};
}

DesktopPart::Recipe DesktopPart::xembedTray()
{
    return {QStringLiteral("trayer"),
            {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"), QStringLiteral("right"),
             QStringLiteral("--widthtype"), QStringLiteral("request"), QStringLiteral("--height"), QStringLiteral("26")},
            "_NET_SYSTEM_TRAY_S0", {}, {}};
}

DesktopPart::Recipe DesktopPart::panelSettings(const QString &configHome)
{
    return {QStringLiteral(XFCONFD_PATH), {}, {}, QStringLiteral("org.xfce.Xfconf"),
            {QStringLiteral("XDG_CONFIG_HOME=") + configHome}};
}

DesktopPart::Recipe DesktopPart::statusNotifierHost(const QString &configHome)
{
    return {QStringLiteral("xfce4-panel"), {QStringLiteral("--disable-wm-check")}, {}, QStringLiteral("org.kde.StatusNotifierWatcher"),
            {QStringLiteral("XDG_CONFIG_HOME=") + configHome}};
}

DesktopPart::Recipe DesktopPart::compositor()
{
    return {QStringLiteral("xcompmgr"), {}, "_NET_WM_CM_S0", {}, {}};
}

DesktopPart::~DesktopPart()
{
    stop();
}

bool DesktopPart::isReady(const Recipe &recipe)
{
    if (recipe.selection == kWindowManagerCheck)
        return X11Desktop::windowManagerCheck() != 0;
    if (!recipe.selection.isEmpty())
        return X11Desktop::selectionOwner(recipe.selection.constData()) != 0;
    return onBus(recipe.busName);
}

bool DesktopPart::start(const Recipe &recipe, int timeoutMs)
{
    stop();
    m_recipe = recipe;
    m_error.clear();
    if (isReady(recipe)) {
        m_error = recipe.program + QStringLiteral(": its place is taken by another program already");
        return false;
    }
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &variable : recipe.environment)
        environment.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
    m_process->setProcessEnvironment(environment);
    m_process->start(recipe.program, recipe.arguments);
    if (!m_process->waitForStarted()) {
        m_error = recipe.program + QStringLiteral(": ") + m_process->errorString();
        m_process.reset();
        return false;
    }
    const bool ready = QTest::qWaitFor([&] { return isReady(recipe) || m_process->state() != QProcess::Running; },
                                       timeoutMs);
    if (!ready || !isReady(recipe)) {
        m_error = recipe.program + (ready ? QStringLiteral(" ended: ") : QStringLiteral(" did not get ready: "))
            + QString::fromLocal8Bit(m_process->readAll());
        stop();
        return false;
    }
    // A window manager owns its selection before it takes windows on.
    if ((recipe.selection == "WM_S0" || recipe.selection == kWindowManagerCheck)
        && !X11Desktop::waitUntilManaging(timeoutMs)) {
        m_error = recipe.program + QStringLiteral(" does not take windows on");
        stop();
        return false;
    }
    return true;
}

void DesktopPart::stop()
{
    if (!m_process)
        return;
    m_process->terminate();
    if (!m_process->waitForFinished(10000)) {
        m_process->kill();
        m_process->waitForFinished();
    }
    m_process.reset();
    // A part that is gone but still listed frees its place in a moment; the next start says so if not.
    (void)QTest::qWaitFor([&] { return !isReady(m_recipe); }, 10000);
}

bool DesktopPart::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

QByteArray DesktopPart::output() const
{
    return m_process ? m_process->peek(1 << 20) : QByteArray();
}

PanelConfig::PanelConfig()
{
    const QString channels = m_dir.filePath(QStringLiteral("xfce4/xfconf/xfce-perchannel-xml"));
    m_valid = m_dir.isValid() && QDir().mkpath(channels)
        && QFile::copy(QStringLiteral(TESTSUPPORT_DIR "/xfce4-panel.xml"), channels + QStringLiteral("/xfce4-panel.xml"));
}
