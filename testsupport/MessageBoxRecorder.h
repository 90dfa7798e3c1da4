#pragma once

#include "MessageBox.h"

#include <QList>

// Answers every message box in place of the user while it lives, keeping each request in the
// order they came. Gone, it brings the real boxes back and ends an unattended state that the
// code under test may have left, so that a test that fails half-way leaves nothing behind.
class MessageBoxRecorder
{
public:
    // Answers every box with `button`.
    explicit MessageBoxRecorder(QMessageBox::StandardButton button = QMessageBox::Ok);
    // Answers every box with what `answer` returns for it.
    explicit MessageBoxRecorder(MessageBox::Handler answer);
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder &) = delete;
    MessageBoxRecorder &operator=(const MessageBoxRecorder &) = delete;

    // Every box asked for so far, oldest first.
    const QList<MessageBox::Request> &requests() const { return m_requests; }
    void clear() { m_requests.clear(); }

private:
    QList<MessageBox::Request> m_requests;
};
