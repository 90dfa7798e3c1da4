#include "CAddCatDlg.h"

#include "CPictureButton.h"
#include "DialogLook.h"
#include "LibraryEdit.h"
#include "MessageBox.h"
#include "WindowFrame.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QValidator>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kEditBoxCharacters = 38;

// Keeps the box to one line whatever is pasted into it.
class OneLineValidator : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString &input, int &pos) const override
    {
        const QString line = LibraryEdit::firstLine(input);
        if (line.size() != input.size()) {
            input = line;
            pos = std::min(pos, int(line.size()));
        }
        return Acceptable;
    }
};

QLabel *staticText(const QString &text, const char *objectName, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(objectName));
    label->setTextFormat(Qt::PlainText);
    label->setAccessibleName(text);
    return label;
}

} // namespace

CAddCatDlg::CAddCatDlg(const QString &heading, const QString &label, QWidget *parent)
    : QDialog(parent)
    , m_strHeading(heading)
    , m_strLabel(label)
{
    setWindowTitle(QLatin1String(kTitle));
    setAccessibleName(QLatin1String(kTitle));
    setAccessibleDescription(m_strHeading);
    DialogLook::apply(this);

    // Created in the tab order: the focus starts on OK, not in the edit box.
    m_btnOk = new CPictureButton(QStringLiteral("OK"), QStringLiteral("OK"), this);
    m_btnOk->setObjectName(QStringLiteral("ok"));
    m_btnOk->setDefault(true);
    m_btnCancel = new CPictureButton(QStringLiteral("CANCEL"), QStringLiteral("Cancel"), this);
    m_btnCancel->setObjectName(QStringLiteral("cancel"));

    m_staticLabel = staticText(m_strLabel, "label", this);
    DialogLook::setLabelFont(m_staticLabel);
    m_editText = new QLineEdit(this);
    m_editText->setObjectName(QStringLiteral("text"));
    m_editText->setAccessibleName(m_strLabel);
    m_editText->setValidator(new OneLineValidator(m_editText));
    // Room for a name of some 38 characters in the box's own font, so the prompt grows with it.
    m_editText->setMinimumWidth(kEditBoxCharacters * m_editText->fontMetrics().averageCharWidth());
    m_staticLabel->setBuddy(m_editText);
    m_staticHeading = staticText(m_strHeading, "heading", this);
    m_staticHeading->setWordWrap(true);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_btnOk);
    buttons->addSpacing(16);
    buttons->addWidget(m_btnCancel);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    // The size the contents ask for, which follows the system font; with no size to choose,
    // window managers offer neither resizing nor maximising.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    WindowFrame::keepFixed(this);
    layout->setContentsMargins(36, 18, 36, 14);
    layout->addWidget(m_staticHeading);
    layout->addSpacing(8);
    layout->addWidget(m_staticLabel);
    layout->addWidget(m_editText);
    layout->addSpacing(14);
    layout->addLayout(buttons);

    connect(m_btnOk, &QPushButton::clicked, this, &CAddCatDlg::OnOK);
    connect(m_btnCancel, &QPushButton::clicked, this, &CAddCatDlg::reject);
}

void CAddCatDlg::OnOK()
{
    m_strText = m_editText->text();
    const char *refusal = nullptr;
    if (m_strText.isEmpty())
        refusal = kEmptyText;
    else if (LibraryEdit::containsFieldSeparator(m_strText))
        refusal = kSeparatorText;
    if (refusal) {
        MessageBox::show({.parent = this, .title = QCoreApplication::applicationName(), .text = QLatin1String(refusal)});
        return;
    }
    accept();
}
