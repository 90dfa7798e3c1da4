#include "CPictureButton.h"

#include "DialogLook.h"
#include "FocusRing.h"

#include <QPainter>

CPictureButton::CPictureButton(const QString &caption, const QString &word, QWidget *parent)
    : QPushButton(word, parent)
    , m_strCaption(caption)
    , m_up(loadFace(caption + QLatin1Char('U')))
    , m_down(loadFace(caption + QLatin1Char('D')))
{
    if (m_up.normal.isNull())
        qWarning("CPictureButton: no picture %sU", qPrintable(caption));
    setAccessibleName(word);
    setProperty(FocusRing::kDrawsOwnRing, true);
    setFlat(true);
    setFixedSize(sizeHint());
}

CPictureButton::Face CPictureButton::loadFace(const QString &name)
{
    const QString base = QLatin1String(kResourceFolder) + name;
    Face face{QPixmap(base + QLatin1String(".png")), QPixmap(base + QLatin1String("@2x.png"))};
    face.normal.setDevicePixelRatio(1.0);
    face.doubled.setDevicePixelRatio(2.0);
    return face;
}

QPixmap CPictureButton::face(bool pressed, qreal devicePixelRatio) const
{
    const Face &face = pressed && !m_down.normal.isNull() ? m_down : m_up;
    return devicePixelRatio > 1.0 && !face.doubled.isNull() ? face.doubled : face.normal;
}

QSize CPictureButton::sizeHint() const
{
    return m_up.normal.isNull() ? QPushButton::sizeHint() : m_up.normal.size();
}

QSize CPictureButton::minimumSizeHint() const
{
    return sizeHint();
}

void CPictureButton::paintEvent(QPaintEvent *event)
{
    const QPixmap picture = face(isDown(), devicePixelRatioF());
    if (picture.isNull()) {
        // A missing picture still leaves a button that can be seen and read.
        QPushButton::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), picture);
    if (hasFocus() && FocusRing::showsKeyboardFocus(this)) {
        // Inside the face's border, clear of its word.
        const qreal width = DialogLook::kFocusRingWidth;
        const qreal inset = kFocusRingInset + width / 2;
        QPen pen(DialogLook::focusRingColor(), width);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        painter.drawRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
    }
}
