// The application around the main window: it runs until the user leaves the window, and
// hiding the window (as in the notification area) or closing a message box does not end it.

#include "FlashApp.h"
#include "FlashDlg.h"
#include "MessageBox.h"

#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

CFlashDlg *mainWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<CFlashDlg *>(widget))
            return dialog;
    }
    return nullptr;
}

} // namespace

class FlashAppTest : public QObject
{
    Q_OBJECT

private slots:
    void runsUntilTheWindowIsLeft()
    {
        QCOMPARE(QApplication::applicationName(), QStringLiteral("Glintmark"));
        QVERIFY(!QApplication::quitOnLastWindowClosed());
        QTemporaryDir dir;
        QTemporaryDir settings;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
        QFile list(dir.filePath("List.txt"));
        QVERIFY(list.open(QIODevice::WriteOnly) && list.write("Calm;I breathe;") == 15);
        list.close();
        QList<QString> messages;
        MessageBox::setHandler([&](const MessageBox::Request &request) {
            messages << request.text;
            return QMessageBox::Ok;
        });

        QStringList steps;
        QTimer::singleShot(0, qApp, [&] {
            CFlashDlg *window = mainWindow();
            if (!window || !window->isVisible())
                return;
            steps << "shown";
            window->hide();
            QTimer::singleShot(100, qApp, [&, window] {
                steps << "still running while hidden";
                window->show();
                // A window of the program's own that closes ends nothing either.
                auto *other = new QWidget;
                other->setAttribute(Qt::WA_DeleteOnClose);
                other->show();
                other->close();
                QTimer::singleShot(100, qApp, [&, window] {
                    steps << "still running after another window closed";
                    window->findChild<QPushButton *>(QStringLiteral("exit"))->click();
                });
            });
        });
        auto *app = static_cast<CFlashApp *>(qApp);
        QCOMPARE(app->InitInstance({dir.path(), dir.filePath("user"), dir.filePath("share")}), 0);
        QCOMPARE(steps, (QStringList{"shown", "still running while hidden", "still running after another window closed"}));
        QVERIFY(!mainWindow());
        // Started without "check.txt" and "font.dat", left with all three written.
        QCOMPARE(messages.size(), 2);
        QCOMPARE(QFileInfo(dir.filePath("check.txt")).size(), 10000);
        QCOMPARE(QFileInfo(dir.filePath("font.dat")).size(), 44);
        MessageBox::setHandler({});
    }
};

int main(int argc, char *argv[])
{
    CFlashApp app(argc, argv);
    FlashAppTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_flashapp.moc"
