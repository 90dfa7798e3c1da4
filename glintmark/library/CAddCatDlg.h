#pragma once

#include <QDialog>
#include <QString>

class CPictureButton;
class QLabel;
class QLineEdit;

// Asks for one line of text, the name of a new category or a new affirmation, under a heading
// and a label that the caller chooses. Refuses an empty text and one that holds ";", the field
// separator of the library file. The text is handed back exactly as typed; of text pasted over
// several lines the box keeps the first line.
class CAddCatDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr char kTitle[] = "Add new category";
    static constexpr char kEmptyText[] = "Enter category name";
    static constexpr char kSeparatorText[] = "A text cannot contain a semicolon (;).";

    CAddCatDlg(const QString &heading, const QString &label, QWidget *parent = nullptr);

    // The text accepted by OK; read it after exec() returned QDialog::Accepted.
    QString text() const { return m_strText; }

public slots:
    // OK and the Enter key: accepts a text that may be stored, else says why not and stays open.
    void OnOK();

private:
    QString m_strText;
    QString m_strHeading;
    QString m_strLabel;

    CPictureButton *m_btnOk = nullptr;
    CPictureButton *m_btnCancel = nullptr;
    QLabel *m_staticLabel = nullptr;
    QLineEdit *m_editText = nullptr;
    QLabel *m_staticHeading = nullptr;
};
