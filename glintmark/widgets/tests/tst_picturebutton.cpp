#include "CPictureButton.h"
#include "DialogLook.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

namespace {

const QStringList kCaptions{"ADDCAT", "DELETECAT", "ADDAFFIRM", "DELETEAFFIRM", "OK", "CANCEL"};

// Whether `shown` has the pixels of `face` wherever the face is opaque.
bool showsFace(const QImage &shown, const QImage &face)
{
    if (shown.size() != face.size())
        return false;
    const QImage a = shown.convertToFormat(QImage::Format_ARGB32);
    const QImage b = face.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            if (qAlpha(b.pixel(x, y)) == 255 && a.pixel(x, y) != b.pixel(x, y))
                return false;
    return true;
}

} // namespace

class PictureButtonTest : public QObject
{
    Q_OBJECT

private slots:
    void faces_data()
    {
        QTest::addColumn<QString>("caption");
        for (const QString &caption : kCaptions)
            QTest::newRow(qPrintable(caption)) << caption;
    }
    void faces()
    {
        QFETCH(QString, caption);
        CPictureButton button(caption, "Word");
        QCOMPARE(button.size(), QSize(72, 26));
        QCOMPARE(button.sizeHint(), QSize(72, 26));
        QCOMPARE(button.minimumSize(), button.maximumSize());
        QCOMPARE(button.accessibleName(), QString("Word"));
        for (const qreal ratio : {1.0, 2.0}) {
            const QImage up = button.face(false, ratio).toImage();
            const QImage down = button.face(true, ratio).toImage();
            QCOMPARE(up.size(), QSize(72, 26) * ratio);
            QCOMPARE(down.size(), up.size());
            QCOMPARE(up.devicePixelRatio(), ratio);
            QVERIFY(up != down);
            // A light-blue face inside a dark border.
            const int mid = up.height() / 2;
            QCOMPARE(up.pixelColor(int(4 * ratio), mid), QColor(166, 202, 240));
            QVERIFY(up.pixelColor(0, mid).lightness() < 100);
            QVERIFY(up.pixelColor(up.width() - 1, mid).lightness() < 100);
        }
    }

    // On the screen at hand (1x, or 2x where the test runs with QT_SCALE_FACTOR=2) the button
    // draws the face of that screen, and the pressed face while it is held down.
    void drawsTheFaceOfItsScreen()
    {
        QWidget window;
        auto *button = new CPictureButton("OK", "OK", &window);
        window.resize(100, 40);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const qreal ratio = button->devicePixelRatioF();
        QCOMPARE(ratio, qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble());

        QImage shown = button->grab().toImage();
        QCOMPARE(shown.size(), QSize(72, 26) * ratio);
        QVERIFY(showsFace(shown, button->face(false, ratio).toImage()));

        QTest::mousePress(button, Qt::LeftButton);
        QVERIFY(button->isDown());
        shown = button->grab().toImage();
        QVERIFY(showsFace(shown, button->face(true, ratio).toImage()));
        QVERIFY(!showsFace(shown, button->face(false, ratio).toImage()));

        QTest::mouseRelease(button, Qt::LeftButton);
        QVERIFY(showsFace(button->grab().toImage(), button->face(false, ratio).toImage()));
    }

    void clicksLikeAnyButton()
    {
        CPictureButton button("CANCEL", "Cancel");
        int clicks = 0;
        connect(&button, &QPushButton::clicked, this, [&clicks] { ++clicks; });
        QTest::mouseClick(&button, Qt::LeftButton);
        button.setFocus();
        QTest::keyClick(&button, Qt::Key_Space);
        QCOMPARE(clicks, 2);
    }

    void lookPaintsBackgroundAndStaticTextsOnly()
    {
        QWidget dialog;
        DialogLook::apply(&dialog);
        auto *label = new QLabel("Label", &dialog);
        auto *frame = new QGroupBox("Frame", &dialog);
        auto *inside = new QPushButton("Inside", frame);
        auto *layout = new QVBoxLayout(&dialog);
        layout->addWidget(label);
        layout->addWidget(frame);
        (new QVBoxLayout(frame))->addWidget(inside);
        DialogLook::setLabelFont(label);
        DialogLook::setLabelFont(frame);

        QCOMPARE(DialogLook::background(), QColor(153, 204, 255));
        QCOMPARE(dialog.palette().color(QPalette::Window), QColor(153, 204, 255));
        QCOMPARE(label->palette().color(QPalette::Window), QColor(153, 204, 255));
        QVERIFY(dialog.autoFillBackground());
        for (QWidget *w : {static_cast<QWidget *>(label), static_cast<QWidget *>(frame)}) {
            QCOMPARE(w->font().family(), QString("Arial"));
            QCOMPARE(w->font().pixelSize(), 14);
            QCOMPARE(w->font().weight(), QFont::Bold);
        }
        QCOMPARE(inside->font(), dialog.font());

        dialog.resize(200, 150);
        const QImage shown = dialog.grab().toImage();
        QCOMPARE(shown.pixelColor(1, 1), QColor(153, 204, 255));
        // Arial is found on the desktop, as the label font asks.
        QCOMPARE(QFontInfo(label->font()).pixelSize(), 14);
        QVERIFY(QFontInfo(label->font()).bold());
    }
};

QTEST_MAIN(PictureButtonTest)
#include "tst_picturebutton.moc"
