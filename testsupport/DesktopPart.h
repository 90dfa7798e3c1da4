#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// One part of a real desktop (a window manager, a tray host, a panel, a compositor) started on
// the test display for as long as a test needs it. A part is ready once it has taken its place:
// the X selection that such a part owns (WM_S0, _NET_SYSTEM_TRAY_S0, _NET_WM_CM_S0), or its
// name on the session bus. Stopping waits until it has let go of that place again, so that the
// next part can take it.
class DesktopPart
{
public:
    struct Recipe
    {
        QString program;
        QStringList arguments;
        // Ready when this X selection of the default screen has an owner (kWindowManagerCheck:
        // when a window manager names its live check window on the root window) ...
        QByteArray selection;
        // ... or when this name is on the session bus.
        QString busName;
        // Extra environment, NAME=value.
        QStringList environment;
    };

    // The window managers the tests run under.
    static QStringList windowManagers() { return {QStringLiteral("openbox"), QStringLiteral("metacity"), QStringLiteral("xfwm4")}; }
    // For window managers that own no WM_S0 (fluxbox).
    static constexpr const char *kWindowManagerCheck = "_NET_SUPPORTING_WM_CHECK";
    // Those and more, for what any window manager has to leave as it is: icewm, with its own task
    // bar, and fluxbox take more liberties with a window's frame.
    static QStringList framingWindowManagers()
    {
        return windowManagers() << QStringLiteral("icewm") << QStringLiteral("fluxbox");
    }
    static Recipe windowManager(const QString &name);
    // An XEmbed tray at the top right of the screen.
    static Recipe xembedTray();
    // A panel whose notification area hosts StatusNotifierItems (and XEmbed icons). Its settings
    // come from `configHome` (see PanelConfig), through the settings service, which has to run
    // first: the bus would otherwise start one with the bus's own environment.
    static Recipe panelSettings(const QString &configHome);
    static Recipe statusNotifierHost(const QString &configHome);
    static Recipe compositor();

    DesktopPart() = default;
    ~DesktopPart();
    DesktopPart(const DesktopPart &) = delete;
    DesktopPart &operator=(const DesktopPart &) = delete;

    // Starts the part and waits up to `timeoutMs` until it is ready. False, with a reason in
    // errorString(), when the program is missing, ends, or never gets ready.
    bool start(const Recipe &recipe, int timeoutMs = 30000);
    // Ends the part and waits until its selection or bus name is free.
    void stop();
    bool isRunning() const;
    QString errorString() const { return m_error; }
    // What the part wrote, for a failing test's output.
    QByteArray output() const;

    static bool isReady(const Recipe &recipe);

private:
    Recipe m_recipe;
    std::unique_ptr<QProcess> m_process;
    QString m_error;
};

// A folder holding the panel settings that make xfce4-panel start as one top panel with only its
// notification area, without asking anything.
class PanelConfig
{
public:
    PanelConfig();
    bool isValid() const { return m_valid; }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    bool m_valid = false;
};
