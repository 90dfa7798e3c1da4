#include "FocusRing.h"

#include "DialogLook.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>

FocusRing::FocusRing(QWidget *window)
    : QFocusFrame(window)
{
    setObjectName(QStringLiteral("focusRing"));
    hide();
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) { follow(now); });
    window->installEventFilter(this);
    follow(QApplication::focusWidget());
}

bool FocusRing::showsKeyboardFocus(const QWidget *widget)
{
    return widget->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void FocusRing::follow(QWidget *focused)
{
    const bool ours = focused && focused != parentWidget() && focused->window() == parentWidget()
        && !focused->property(kDrawsOwnRing).toBool() && showsKeyboardFocus(parentWidget());
    stopWatching();
    m_ringed = ours ? focused : nullptr;
    if (m_ringed) {
        for (QWidget *widget = m_ringed; widget && widget != parentWidget(); widget = widget->parentWidget()) {
            widget->installEventFilter(this);
            m_watched.append(widget);
        }
    }
    place();
}

void FocusRing::stopWatching()
{
    for (const QPointer<QWidget> &widget : std::as_const(m_watched)) {
        if (widget)
            widget->removeEventFilter(this);
    }
    m_watched.clear();
}

void FocusRing::place()
{
    if (!m_ringed || !m_ringed->isVisible()) {
        hide();
        return;
    }
    const int margin = kGap + DialogLook::kFocusRingWidth;
    const QRect around(m_ringed->mapTo(parentWidget(), QPoint(0, 0)), m_ringed->size());
    setGeometry(around.adjusted(-margin, -margin, margin, margin));
    const int width = DialogLook::kFocusRingWidth;
    setMask(QRegion(rect()) - QRegion(rect().adjusted(width, width, -width, -width)));
    raise();
    show();
    update();
}

bool FocusRing::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::LayoutRequest:
        // Queued: the layout moving a frame may not have moved the control in it yet.
        if (watched == parentWidget() || m_watched.contains(qobject_cast<QWidget *>(watched)))
            QMetaObject::invokeMethod(this, &FocusRing::place, Qt::QueuedConnection);
        break;
    default:
        break;
    }
    return false;
}

void FocusRing::paintEvent(QPaintEvent *)
{
    if (!m_ringed)
        return;
    QPainter painter(this);
    const int width = DialogLook::kFocusRingWidth;
    QPen pen(DialogLook::focusRingColor(), width);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.drawRect(QRectF(rect()).adjusted(width / 2.0, width / 2.0, -width / 2.0, -width / 2.0));
}
