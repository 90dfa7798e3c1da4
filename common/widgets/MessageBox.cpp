#include "MessageBox.h"

#include "FileError.h"
#include "WindowFrame.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QPointer>

#include <cstdio>

namespace MessageBox {
namespace {
Handler &installedHandler()
{
    static Handler handler;
    return handler;
}

bool g_unattended = false;
// The boxes waiting for an answer now, innermost last.
QList<QPointer<QMessageBox>> g_openBoxes;

// Set on a box that was closed for the user, who then answered nothing.
constexpr char kDismissedProperty[] = "dismissedForTheUser";

// What a user who only dismisses the box would answer.
QMessageBox::StandardButton dismissal(const Request &request)
{
    if (request.escapeButton != QMessageBox::NoButton)
        return request.escapeButton;
    if (request.defaultButton != QMessageBox::NoButton)
        return request.defaultButton;
    for (unsigned bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1) {
        if (request.buttons.testFlag(QMessageBox::StandardButton(bit)))
            return QMessageBox::StandardButton(bit);
    }
    return QMessageBox::NoButton;
}
} // namespace

QMessageBox::StandardButton show(const Request &request)
{
    if (g_unattended) {
        const QByteArray line = (request.title + QStringLiteral(": ") + request.text + QLatin1Char('\n')).toLocal8Bit();
        std::fputs(line.constData(), stderr);
        return dismissal(request);
    }
    if (installedHandler())
        return installedHandler()(request);
    QMessageBox box(request.icon, request.title, request.text, request.buttons, request.parent);
    WindowFrame::keepOffTaskBar(&box);
    if (!request.checkBoxText.isEmpty()) {
        auto *checkBox = new QCheckBox(request.checkBoxText, &box);
        checkBox->setAccessibleName(request.checkBoxText);
        checkBox->setChecked(request.checked && *request.checked);
        box.setCheckBox(checkBox);
    }
    box.setInformativeText(request.informativeText);
    for (const auto &[button, text] : request.buttonTexts) {
        if (QAbstractButton *shown = box.button(button)) {
            shown->setText(text);
            shown->setAccessibleName(text);
        }
    }
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    if (request.escapeButton != QMessageBox::NoButton)
        box.setEscapeButton(request.escapeButton);
    g_openBoxes.append(&box);
    const int result = box.exec();
    g_openBoxes.removeAll(&box);
    const bool dismissed = g_unattended || box.property(kDismissedProperty).toBool();
    const auto answer = dismissed ? dismissal(request) : static_cast<QMessageBox::StandardButton>(result);
    if (request.checked && box.checkBox())
        *request.checked = box.checkBox()->isChecked();
    return answer;
}

void showFileError(QWidget *parent, const QString &programName, const FileError &error, const QString &details)
{
    show({.parent = parent,
          .icon = QMessageBox::Critical,
          .title = programName,
          .text = error.message(),
          .informativeText = details});
}

void setHandler(Handler handler)
{
    installedHandler() = std::move(handler);
}

void dismissOpenBoxes()
{
    for (const QPointer<QMessageBox> &box : std::as_const(g_openBoxes)) {
        if (box) {
            box->setProperty(kDismissedProperty, true);
            box->done(QMessageBox::NoButton);
        }
    }
}

void setUnattended(bool unattended)
{
    g_unattended = unattended;
    if (unattended)
        dismissOpenBoxes();
}

bool isUnattended()
{
    return g_unattended;
}

} // namespace MessageBox
