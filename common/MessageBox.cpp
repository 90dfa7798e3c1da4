#include "MessageBox.h"

#include "FileError.h"

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
    return static_cast<QMessageBox::StandardButton>(box.exec());
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
