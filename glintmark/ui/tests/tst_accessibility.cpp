// Glintmark as assistive tools see it through Qt's accessibility interfaces, offscreen: every
// control named, labels read as what they show, the tree's tick boxes and their states, the
// settings lists and location buttons chosen through the interface as a click chooses them, the
// boxes that report refusals as alerts, and the whole window worked with the keyboard alone.

#include "CAddCatDlg.h"
#include "CListEditDlg.h"
#include "FlashNotice.h"
#include "FlashScreenSetting.h"
#include "Font.h"
#include "GlintmarkWindow.h"
#include "LibraryTables.h"
#include "MessageBoxRecorder.h"
#include "ModalAnswer.h"

#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QRegularExpression>
#include <QMessageBox>
#include <QSettings>
#include <QTest>

#include <functional>
#include <memory>

namespace {

QAccessibleInterface *accessible(QObject *object)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    if (!iface)
        qFatal("no accessible interface for %s", object->metaObject()->className());
    return iface;
}

// A label's text as it shows, without the marks of its shortcut.
QString shownText(const QLabel *label)
{
    QString text = label->text();
    if (label->buddy())
        text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    return text;
}

// The interfaces under `iface` a screen reader walks through, items of lists and trees left out.
void walk(QAccessibleInterface *iface, const std::function<void(QAccessibleInterface *, int)> &visit, int depth = 0)
{
    visit(iface, depth);
    const QAccessible::Role role = iface->role();
    if (role == QAccessible::List || role == QAccessible::Tree || role == QAccessible::ComboBox)
        return;
    for (int i = 0; i < iface->childCount(); ++i) {
        if (QAccessibleInterface *child = iface->child(i))
            walk(child, visit, depth + 1);
    }
}

enum class Way { SelectRow, ToggleEntry, OpenThenToggleEntry };

} // namespace

Q_DECLARE_METATYPE(Way)

class AccessibilityTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
        QApplication::setApplicationName(QStringLiteral("Glintmark"));
        QSettings().setValue(kShortDisplayNoticeSetting, true);
    }
    void init()
    {
        m_messages.emplace();
        QSettings().remove(kFlashScreenSetting);
    }
    void cleanup() { m_messages.reset(); }

    void everyControlIsNamed_data()
    {
        QTest::addColumn<int>("window");
        QTest::newRow("main window") << 0;
        QTest::newRow("editor") << 1;
        QTest::newRow("prompt") << 2;
        QTest::newRow("font chooser") << 3;
    }

    // What a screen reader reads of each window: every control has a name, a label's is the
    // text it shows, a frame's is its title; the tree is printed for the record.
    void everyControlIsNamed()
    {
        QFETCH(int, window);
        GlintmarkWindow main;
        CListEditDlg editor(tableOf({category("Health", 2)}));
        CAddCatDlg prompt(QStringLiteral("Here you can add your own category"), QStringLiteral("Category name:"));
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(14);
        glintmark::Font chooser(font, Qt::black);
        QWidget *const windows[] = {main.dialog.get(), &editor, &prompt, &chooser};
        QWidget *shown = windows[window];
        shown->show();
        QVERIFY(QTest::qWaitForWindowExposed(shown));

        const QList<QAccessible::Role> controls{QAccessible::PushButton, QAccessible::RadioButton,
                                                QAccessible::CheckBox,   QAccessible::ComboBox,
                                                QAccessible::EditableText, QAccessible::List,
                                                QAccessible::Tree,       QAccessible::Grouping,
                                                QAccessible::StaticText, QAccessible::Dialog,
                                                QAccessible::Window};
        int named = 0;
        walk(accessible(shown), [&](QAccessibleInterface *iface, int depth) {
            const QString name = iface->text(QAccessible::Name);
            qInfo("%s%s \"%s\"", qPrintable(QString(depth * 2, QLatin1Char(' '))),
                  qPrintable(QVariant::fromValue(iface->role()).toString()), qPrintable(name));
            // A button box groups buttons that have names of their own.
            const bool unnamedGroup = iface->role() == QAccessible::Grouping && !qobject_cast<QGroupBox *>(iface->object());
            if (!controls.contains(iface->role()) || iface->state().invisible || unnamedGroup)
                return;
            QVERIFY2(!name.isEmpty(), iface->object() ? iface->object()->metaObject()->className() : "an item");
            if (auto *label = qobject_cast<QLabel *>(iface->object()))
                QCOMPARE(name, shownText(label));
            if (auto *frame = qobject_cast<QGroupBox *>(iface->object()))
                QCOMPARE(name, frame->title().trimmed());
            ++named;
        });
        QVERIFY(named >= 5);
    }

    // The tree's items tell that they can be ticked and whether they are, both in their states
    // and in words; the hidden header names the column instead of Qt's "1".
    void treeItemsTellTheirTickBoxes()
    {
        GlintmarkWindow w;
        w.showActive();
        CMyTreeCtrl *tree = w.tree();
        CMyTreeCtrl::SetCheck(tree->topLevelItem(1), true);
        tree->topLevelItem(0)->setExpanded(true);
        CMyTreeCtrl::SetCheck(tree->topLevelItem(0)->child(1), true);
        QAccessibleInterface *iface = accessible(tree);
        QCOMPARE(iface->role(), QAccessible::Tree);
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Training affirmations"));
        QAccessibleInterface *header = iface->child(0);
        QCOMPARE(header->role(), QAccessible::ColumnHeader);
        QCOMPARE(header->text(QAccessible::Name), QLatin1String(CMyTreeCtrl::kColumnTitle));
        QVERIFY(header->state().invisible);

        const QList<std::pair<QString, bool>> rows{
            {"Health", false}, {"I am calm", false}, {"I sleep well", true}, {"Work", true}};
        QAccessibleTableInterface *table = iface->tableInterface();
        QVERIFY(table);
        QCOMPARE(table->rowCount(), int(rows.size()));
        for (int row = 0; row < rows.size(); ++row) {
            const auto &[text, ticked] = rows[row];
            QAccessibleInterface *item = table->cellAt(row, 0);
            QCOMPARE(item->role(), QAccessible::TreeItem);
            QCOMPARE(item->text(QAccessible::Name), text);
            QVERIFY2(item->state().checkable, qPrintable(text));
            QCOMPARE(item->state().checked, ticked);
            QCOMPARE(item->text(QAccessible::Description),
                     QLatin1String(ticked ? CMyTreeCtrl::kTickedText : CMyTreeCtrl::kNotTickedText));
            QCOMPARE(iface->indexOfChild(item), row + 1);
        }
        // Ticked with the keyboard, the item reads ticked.
        tree->setFocus();
        tree->setCurrentItem(tree->topLevelItem(0)->child(0));
        QTest::keyClick(tree, Qt::Key_Space);
        QVERIFY(table->cellAt(1, 0)->state().checked);
        QCOMPARE(table->cellAt(1, 0)->text(QAccessible::Description), QLatin1String(CMyTreeCtrl::kTickedText));
        QTest::keyClick(tree, Qt::Key_Space);
        QVERIFY(!table->cellAt(1, 0)->state().checked);
    }

    void listsTakeAnAssistiveChoice_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<Way>("way");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("milliseconds");
        QTest::newRow("every, row selected") << "displayEvery" << Way::SelectRow << 0 << 500;
        QTest::newRow("every, entry toggled") << "displayEvery" << Way::ToggleEntry << 7 << 7000;
        QTest::newRow("every, in the open popup") << "displayEvery" << Way::OpenThenToggleEntry << 1 << 1000;
        QTest::newRow("for, row selected") << "displayFor" << Way::SelectRow << 3 << 80;
        QTest::newRow("for, entry toggled") << "displayFor" << Way::ToggleEntry << 1 << 30;
        QTest::newRow("for, in the open popup") << "displayFor" << Way::OpenThenToggleEntry << 2 << 50;
        // The screens: the value is the choice handed over.
        QTest::newRow("screen, row selected") << "screen" << Way::SelectRow << 2 << int(FlashScreen::All);
        QTest::newRow("screen, entry toggled") << "screen" << Way::ToggleEntry << 1 << int(FlashScreen::Pointer);
        QTest::newRow("screen, in the open popup") << "screen" << Way::OpenThenToggleEntry << 2 << int(FlashScreen::All);
    }

    // Whatever the accessibility interface does to choose an entry is what Start then uses,
    // and the list reads the entry as its value.
    void listsTakeAnAssistiveChoice()
    {
        QFETCH(QString, list);
        QFETCH(Way, way);
        QFETCH(int, row);
        QFETCH(int, milliseconds);
        GlintmarkWindow w;
        QVERIFY(w.showActive());
        auto *combo = w.child<QComboBox>(qPrintable(list));
        QAccessibleInterface *iface = accessible(combo);
        QCOMPARE(iface->role(), QAccessible::ComboBox);
        QAccessibleInterface *popup = iface->child(0);
        QVERIFY(popup && popup->tableInterface());
        QCOMPARE(popup->childCount(), combo->count());
        switch (way) {
        case Way::SelectRow:
            QVERIFY(popup->tableInterface()->selectRow(row));
            break;
        case Way::OpenThenToggleEntry:
            QVERIFY(iface->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
            iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
            QTRY_VERIFY(combo->view()->isVisible());
            QVERIFY(iface->state().expanded);
            Q_FALLTHROUGH();
        case Way::ToggleEntry: {
            QAccessibleInterface *entry = popup->child(row);
            QCOMPARE(entry->text(QAccessible::Name), combo->itemText(row));
            entry->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
            break;
        }
        }
        QCOMPARE(combo->currentIndex(), row);
        QTRY_VERIFY(!combo->view()->isVisible());
        QCOMPARE(iface->text(QAccessible::Value), combo->itemText(row));

        CMyTreeCtrl::SetCheck(w.tree()->topLevelItem(0)->child(0), true);
        w.dialog->OnStart();
        QCOMPARE(w.overlays.size(), 1);
        const GlintmarkWindow::Handed &handed = w.overlays[0];
        QCOMPARE(list == "displayEvery" ? handed.intervalMs
                 : list == "displayFor" ? handed.displayMs
                                        : int(handed.screens),
                 milliseconds);

        // While flashing the list keeps its entry, whatever is asked of it.
        QVERIFY(!combo->isEnabled());
        popup->tableInterface()->selectRow(row == 0 ? 1 : 0);
        QCOMPARE(combo->currentIndex(), row);
    }

    void locationsTakeAnAssistiveChoice_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("action");
        QTest::addColumn<FlashLocation>("location");
        QTest::newRow("Top, toggled") << 1002 << QAccessibleActionInterface::toggleAction() << FlashLocation::Top;
        QTest::newRow("Center-Left, toggled") << 1004 << QAccessibleActionInterface::toggleAction()
                                              << FlashLocation::CenterLeft;
        QTest::newRow("Bottom, pressed") << 1028 << QAccessibleActionInterface::pressAction() << FlashLocation::Bottom;
        QTest::newRow("Center, toggled though chosen") << 1003 << QAccessibleActionInterface::toggleAction()
                                                       << FlashLocation::Center;
    }

    void locationsTakeAnAssistiveChoice()
    {
        QFETCH(int, button);
        QFETCH(QString, action);
        QFETCH(FlashLocation, location);
        GlintmarkWindow w;
        QVERIFY(w.showActive());
        QAccessibleInterface *iface = accessible(w.location(button));
        QCOMPARE(iface->role(), QAccessible::RadioButton);
        iface->actionInterface()->doAction(action);
        QTRY_VERIFY(iface->state().checked);
        for (const int other : {1002, 1003, 1004, 1028}) {
            if (other != button)
                QVERIFY(!accessible(w.location(other))->state().checked);
        }
        CMyTreeCtrl::SetCheck(w.tree()->topLevelItem(1)->child(0), true);
        w.dialog->OnStart();
        QCOMPARE(w.overlays.size(), 1);
        QCOMPARE(w.overlays[0].location, location);

        // While flashing no location can be chosen.
        QAccessibleInterface *top = accessible(w.location(1002));
        QVERIFY(top->state().disabled);
        top->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        top->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QTest::qWait(0);
        QCOMPARE(w.location(1002)->isChecked(), button == 1002);
        w.dialog->OnStart();
        w.dialog->OnStart();
        QCOMPARE(w.overlays.last().location, location);
    }

    // The box that refuses Start reaches screen readers as an alert with its text.
    void refusalsAreAlerts()
    {
        m_messages.reset();
        GlintmarkWindow w;
        QVERIFY(w.showActive());
        QAccessible::Role role = QAccessible::NoRole;
        QString text;
        answerNextModal<QMessageBox>(w.dialog.get(), [&](QMessageBox *box) {
            QAccessibleInterface *iface = accessible(box);
            role = iface->role();
            text = iface->text(QAccessible::Value);
        });
        w.dialog->OnStart();
        QCOMPARE(role, QAccessible::AlertMessage);
        QCOMPARE(text, QLatin1String(CFlashDlg::kNothingTickedText));
        QVERIFY(w.overlays.isEmpty());
    }

    // Tab visits every control once, entering the locations at the chosen one; the arrows, the
    // space bar and Enter do the rest: tick, place, pace, display time, Start and Stop.
    void keyboardAlone()
    {
        GlintmarkWindow w;
        QVERIFY(w.showActive());
        QCOMPARE(QApplication::focusWidget(), w.tree());
        const auto key = [](Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); };
        QStringList visited;
        for (int i = 0; i < 10; ++i) {
            visited << QApplication::focusWidget()->accessibleName();
            key(Qt::Key_Tab);
        }
        QCOMPARE(visited, (QStringList{"Training affirmations", "Add message", "Center", "Screen", "Display every",
                                       "Display for", "Font", "Start", "Help", "Exit"}));
        QCOMPARE(QApplication::focusWidget(), w.tree());

        // Focused, the tree makes its first item current.
        QCOMPARE(w.tree()->currentItem(), w.tree()->topLevelItem(0));
        key(Qt::Key_Right);
        key(Qt::Key_Down); // I am calm
        key(Qt::Key_Space);
        QVERIFY(CMyTreeCtrl::GetCheck(w.tree()->topLevelItem(0)->child(0)));
        QVERIFY(!CMyTreeCtrl::GetCheck(w.tree()->topLevelItem(0)));
        key(Qt::Key_Tab);
        key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.location(1003));
        key(Qt::Key_Down);
        QVERIFY(w.location(1004)->isChecked());
        key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.screens());
        key(Qt::Key_Down);
        key(Qt::Key_Down);
        QCOMPARE(w.screens()->currentText(), QStringLiteral("All screens"));
        key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.every());
        key(Qt::Key_Down);
        key(Qt::Key_Tab);
        key(Qt::Key_Down);
        key(Qt::Key_Return);
        QVERIFY(w.dialog->isFlashing());
        QCOMPARE(w.overlays.size(), 1);
        QCOMPARE(w.overlays[0].texts, (QByteArrayList{"I am calm"}));
        QCOMPARE(w.overlays[0].location, FlashLocation::CenterLeft);
        QCOMPARE(w.overlays[0].intervalMs, 4000);
        QCOMPARE(w.overlays[0].displayMs, 30);
        QCOMPARE(w.overlays[0].screens, FlashScreen::All);
        QCOMPARE(accessible(w.start())->text(QAccessible::Name), QStringLiteral("Stop"));
        key(Qt::Key_Return);
        QVERIFY(!w.dialog->isFlashing());
        QCOMPARE(accessible(w.start())->text(QAccessible::Name), QStringLiteral("Start"));
    }

private:
    QTemporaryDir m_settingsDir;
    std::optional<MessageBoxRecorder> m_messages;
};

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
