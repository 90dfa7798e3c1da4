#pragma once

#include <QFocusFrame>
#include <QList>
#include <QPointer>

// A dark ring around whichever control of one window has the keyboard focus, drawn just outside
// the control and above whatever lies there, so that the focus shows as plainly under any style.
// As with the styles' own marks, it shows once the keyboard has moved the focus in that window
// (Tab, an arrow key between buttons, a mnemonic), not for a window only used with the mouse.
// Controls that draw a ring of their own (see kDrawsOwnRing) are left to themselves. Being a
// focus frame keeps it out of what screen readers are shown.
class FocusRing : public QFocusFrame
{
    Q_OBJECT

public:
    // A control with this property set true draws its own focus ring.
    static constexpr char kDrawsOwnRing[] = "drawsOwnFocusRing";
    // The empty band between a control and its ring.
    static constexpr int kGap = 1;

    explicit FocusRing(QWidget *window);

    // Whether focus rings show in the window of `widget`.
    static bool showsKeyboardFocus(const QWidget *widget);

    // The control ringed now, or null.
    QWidget *ringed() const { return m_ringed; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void follow(QWidget *focused);
    void place();
    void stopWatching();

    QPointer<QWidget> m_ringed;
    // The control and the widgets it sits in up to the window: any of them moving moves it.
    QList<QPointer<QWidget>> m_watched;
};
