#pragma once

#include <QObject>

class QSocketNotifier;

// Turns the signals that end a program from outside (TERM, HUP, INT) into a Qt signal on the
// thread that made this object, so that the program can save and end in its own time instead of
// dying where it stands. One at a time per process; while it lives, the signals no longer end
// the process by themselves.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // False when the signals could not be taken over; they then end the process as before.
    bool isActive() const { return m_notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void readPending();

    QSocketNotifier *m_notifier = nullptr;
};
