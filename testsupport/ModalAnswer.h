#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <utility>

// Closes a modal window, whatever it is. A dialog is ended rather than asked to close: a message
// box without an escape button ignores the request, and a dialog of the program's may ask first.
inline void closeModal(QWidget *modal)
{
    if (auto *dialog = qobject_cast<QDialog *>(modal))
        dialog->done(QDialog::Rejected);
    else if (modal)
        modal->close();
}

// Answers the modal dialog that the test opens next, from inside that dialog's own event loop.
// `answer` gets the dialog when the modal window is a `Dialog`; it only records what it sees and
// presses what a user would, and the test checks the record once the dialog has returned. What
// is still open afterwards, or any other modal window found instead, is closed: a dialog that
// does not come, or does not close, fails the test's checks rather than hanging the test.
// Nothing runs once `context` is gone.
template <typename Dialog, typename Answer>
void answerNextModal(QObject *context, Answer answer)
{
    QTimer::singleShot(0, context, [answer = std::move(answer)]() mutable {
        const QPointer<QWidget> modal = QApplication::activeModalWidget();
        if (auto *dialog = qobject_cast<Dialog *>(modal.data()))
            answer(dialog);
        if (modal && modal->isVisible())
            closeModal(modal);
    });
}

// As answerNextModal, for a modal window that opens later, once work off the window's thread has
// ended: looks for a modal `Dialog` every 10 ms, for up to `timeoutMs`, and answers the first.
template <typename Dialog, typename Answer>
void answerModalWhenShown(QObject *context, Answer answer, int timeoutMs = 10000)
{
    auto *poll = new QTimer(context);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll,
                     [poll, deadline = QDeadlineTimer(timeoutMs), answer = std::move(answer)]() mutable {
                         const QPointer<QWidget> modal = QApplication::activeModalWidget();
                         auto *dialog = qobject_cast<Dialog *>(modal.data());
                         if (!dialog && !deadline.hasExpired())
                             return;
                         poll->stop();
                         poll->deleteLater();
                         if (dialog)
                             answer(dialog);
                         if (modal && modal->isVisible())
                             closeModal(modal);
                     });
    poll->start();
}
