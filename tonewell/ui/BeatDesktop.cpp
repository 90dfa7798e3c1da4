#include "BeatDesktop.h"

#include "BeatDlg.h"
#include "MprisService.h"
#include "Program.h"
#include "SuspendInhibitor.h"

#include <QGuiApplication>

CBeatDesktop::CBeatDesktop(CBeatDlg &dialog, QDBusConnection sessionBus, QDBusConnection systemBus)
    : QObject(nullptr)
    , m_dialog(dialog)
    , m_mpris(new MprisService(kProgramName, kProgramId, kProgramId, this))
    , m_inhibitor(new SuspendInhibitor(sessionBus, std::move(systemBus), kProgramName, this))
{
    const auto showChoice = [this] {
        const CBeatDlg::Choice choice = m_dialog.currentChoice();
        m_mpris->setTrack({choice.index, choice.name, choice.description, choice.minutes, choice.plan});
    };
    showChoice();
    m_mpris->registerOn(sessionBus);

    connect(&dialog, &CBeatDlg::choiceChanged, this, showChoice);
    connect(&dialog, &CBeatDlg::playingChanged, this, &CBeatDesktop::followPlaying);
    // The same handler as the button, so the same program, timer and stream.
    connect(m_mpris, &MprisService::playRequested, &dialog, [this] {
        if (!m_dialog.isPlaying())
            m_dialog.OnPlay();
    });
    connect(m_mpris, &MprisService::stopRequested, &dialog, [this] {
        if (m_dialog.isPlaying())
            m_dialog.OnPlay();
    });
    connect(m_mpris, &MprisService::raiseRequested, &dialog, [this] {
        m_dialog.showNormal();
        m_dialog.raise();
        m_dialog.activateWindow();
    });
    connect(m_mpris, &MprisService::quitRequested, &dialog, &CBeatDlg::OnExit);
    m_mpris->setVolume(dialog.streamVolume());
    connect(m_mpris, &MprisService::volumeRequested, &dialog, [this](double volume) {
        m_dialog.setStreamVolume(volume);
        m_mpris->setVolume(m_dialog.streamVolume());
    });
    connect(&dialog, &CBeatDlg::streamVolumeChanged, m_mpris, &MprisService::setVolume);
}

CBeatDesktop::~CBeatDesktop()
{
    m_inhibitor->release();
}

void CBeatDesktop::followPlaying(bool playing)
{
    m_mpris->setPlaying(playing);
    if (!playing) {
        m_inhibitor->release();
        return;
    }
    // The portal may name the window that asks; on X11 it is known by its id.
    const QString window = QGuiApplication::platformName() == QLatin1String("xcb")
                               ? QStringLiteral("x11:") + QString::number(m_dialog.winId(), 16)
                               : QString();
    m_inhibitor->hold(window, QLatin1String(kInhibitReason));
}
