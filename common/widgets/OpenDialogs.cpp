#include "OpenDialogs.h"

#include "MessageBox.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>

void dismissOpenDialogs(const QWidget *owner)
{
    while (QWidget *popup = QApplication::activePopupWidget()) {
        if (!popup->close())
            break;
    }
    MessageBox::dismissOpenBoxes();
    // Innermost first, so that no dialog is told to close while one it opened still waits.
    QList<QPointer<QDialog>> open;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *dialog = qobject_cast<QDialog *>(widget);
        if (dialog && dialog != owner && dialog->isVisible() && dialog->isModal())
            open.append(dialog);
    }
    while (QWidget *active = QApplication::activeModalWidget()) {
        auto *dialog = qobject_cast<QDialog *>(active);
        if (!dialog || dialog == owner || !dialog->isVisible())
            break;
        open.removeAll(dialog);
        dialog->reject();
        if (dialog->isVisible())
            break; // it would not close: the others still get their turn below
    }
    for (const QPointer<QDialog> &dialog : std::as_const(open)) {
        if (dialog && dialog->isVisible())
            dialog->reject();
    }
}
