// Tonewell as assistive tools see it through Qt's accessibility interfaces, offscreen: labels
// read as what they show, both lists chosen through the interface as a click chooses, the
// program list holding its choice while playing, Tab's order, and the sound error as an alert.

#include "BeatDlg.h"
#include "MemoryWaveOut.h"
#include "MessageBoxRecorder.h"
#include "ModalAnswer.h"
#include "TestFiles.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const QByteArray kCatalogue("Alpha 10 Hz;For a calm, alert state.;200;10;\r\n"
                            "Theta 6 Hz;For winding down.;150;6;\r\n"
                            "Beta 18 Hz;For active work.;220;18;\r\n");

QAccessibleInterface *accessible(QObject *object)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    if (!iface)
        qFatal("no accessible interface for %s", object->metaObject()->className());
    return iface;
}

struct Window
{
    Window()
    {
        if (!writeWholeFile(dir.filePath("data.dat"), kCatalogue))
            qFatal("cannot write data.dat");
        dialog = std::make_unique<CBeatDlg>(QStringList{dir.path()}, std::unique_ptr<WaveOut>(device));
    }
    template <typename T> T *child(const char *name) const
    {
        T *widget = dialog->findChild<T *>(QLatin1String(name));
        if (!widget)
            qFatal("no child %s", name);
        return widget;
    }
    QListWidget *programs() const { return child<QListWidget>("programs"); }
    QListWidget *stopAfter() const { return child<QListWidget>("stopAfter"); }
    QLabel *description() const { return child<QLabel>("description"); }

    QTemporaryDir dir;
    MemoryWaveOut *device = new MemoryWaveOut;
    std::unique_ptr<CBeatDlg> dialog;
};

} // namespace

class AccessibilityTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_messages.emplace(); }
    void cleanup() { m_messages.reset(); }

    void labelsReadAsShown()
    {
        Window w;
        w.dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.dialog.get()));
        for (const char *name : {"notice", "description"}) {
            QAccessibleInterface *label = accessible(w.child<QLabel>(name));
            QCOMPARE(label->role(), QAccessible::StaticText);
            QCOMPARE(label->text(QAccessible::Name), w.child<QLabel>(name)->text());
        }
        QCOMPARE(accessible(w.description())->text(QAccessible::Name), QStringLiteral("For a calm, alert state."));
        w.programs()->setCurrentRow(2);
        QCOMPARE(accessible(w.description())->text(QAccessible::Name), QStringLiteral("For active work."));
        QVERIFY(accessible(w.child<QLabel>("timeLeft"))->state().invisible);
        const std::pair<const char *, QAccessible::Role> controls[] = {{"play", QAccessible::PushButton},
                                                                      {"programs", QAccessible::List},
                                                                      {"stopAfter", QAccessible::List},
                                                                      {"help", QAccessible::PushButton},
                                                                      {"exit", QAccessible::PushButton}};
        for (const auto &[name, role] : controls) {
            QAccessibleInterface *control = accessible(w.child<QWidget>(name));
            QCOMPARE(control->role(), role);
            QVERIFY2(!control->text(QAccessible::Name).isEmpty(), name);
        }
    }

    void listsTakeAnAssistiveChoice_data()
    {
        QTest::addColumn<int>("program");
        QTest::addColumn<int>("stopAfter");
        QTest::addColumn<bool>("byToggle");
        QTest::newRow("rows selected") << 2 << 0 << false;
        QTest::newRow("entries toggled") << 1 << 7 << true;
        QTest::newRow("the chosen ones again") << 0 << 3 << true;
    }

    // An entry chosen through the accessibility interface is the list's choice: the program's
    // description shows, and Play plays it for the minutes chosen.
    void listsTakeAnAssistiveChoice()
    {
        QFETCH(int, program);
        QFETCH(int, stopAfter);
        QFETCH(bool, byToggle);
        Window w;
        w.dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.dialog.get()));
        const auto choose = [byToggle](QListWidget *list, int row) {
            QAccessibleInterface *iface = accessible(list);
            if (byToggle)
                iface->tableInterface()->cellAt(row, 0)->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
            else
                QVERIFY(iface->tableInterface()->selectRow(row));
        };
        choose(w.programs(), program);
        choose(w.stopAfter(), stopAfter);
        QCOMPARE(w.programs()->currentRow(), program);
        QCOMPARE(w.stopAfter()->currentRow(), stopAfter);
        QCOMPARE(w.programs()->selectedItems(), QList<QListWidgetItem *>{w.programs()->currentItem()});
        QCOMPARE(accessible(w.programs())->tableInterface()->selectedRows(), QList<int>{program});
        QCOMPARE(w.description()->text(), QString::fromLatin1(kCatalogue.split('\n')[program].split(';')[1]));

        w.dialog->OnPlay();
        QTRY_COMPARE(accessible(w.child<QPushButton>("play"))->text(QAccessible::Name), QStringLiteral("Stop"));
        QCOMPARE(w.child<QTimer>("stopTimer")->interval(), CBeatDlg::kStopAfter[stopAfter].minutes * 60000);

        // Playing, the program list keeps its program however another is asked for.
        const int other = (program + 1) % 3;
        accessible(w.programs())->tableInterface()->selectRow(other);
        accessible(w.programs())->tableInterface()->cellAt(other, 0)->actionInterface()->doAction(
            QAccessibleActionInterface::toggleAction());
        QCOMPARE(w.programs()->currentRow(), program);
        QCOMPARE(accessible(w.programs())->tableInterface()->selectedRows(), QList<int>{program});
        w.dialog->OnPlay();
    }

    void tabOrder()
    {
        Window w;
        w.dialog->show();
        QVERIFY(QTest::qWaitForWindowActive(w.dialog.get()));
        QStringList visited;
        for (int i = 0; i < 7; ++i) {
            visited << accessible(QApplication::focusWidget())->text(QAccessible::Name);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(visited, (QStringList{"Play", "Programs", "Stop after", "Fade out at the end", "Help", "Exit", "Play"}));
    }

    void soundErrorIsAnAlert()
    {
        m_messages.reset();
        Window w;
        w.device->setFailOpen(true);
        w.dialog->show();
        QAccessible::Role role = QAccessible::NoRole;
        QString text;
        answerModalWhenShown<QMessageBox>(w.dialog.get(), [&](QMessageBox *box) {
            role = accessible(box)->role();
            text = accessible(box)->text(QAccessible::Value);
        });
        w.dialog->OnPlay();
        QTRY_COMPARE(role, QAccessible::AlertMessage);
        QCOMPARE(text, QStringLiteral("ERROR: Can't open the SoundServer."));
    }

private:
    std::optional<MessageBoxRecorder> m_messages;
};

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
