#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::array kSignals{SIGTERM, SIGHUP, SIGINT};

// The handler may only write a byte; everything else happens on the event loop.
int g_wakeUp[2] = {-1, -1};

void onSignal(int signalNumber)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_wakeUp[1], &byte, 1);
    errno = saved;
}

void setHandlers(void (*handler)(int))
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : kSignals)
        ::sigaction(signalNumber, &action, nullptr);
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{
    if (g_wakeUp[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_wakeUp) != 0) {
        g_wakeUp[0] = g_wakeUp[1] = -1;
        return;
    }
    m_notifier = new QSocketNotifier(g_wakeUp[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPending);
    setHandlers(onSignal);
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier)
        return;
    setHandlers(SIG_DFL);
    ::close(g_wakeUp[0]);
    ::close(g_wakeUp[1]);
    g_wakeUp[0] = g_wakeUp[1] = -1;
}

void TerminationSignals::readPending()
{
    unsigned char byte = 0;
    while (::read(g_wakeUp[0], &byte, 1) == 1)
        emit received(byte);
}
