#include "CAddCatDlg.h"
#include "CPictureButton.h"
#include "DialogLook.h"
#include "DisplayText.h"
#include "MessageBoxRecorder.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <functional>
#include <optional>

namespace {

QLineEdit *edit(const CAddCatDlg &prompt)
{
    return prompt.findChild<QLineEdit *>(QStringLiteral("text"));
}
CPictureButton *button(const CAddCatDlg &prompt, const char *name)
{
    return prompt.findChild<CPictureButton *>(QLatin1String(name));
}
QLabel *label(const CAddCatDlg &prompt, const char *name)
{
    return prompt.findChild<QLabel *>(QLatin1String(name));
}

// Types `text` into the box, one key press per character.
void type(QLineEdit *box, const QString &text)
{
    for (const uint codePoint : text.toUcs4())
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString::fromUcs4(reinterpret_cast<const char32_t *>(&codePoint), 1), {});
}

// Ends the prompt the given way.
void finish(CAddCatDlg &prompt, const QString &how)
{
    if (how == "click OK")
        QTest::mouseClick(button(prompt, "ok"), Qt::LeftButton);
    else if (how == "Enter")
        QTest::keyClick(edit(prompt), Qt::Key_Return);
    else if (how == "keypad Enter")
        QTest::keyClick(edit(prompt), Qt::Key_Enter, Qt::KeypadModifier);
    else if (how == "click Cancel")
        QTest::mouseClick(button(prompt, "cancel"), Qt::LeftButton);
    else if (how == "Esc")
        QTest::keyClick(edit(prompt), Qt::Key_Escape);
    else if (how == "close box")
        prompt.close();
    else
        qFatal("unknown way %s", qPrintable(how));
}

} // namespace

class AddCatDlgTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_messages.emplace(); }
    void cleanup() { m_messages.reset(); }

    void showsTheCallersTexts_data()
    {
        QTest::addColumn<QString>("heading");
        QTest::addColumn<QString>("label");
        QTest::newRow("category") << "Here you can add your own category" << "Category name:";
        QTest::newRow("affirmation") << "Adding to 'Health'" << "Your affirmation:";
        QTest::newRow("markup stays text") << "Adding to '<b>Bold</b> &amp;'" << "Your affirmation:";
    }
    void showsTheCallersTexts()
    {
        QFETCH(QString, heading);
        QFETCH(QString, label);
        CAddCatDlg prompt(heading, label);
        QCOMPARE(prompt.windowTitle(), QString("Add new category"));
        QCOMPARE(::label(prompt, "heading")->text(), heading);
        QCOMPARE(::label(prompt, "label")->text(), label);
        QCOMPARE(::label(prompt, "heading")->textFormat(), Qt::PlainText);
        QCOMPARE(::label(prompt, "label")->textFormat(), Qt::PlainText);
        QCOMPARE(edit(prompt)->accessibleName(), label);
        QCOMPARE(::label(prompt, "label")->buddy(), edit(prompt));
        QVERIFY(edit(prompt)->text().isEmpty());
        QVERIFY(prompt.text().isEmpty());
    }

    void lookAndFocus()
    {
        CAddCatDlg prompt("Here you can add your own category", "Category name:");
        const QFont label = ::label(prompt, "label")->font();
        QCOMPARE(label.family(), QString("Arial"));
        QCOMPARE(label.pixelSize(), 14);
        QVERIFY(label.bold());
        QCOMPARE(::label(prompt, "heading")->font(), prompt.font());
        QCOMPARE(edit(prompt)->font(), prompt.font());
        QVERIFY(!prompt.font().bold());

        QCOMPARE(button(prompt, "ok")->caption(), QString("OK"));
        QCOMPARE(button(prompt, "ok")->accessibleName(), QString("OK"));
        QCOMPARE(button(prompt, "cancel")->caption(), QString("CANCEL"));
        QCOMPARE(button(prompt, "cancel")->accessibleName(), QString("Cancel"));
        QCOMPARE(button(prompt, "ok")->size(), QSize(72, 26));
        QCOMPARE(button(prompt, "cancel")->size(), QSize(72, 26));

        QWidget *focus = nullptr;
        QImage shown;
        QTimer::singleShot(0, &prompt, [&] {
            if (QTest::qWaitForWindowActive(&prompt))
                focus = QApplication::focusWidget();
            shown = prompt.grab().toImage();
            prompt.reject();
        });
        QCOMPARE(prompt.exec(), int(QDialog::Rejected));
        // The focus starts on OK; typing needs a click into the box first.
        QCOMPARE(focus, button(prompt, "ok"));
        // The background is light blue, the edit box keeps its own colour.
        QCOMPARE(shown.pixelColor(2, 2), QColor(153, 204, 255));
        const QRect box = edit(prompt)->geometry();
        QCOMPARE(shown.pixelColor(box.center()), edit(prompt)->palette().color(QPalette::Base));
        QVERIFY(edit(prompt)->palette().color(QPalette::Base) != QColor(153, 204, 255));
    }

    void answers_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("message");

        const QString none;
        QTest::newRow("click OK") << "Health" << "click OK" << true << none;
        QTest::newRow("Enter") << "Health" << "Enter" << true << none;
        QTest::newRow("keypad Enter") << "Health" << "keypad Enter" << true << none;
        QTest::newRow("blanks only") << "   " << "click OK" << true << none;
        QTest::newRow("blanks kept") << "  I am calm " << "Enter" << true << none;
        QTest::newRow("any script") << QString::fromUtf8("Ça va, 平静 😀") << "click OK" << true << none;
        QTest::newRow("empty, OK") << "" << "click OK" << false << "Enter category name";
        QTest::newRow("empty, Enter") << "" << "Enter" << false << "Enter category name";
        QTest::newRow("semicolon") << "calm;focused" << "click OK" << false << "A text cannot contain a semicolon (;).";
        QTest::newRow("semicolon alone, Enter") << ";" << "Enter" << false << "A text cannot contain a semicolon (;).";
        QTest::newRow("Cancel after typing") << "Health" << "click Cancel" << false << none;
        QTest::newRow("Esc after typing") << "Health" << "Esc" << false << none;
        QTest::newRow("close box after typing") << "Health" << "close box" << false << none;
        QTest::newRow("Esc with a semicolon") << "a;b" << "Esc" << false << none;
    }
    void answers()
    {
        QFETCH(QString, typed);
        QFETCH(QString, how);
        QFETCH(bool, accepted);
        QFETCH(QString, message);
        CAddCatDlg prompt("Adding to 'Health'", "Your affirmation:");
        bool stayedOpen = false;
        QTimer::singleShot(0, &prompt, [&] {
            QTest::mouseClick(edit(prompt), Qt::LeftButton);
            type(edit(prompt), typed);
            finish(prompt, how);
            stayedOpen = prompt.isVisible();
            if (stayedOpen)
                prompt.reject();
        });
        const int result = prompt.exec();
        QCOMPARE(result, int(accepted ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(stayedOpen, !message.isEmpty());
        if (accepted) {
            QCOMPARE(prompt.text(), typed);
            QCOMPARE(storedText(prompt.text()), typed.toUtf8());
        }
        QCOMPARE(m_messages->requests().size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty()) {
            QCOMPARE(m_messages->requests()[0].text, message);
            QCOMPARE(m_messages->requests()[0].title, QCoreApplication::applicationName());
            QCOMPARE(m_messages->requests()[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
            QCOMPARE(m_messages->requests()[0].icon, QMessageBox::NoIcon);
            QCOMPARE(m_messages->requests()[0].parent, static_cast<QWidget *>(&prompt));
        }
    }

    void goesOnAfterARefusal()
    {
        CAddCatDlg prompt("Here you can add your own category", "Category name:");
        QTimer::singleShot(0, &prompt, [&] {
            finish(prompt, "click OK");
            type(edit(prompt), "Mind;Body");
            finish(prompt, "Enter");
            edit(prompt)->setText("Mind and Body");
            finish(prompt, "click OK");
            if (prompt.isVisible())
                prompt.reject();
        });
        QCOMPARE(prompt.exec(), int(QDialog::Accepted));
        QCOMPARE(prompt.text(), QString("Mind and Body"));
        QCOMPARE(m_messages->requests().size(), 2);
        QCOMPARE(m_messages->requests()[0].text, QString("Enter category name"));
        QCOMPARE(m_messages->requests()[1].text, QString("A text cannot contain a semicolon (;)."));
    }

    void pastedTextKeepsItsFirstLine_data()
    {
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QString>("accepted");
        QTest::addColumn<QString>("message");

        QTest::newRow("CR LF") << "I am calm\r\nI am strong" << "I am calm" << "";
        QTest::newRow("LF at the end") << "I am calm\n" << "I am calm" << "";
        QTest::newRow("blank first line") << "\nI am calm" << "" << "Enter category name";
    }
    void pastedTextKeepsItsFirstLine()
    {
        QFETCH(QString, clipboard);
        QFETCH(QString, accepted);
        QFETCH(QString, message);
        CAddCatDlg prompt("Here you can add your own category", "Category name:");
        QString shown;
        QTimer::singleShot(0, &prompt, [&] {
            QApplication::clipboard()->setText(clipboard);
            QTest::mouseClick(edit(prompt), Qt::LeftButton);
            QTest::keySequence(edit(prompt), QKeySequence::Paste);
            shown = edit(prompt)->text();
            finish(prompt, "Enter");
            if (prompt.isVisible())
                prompt.reject();
        });
        const int result = prompt.exec();
        QCOMPARE(shown, accepted);
        QCOMPARE(result, int(message.isEmpty() ? QDialog::Accepted : QDialog::Rejected));
        if (message.isEmpty())
            QCOMPARE(prompt.text(), accepted);
        else
            QCOMPARE(m_messages->requests().value(0).text, message);
    }

private:
    std::optional<MessageBoxRecorder> m_messages;
};

QTEST_MAIN(AddCatDlgTest)
#include "tst_addcatdlg.moc"
