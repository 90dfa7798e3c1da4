#include "AboutDlg.h"

#include "Program.h"
#include "TonewellVersion.h"
#include "WindowFrame.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Tonewell"));
    setAccessibleName(windowTitle());

    auto *icon = new QLabel(this);
    icon->setPixmap(programIcon().pixmap(32, 32));
    icon->setAccessibleName(QStringLiteral("Tonewell icon"));

    auto *version = new QLabel(QStringLiteral("Tonewell Version ") + QLatin1String(kProgramVersion), this);
    version->setObjectName(QStringLiteral("version"));
    version->setAccessibleName(version->text());
    auto *blurb = new QLabel(kProgramSummary, this);
    blurb->setAccessibleName(blurb->text());
    auto *copyright = new QLabel(QString::fromUtf8(kProgramCopyright), this);
    copyright->setObjectName(QStringLiteral("copyright"));
    copyright->setAccessibleName(copyright->text());
    auto *licence = new QLabel(QStringLiteral("Free software under the GNU GPL, version 3 or later."), this);
    licence->setAccessibleName(licence->text());

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    QPushButton *ok = buttons->button(QDialogButtonBox::Ok);
    ok->setText(QStringLiteral("OK"));
    ok->setAccessibleName(QStringLiteral("OK"));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *texts = new QVBoxLayout;
    texts->addWidget(version);
    texts->addWidget(blurb);
    texts->addWidget(copyright);
    texts->addWidget(licence);
    texts->addStretch();
    auto *row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addLayout(texts, 1);
    row->addWidget(buttons, 0, Qt::AlignTop);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    WindowFrame::keepFixed(this);
}
