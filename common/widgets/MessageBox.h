#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>
#include <utility>

struct FileError;

// The one way the programs show message boxes. Tests install a handler that answers in place
// of the user, so no modal loop runs.
namespace MessageBox {

struct Request
{
    QWidget *parent = nullptr;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    // A check box under the text (e.g. "Don't show this message again") when not empty. Its
    // state when the box closes is written to *checked, which also gives its initial state.
    QString checkBoxText = {};
    bool *checked = nullptr;
    // A second, smaller paragraph under the text, when not empty.
    QString informativeText = {};
    // Own wording for some of `buttons`, where the standard one would not say what they do.
    QList<std::pair<QMessageBox::StandardButton, QString>> buttonTexts = {};
    // The button Enter presses; NoButton leaves the choice to the box.
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    // The button Esc and the close box answer with; NoButton leaves the choice to the box.
    QMessageBox::StandardButton escapeButton = QMessageBox::NoButton;
};

using Handler = std::function<QMessageBox::StandardButton(const Request &)>;

QMessageBox::StandardButton show(const Request &request);

// A file error as the programs report it: stop icon, the program's name as caption; `details`,
// when not empty, on a line of its own below the fixed text.
void showFileError(QWidget *parent, const QString &programName, const FileError &error,
                   const QString &details = {});

// Replaces the dialog with `handler` until it is reset with an empty one.
void setHandler(Handler handler);

// Closes the boxes open now as a user who only dismisses them would; later boxes show as usual.
void dismissOpenBoxes();

// Nobody is there to answer (the program is being ended from outside): boxes open now close,
// later ones are not shown but written to standard error, and all are answered as a user who
// only dismisses them would.
void setUnattended(bool unattended);
bool isUnattended();

} // namespace MessageBox
