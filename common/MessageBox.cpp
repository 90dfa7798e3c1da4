#include "MessageBox.h"

#include "FileError.h"

#include <QAbstractButton>
#include <QCheckBox>

namespace MessageBox {
namespace {
Handler &installedHandler()
{
    static Handler handler;
    return handler;
}
} // namespace

QMessageBox::StandardButton show(const Request &request)
{
    if (installedHandler())
        return installedHandler()(request);
    QMessageBox box(request.icon, request.title, request.text, request.buttons, request.parent);
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
    const auto answer = static_cast<QMessageBox::StandardButton>(box.exec());
    if (request.checked && box.checkBox())
        *request.checked = box.checkBox()->isChecked();
    return answer;
}

void showFileError(QWidget *parent, const QString &programName, const FileError &error)
{
    show({parent, QMessageBox::Critical, programName, error.message(), QMessageBox::Ok});
}

void setHandler(Handler handler)
{
    installedHandler() = std::move(handler);
}

} // namespace MessageBox
