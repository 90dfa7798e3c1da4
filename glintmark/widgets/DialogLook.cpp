#include "DialogLook.h"

#include "FocusRing.h"

#include <QGroupBox>
#include <QWidget>

namespace DialogLook {

namespace {

struct RoleColors
{
    QPalette::ColorRole role;
    QRgb enabled;  // active and inactive windows alike
    QRgb disabled;
};

// Each text colour stands beside the background it is drawn on. Enabled texts reach at least
// 7:1 against their backgrounds, greyed ones at least 3.7:1; the selection keeps 3:1 against
// the white fields around it.
constexpr RoleColors kRoleColors[] = {
    {QPalette::Window, kBackground, kBackground},
    {QPalette::WindowText, 0xFF000000, 0xFF4F6175},
    {QPalette::Base, 0xFFFFFFFF, 0xFFF4F4F4},
    {QPalette::AlternateBase, 0xFFEEF5FD, 0xFFF4F4F4},
    {QPalette::Text, 0xFF000000, 0xFF707070},
    {QPalette::PlaceholderText, 0xFF595959, 0xFF7A7A7A},
    {QPalette::Button, 0xFFF0F0F0, 0xFFF4F4F4},
    {QPalette::ButtonText, 0xFF000000, 0xFF707070},
    {QPalette::Highlight, 0xFF0B4F9C, 0xFF6F86A0},
    {QPalette::HighlightedText, 0xFFFFFFFF, 0xFFFFFFFF},
    {QPalette::ToolTipBase, 0xFFFFFFDC, 0xFFFFFFDC},
    {QPalette::ToolTipText, 0xFF000000, 0xFF000000},
    {QPalette::Link, 0xFF0B4F9C, 0xFF4F6175},
    {QPalette::LinkVisited, 0xFF5A2D91, 0xFF4F6175},
    {QPalette::BrightText, 0xFFFFFFFF, 0xFFFFFFFF},
    // The shades of raised and sunken edges, from the buttons' face.
    {QPalette::Light, 0xFFFFFFFF, 0xFFFFFFFF},
    {QPalette::Midlight, 0xFFE3E3E3, 0xFFE8E8E8},
    {QPalette::Mid, 0xFFA0A0A0, 0xFFB4B4B4},
    {QPalette::Dark, 0xFF787878, 0xFF9A9A9A},
    {QPalette::Shadow, 0xFF000000, 0xFF505050},
};

} // namespace

QColor background()
{
    return QColor::fromRgb(kBackground);
}

QColor focusRingColor()
{
    return QColor::fromRgb(kFocusRing);
}

QFont labelFont()
{
    QFont font(QString::fromLatin1(kLabelFace));
    font.setPixelSize(kLabelPixelSize);
    font.setBold(true);
    return font;
}

QPalette palette()
{
    QPalette palette;
    for (const RoleColors &colors : kRoleColors) {
        palette.setColor(QPalette::Active, colors.role, QColor::fromRgb(colors.enabled));
        palette.setColor(QPalette::Inactive, colors.role, QColor::fromRgb(colors.enabled));
        palette.setColor(QPalette::Disabled, colors.role, QColor::fromRgb(colors.disabled));
    }
    return palette;
}

void apply(QWidget *dialog)
{
    dialog->setPalette(palette());
    dialog->setAutoFillBackground(true);
    new FocusRing(dialog);
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
