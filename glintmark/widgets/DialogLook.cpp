#include "DialogLook.h"

#include <QGroupBox>
#include <QPalette>
#include <QWidget>

namespace DialogLook {

QColor background()
{
    return QColor::fromRgb(kBackground);
}

QFont labelFont()
{
    QFont font(QString::fromLatin1(kLabelFace));
    font.setPixelSize(kLabelPixelSize);
    font.setBold(true);
    return font;
}

void apply(QWidget *dialog)
{
    QPalette palette = dialog->palette();
    palette.setColor(QPalette::Window, background());
    dialog->setPalette(palette);
    dialog->setAutoFillBackground(true);
}

void setLabelFont(QWidget *labelOrFrame)
{
    if (qobject_cast<QGroupBox *>(labelOrFrame)) {
        QFont inherited = labelOrFrame->font();
        inherited.setResolveMask(QFont::AllPropertiesResolved);
        for (QWidget *child : labelOrFrame->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (!child->testAttribute(Qt::WA_SetFont))
                child->setFont(inherited);
        }
    }
    labelOrFrame->setFont(labelFont());
}

} // namespace DialogLook
