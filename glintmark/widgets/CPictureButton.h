#pragma once

#include <QPixmap>
#include <QPushButton>
#include <QString>

// A button drawn from two pictures named by its caption: caption + "U" up, caption + "D"
// pressed, each with a double-resolution "@2x" version for 2x screens. It takes the size of
// its pictures. The word on the pictures is its text for accessibility and keyboard users.
// Focused, it draws a dark ring of its own on its face: a style's faint mark would vanish there.
class CPictureButton : public QPushButton
{
    Q_OBJECT

public:
    // Where the pictures live in the program's resources.
    static constexpr char kResourceFolder[] = ":/glintmark/buttons/";
    // How far inside the button's edge its focus ring lies.
    static constexpr int kFocusRingInset = 3;

    CPictureButton(const QString &caption, const QString &word, QWidget *parent = nullptr);

    QString caption() const { return m_strCaption; }
    // The face drawn on a screen of the given pixel ratio.
    QPixmap face(bool pressed, qreal devicePixelRatio) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Face
    {
        QPixmap normal;
        QPixmap doubled;
    };
    static Face loadFace(const QString &name);

    QString m_strCaption;
    Face m_up;
    Face m_down;
};
