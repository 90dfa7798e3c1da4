#include "CAddCatDlg.h"
#include "CListEditDlg.h"
#include "CMyTreeCtrl.h"
#include "CPictureButton.h"
#include "LibraryTables.h"
#include "MessageBoxRecorder.h"
#include "ModalAnswer.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTimer>

#include <optional>

namespace {

const Rows kLibrary{category("Health", 3), category("Empty"), category("Work", 2)};

// What a name prompt showed.
struct Prompt
{
    QString title;
    QString heading;
    QString label;
    friend bool operator==(const Prompt &, const Prompt &) = default;
};

QStringList texts(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

int selectedRow(const QListWidget *list)
{
    const auto selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

// The editor as the main window opens it, shown but driven without its own modal loop.
struct Editor
{
    explicit Editor(const Rows &rows = kLibrary)
        : dialog(tableOf(rows))
    {
        dialog.show();
        if (!QTest::qWaitForWindowExposed(&dialog))
            qFatal("editor not shown");
    }

    template <typename T> T *child(const char *name) const
    {
        T *widget = dialog.findChild<T *>(QLatin1String(name));
        if (!widget)
            qFatal("no child %s", name);
        return widget;
    }
    QListWidget *categories() const { return child<QListWidget>("categories"); }
    QListWidget *affirmations() const { return child<QListWidget>("affirmations"); }
    CPictureButton *button(const char *name) const { return child<CPictureButton>(name); }

    void select(QListWidget *list, int row) const
    {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
        if (selectedRow(list) != row)
            qFatal("cannot select row %d", row);
    }
    void click(const char *name) const { QTest::mouseClick(button(name), Qt::LeftButton); }

    // Queues the answer to the next name prompt: the text to type, then OK, or Cancel when
    // `ok` is false. What the prompt showed lands in `prompts`.
    void answerPrompt(const QString &text, bool ok = true)
    {
        answerNextModal<CAddCatDlg>(&dialog, [this, text, ok](CAddCatDlg *prompt) {
            prompts << Prompt{prompt->windowTitle(), prompt->findChild<QLabel *>("heading")->text(),
                              prompt->findChild<QLabel *>("label")->text()};
            prompt->findChild<QLineEdit *>("text")->setText(text);
            QTest::mouseClick(prompt->findChild<CPictureButton *>(ok ? "ok" : "cancel"), Qt::LeftButton);
        });
    }

    CListEditDlg dialog;
    QList<Prompt> prompts;
};

const Prompt kCategoryPrompt{"Add new category", "Here you can add your own category", "Category name:"};
Prompt affirmationPrompt(const QString &category)
{
    return {"Add new category", "Adding to '" + category + "'", "Your affirmation:"};
}

} // namespace

Q_DECLARE_METATYPE(Prompt)

class ListEditDlgTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_messages.emplace(); }
    void cleanup() { m_messages.reset(); }

    void opensWithTheCategoriesAndNothingSelected()
    {
        Editor e;
        QCOMPARE(e.dialog.windowTitle(), QString("Dialog"));
        QCOMPARE(texts(e.categories()), (QStringList{"Health", "Empty", "Work"}));
        QCOMPARE(selectedRow(e.categories()), -1);
        QCOMPARE(e.affirmations()->count(), 0);
        QCOMPARE(rowsOf(e.dialog.list()), kLibrary);

        const auto frames = e.dialog.findChildren<QGroupBox *>();
        QCOMPARE(frames.size(), 2);
        for (QGroupBox *frame : frames) {
            QVERIFY(frame->title() == "Categories" || frame->title() == "Affirmations");
            QCOMPARE(frame->font().family(), QString("Arial"));
            QCOMPARE(frame->font().pixelSize(), 14);
            QVERIFY(frame->font().bold());
        }
        // The lists and buttons keep the dialog's font.
        QCOMPARE(e.categories()->font(), e.dialog.font());
        QCOMPARE(e.affirmations()->font(), e.dialog.font());

        const QList<std::pair<const char *, QString>> buttons{
            {"ok", "OK"},       {"cancel", "CANCEL"}, {"addCategory", "ADDCAT"}, {"deleteCategory", "DELETECAT"},
            {"addAffirmation", "ADDAFFIRM"}, {"deleteAffirmation", "DELETEAFFIRM"}};
        for (const auto &[name, caption] : buttons) {
            QCOMPARE(e.button(name)->caption(), caption);
            QCOMPARE(e.button(name)->size(), QSize(72, 26));
        }
        QCOMPARE(e.button("addCategory")->accessibleName(), QString("Add"));
        QCOMPARE(e.button("deleteAffirmation")->accessibleName(), QString("Delete"));
        QCOMPARE(e.dialog.grab().toImage().pixelColor(1, 1), QColor(153, 204, 255));
    }

    void selectionShowsThatCategorysAffirmations_data()
    {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("first") << kLibrary << 0 << QStringList{"Health1", "Health2", "Health3"};
        QTest::newRow("none") << kLibrary << 1 << QStringList{};
        QTest::newRow("last") << kLibrary << 2 << QStringList{"Work1", "Work2"};
        QTest::newRow("second of two equal names")
            << Rows{{"A", "first"}, {"A", "second", "third"}} << 1 << QStringList{"second", "third"};
        QTest::newRow("not UTF-8") << Rows{{"Caf\xe9", "\xe0 la carte"}} << 0
                                   << QStringList{QString::fromUtf8("à la carte")};
    }
    void selectionShowsThatCategorysAffirmations()
    {
        QFETCH(Rows, rows);
        QFETCH(int, row);
        QFETCH(QStringList, shown);
        Editor e(rows);
        e.select(e.categories(), row);
        QCOMPARE(texts(e.affirmations()), shown);
        QCOMPARE(selectedRow(e.affirmations()), -1);
    }

    void addCategory_data()
    {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<Rows>("after");

        QTest::newRow("new name") << kLibrary << "Sleep" << true << Rows(kLibrary) + Rows{{"Sleep"}};
        QTest::newRow("existing name") << kLibrary << "Health" << true << Rows(kLibrary) + Rows{{"Health"}};
        QTest::newRow("blanks") << kLibrary << "  " << true << Rows(kLibrary) + Rows{{"  "}};
        QTest::newRow("stored as UTF-8") << kLibrary << QString::fromUtf8("Süß") << true
                                         << Rows(kLibrary) + Rows{{"S\xc3\xbc\xc3\x9f"}};
        QTest::newRow("into an empty library") << Rows{} << "First" << true << Rows{{"First"}};
        QTest::newRow("hundredth") << categories(99) << "Last" << true << categories(99) + Rows{{"Last"}};
        QTest::newRow("cancelled") << kLibrary << "Sleep" << false << kLibrary;
    }
    void addCategory()
    {
        QFETCH(Rows, rows);
        QFETCH(QString, typed);
        QFETCH(bool, ok);
        QFETCH(Rows, after);
        Editor e(rows);
        const int selected = rows.isEmpty() ? -1 : 0;
        if (selected >= 0)
            e.select(e.categories(), selected);
        const QStringList affirmationsBefore = texts(e.affirmations());

        e.answerPrompt(typed, ok);
        e.click("addCategory");

        QCOMPARE(e.prompts, QList<Prompt>{kCategoryPrompt});
        QCOMPARE(rowsOf(e.dialog.list()), after);
        QStringList names;
        for (const QByteArrayList &row : after)
            names << QString::fromUtf8(row[0]);
        QCOMPARE(texts(e.categories()), names);
        // The new category is not selected; the affirmations shown stay as they were.
        QCOMPARE(selectedRow(e.categories()), selected);
        QCOMPARE(texts(e.affirmations()), affirmationsBefore);
        QVERIFY(m_messages->requests().isEmpty());
    }

    void addAffirmation_data()
    {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<Rows>("after");
        QTest::addColumn<Prompt>("prompt");

        QTest::newRow("at the end") << kLibrary << 0 << "I am well" << true
                                    << Rows{{"Health", "Health1", "Health2", "Health3", "I am well"}, category("Empty"),
                                            category("Work", 2)}
                                    << affirmationPrompt("Health");
        QTest::newRow("first of a category") << kLibrary << 1 << "Empty1" << true
                                             << Rows{category("Health", 3), category("Empty", 1), category("Work", 2)}
                                             << affirmationPrompt("Empty");
        QTest::newRow("same text again") << kLibrary << 2 << "Work1" << true
                                         << Rows{category("Health", 3), category("Empty"), {"Work", "Work1", "Work2", "Work1"}}
                                         << affirmationPrompt("Work");
        QTest::newRow("second of two equal names") << Rows{{"A", "a"}, {"A", "b"}} << 1 << "c" << true
                                                   << Rows{{"A", "a"}, {"A", "b", "c"}} << affirmationPrompt("A");
        QTest::newRow("ninety-ninth") << Rows{category("A", 98)} << 0 << "A99" << true << Rows{category("A", 99)}
                                      << affirmationPrompt("A");
        QTest::newRow("cancelled") << kLibrary << 0 << "I am well" << false << kLibrary << affirmationPrompt("Health");
    }
    void addAffirmation()
    {
        QFETCH(Rows, rows);
        QFETCH(int, row);
        QFETCH(QString, typed);
        QFETCH(bool, ok);
        QFETCH(Rows, after);
        QFETCH(Prompt, prompt);
        Editor e(rows);
        e.select(e.categories(), row);
        if (e.affirmations()->count() > 0)
            e.select(e.affirmations(), 0);

        e.answerPrompt(typed, ok);
        e.click("addAffirmation");

        QCOMPARE(e.prompts, QList<Prompt>{prompt});
        QCOMPARE(rowsOf(e.dialog.list()), after);
        QStringList shown;
        for (const QByteArray &text : after[row].mid(1))
            shown << QString::fromUtf8(text);
        QCOMPARE(texts(e.affirmations()), shown);
        QCOMPARE(selectedRow(e.categories()), row);
        if (ok)
            QCOMPARE(selectedRow(e.affirmations()), -1);
        QVERIFY(m_messages->requests().isEmpty());
    }

    void refusalsBeforeThePrompt_data()
    {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<int>("row");
        QTest::addColumn<QByteArray>("button");
        QTest::addColumn<QString>("message");

        QTest::newRow("affirmation, no category selected") << kLibrary << -1 << QByteArray("addAffirmation")
                                                           << "Please select category";
        QTest::newRow("affirmation, empty library") << Rows{} << -1 << QByteArray("addAffirmation")
                                                    << "Please select category";
        QTest::newRow("category, library full") << categories(100) << -1 << QByteArray("addCategory")
                                                << "The library holds at most 100 categories.";
        QTest::newRow("category, library full, one selected") << categories(100) << 99 << QByteArray("addCategory")
                                                              << "The library holds at most 100 categories.";
        QTest::newRow("affirmation, category full") << Rows{category("A", 2), category("B", 99)} << 1
                                                    << QByteArray("addAffirmation")
                                                    << "A category holds at most 99 affirmations.";
        QTest::newRow("affirmation, full library, none selected") << categories(100, 99) << -1
                                                                  << QByteArray("addAffirmation")
                                                                  << "Please select category";
    }
    void refusalsBeforeThePrompt()
    {
        QFETCH(Rows, rows);
        QFETCH(int, row);
        QFETCH(QByteArray, button);
        QFETCH(QString, message);
        Editor e(rows);
        if (row >= 0)
            e.select(e.categories(), row);

        e.answerPrompt("More");
        e.click(button.constData());
        QTest::qWait(0); // a prompt would have been answered by now

        QVERIFY(e.prompts.isEmpty());
        QCOMPARE(rowsOf(e.dialog.list()), rows);
        QCOMPARE(m_messages->requests().size(), 1);
        QCOMPARE(m_messages->requests()[0].text, message);
        QCOMPARE(m_messages->requests()[0].title, QCoreApplication::applicationName());
        QCOMPARE(m_messages->requests()[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(m_messages->requests()[0].parent, static_cast<QWidget *>(&e.dialog));
    }

    void deleteCategory_data()
    {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<int>("row");
        QTest::addColumn<Rows>("after");

        QTest::newRow("first") << kLibrary << 0 << Rows{category("Empty"), category("Work", 2)};
        QTest::newRow("middle") << kLibrary << 1 << Rows{category("Health", 3), category("Work", 2)};
        QTest::newRow("last") << kLibrary << 2 << Rows{category("Health", 3), category("Empty")};
        QTest::newRow("second of two equal names")
            << Rows{{"A", "a"}, {"A", "b"}, {"B"}} << 1 << Rows{{"A", "a"}, {"B"}};
        QTest::newRow("first of two equal names")
            << Rows{{"A", "a"}, {"A", "b"}, {"B"}} << 0 << Rows{{"A", "b"}, {"B"}};
        QTest::newRow("row 99 of a full library") << categories(100, 1) << 99 << categories(99, 1);
        QTest::newRow("nothing selected") << kLibrary << -1 << kLibrary;
        QTest::newRow("nothing selected, full library") << categories(100) << -1 << categories(100);
    }
    void deleteCategory()
    {
        QFETCH(Rows, rows);
        QFETCH(int, row);
        QFETCH(Rows, after);
        Editor e(rows);
        if (row >= 0)
            e.select(e.categories(), row);

        e.click("deleteCategory");

        QCOMPARE(rowsOf(e.dialog.list()), after);
        QStringList names;
        for (const QByteArrayList &r : after)
            names << QString::fromUtf8(r[0]);
        QCOMPARE(texts(e.categories()), names);
        QCOMPARE(selectedRow(e.categories()), -1);
        QCOMPARE(e.affirmations()->count(), 0);
        QVERIFY(m_messages->requests().isEmpty());
    }

    void deleteAffirmation_data()
    {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("item");
        QTest::addColumn<Rows>("after");

        QTest::newRow("first") << kLibrary << 0 << 0
                               << Rows{{"Health", "Health2", "Health3"}, category("Empty"), category("Work", 2)};
        QTest::newRow("last") << kLibrary << 2 << 1 << Rows{category("Health", 3), category("Empty"), category("Work", 1)};
        QTest::newRow("second of two equal texts") << Rows{{"A", "x", "y", "x", "z"}} << 0 << 2
                                                   << Rows{{"A", "x", "y", "z"}};
        QTest::newRow("text equal to its category") << Rows{{"A", "b", "A"}} << 0 << 1 << Rows{{"A", "b"}};
        QTest::newRow("in the second of two equal names")
            << Rows{{"A", "x", "y"}, {"A", "x", "y"}} << 1 << 0 << Rows{{"A", "x", "y"}, {"A", "y"}};
        QTest::newRow("slot 99") << Rows{category("A", 99)} << 0 << 98 << Rows{category("A", 98)};
        QTest::newRow("no affirmation selected") << kLibrary << 0 << -1 << kLibrary;
        QTest::newRow("nothing selected") << kLibrary << -1 << -1 << kLibrary;
    }
    void deleteAffirmation()
    {
        QFETCH(Rows, rows);
        QFETCH(int, row);
        QFETCH(int, item);
        QFETCH(Rows, after);
        Editor e(rows);
        if (row >= 0)
            e.select(e.categories(), row);
        if (item >= 0)
            e.select(e.affirmations(), item);

        e.click("deleteAffirmation");

        QCOMPARE(rowsOf(e.dialog.list()), after);
        QStringList shown;
        if (row >= 0)
            for (const QByteArray &text : after[row].mid(1))
                shown << QString::fromUtf8(text);
        QCOMPARE(texts(e.affirmations()), shown);
        QCOMPARE(selectedRow(e.categories()), row);
        QCOMPARE(selectedRow(e.affirmations()), -1);
        QVERIFY(m_messages->requests().isEmpty());
    }

    void endings_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("click OK") << "click OK" << true;
        QTest::newRow("Enter") << "Enter" << true;
        QTest::newRow("click Cancel") << "click Cancel" << false;
        QTest::newRow("Esc") << "Esc" << false;
        QTest::newRow("close box") << "close box" << false;
    }
    void endings()
    {
        QFETCH(QString, how);
        QFETCH(bool, accepted);
        CFlashLibrary::LibraryTable library = tableOf(kLibrary);
        CListEditDlg editor(library);
        bool openAfterHelpKey = false;
        QTimer::singleShot(0, &editor, [&] {
            auto find = [&](const char *name) { return editor.findChild<QWidget *>(QLatin1String(name)); };
            auto *categories = editor.findChild<QListWidget *>("categories");
            categories->setFocus();
            QTest::mouseClick(categories->viewport(), Qt::LeftButton, {},
                              categories->visualItemRect(categories->item(2)).center());
            QTest::mouseClick(find("deleteCategory"), Qt::LeftButton);
            answerNextModal<CAddCatDlg>(&editor, [](CAddCatDlg *prompt) {
                prompt->findChild<QLineEdit *>("text")->setText("Sleep");
                QTest::mouseClick(prompt->findChild<CPictureButton *>("ok"), Qt::LeftButton);
            });
            QTest::mouseClick(find("addCategory"), Qt::LeftButton);
            // F1 brings up no help here.
            QTest::keyClick(categories, Qt::Key_F1);
            openAfterHelpKey = editor.isVisible() && QApplication::activeModalWidget() == &editor;

            categories->setFocus();
            if (how == "click OK")
                QTest::mouseClick(find("ok"), Qt::LeftButton);
            else if (how == "Enter")
                QTest::keyClick(categories, Qt::Key_Return);
            else if (how == "click Cancel")
                QTest::mouseClick(find("cancel"), Qt::LeftButton);
            else if (how == "Esc")
                QTest::keyClick(categories, Qt::Key_Escape);
            else
                editor.close();
            if (editor.isVisible())
                editor.done(-1);
        });
        // What the main window does with the result.
        const int result = editor.exec();
        if (result == QDialog::Accepted)
            library = editor.list();

        QVERIFY(openAfterHelpKey);
        QVERIFY(m_messages->requests().isEmpty());
        QCOMPARE(result, int(accepted ? QDialog::Accepted : QDialog::Rejected));
        const Rows edited{category("Health", 3), category("Empty"), {"Sleep"}};
        QCOMPARE(rowsOf(library), accepted ? edited : kLibrary);
    }

    void everyControlHasAnAccessibleName()
    {
        Editor e;
        CAddCatDlg prompt("Here you can add your own category", "Category name:");
        CMyTreeCtrl tree;
        QList<QWidget *> controls{&tree};
        for (QWidget *dialog : {static_cast<QWidget *>(&e.dialog), static_cast<QWidget *>(&prompt)}) {
            QVERIFY(!dialog->accessibleName().isEmpty());
            for (QWidget *w : dialog->findChildren<QWidget *>()) {
                if (qobject_cast<QAbstractButton *>(w) || qobject_cast<QAbstractItemView *>(w)
                    || qobject_cast<QLineEdit *>(w) || qobject_cast<QLabel *>(w) || qobject_cast<QGroupBox *>(w))
                    controls << w;
            }
        }
        QCOMPARE(controls.size(), 1 + 10 + 5);
        for (QWidget *control : controls)
            QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
    }

    void ticksFollowPositionsAfterOk()
    {
        const Rows rows{category("Health", 3), category("Empty"), category("Work", 2)};
        CFlashLibrary library;
        library.m_list = tableOf(rows);
        CMyTreeCtrl tree;
        tree.FillTree(library.m_list, {});
        // Health2, Empty and Work1 ticked on screen.
        CMyTreeCtrl::SetCheck(tree.topLevelItem(0)->child(1), true);
        CMyTreeCtrl::SetCheck(tree.topLevelItem(1), true);
        CMyTreeCtrl::SetCheck(tree.topLevelItem(2)->child(0), true);

        // The main window's EDIT: ticks read, editor run, table taken back, tree refilled.
        CListEditDlg editor(library.m_list);
        tree.ReadTicksFromTree(library.m_check);
        QTimer::singleShot(0, &editor, [&editor] {
            auto *categories = editor.findChild<QListWidget *>("categories");
            auto *affirmations = editor.findChild<QListWidget *>("affirmations");
            categories->setCurrentRow(1); // Empty
            editor.OnDeleteCategory();
            categories->setCurrentRow(0); // Health
            affirmations->setCurrentRow(0);
            editor.OnDeleteAffirmation();
            editor.accept();
        });
        QCOMPARE(editor.exec(), int(QDialog::Accepted));
        library.m_list = editor.list();
        tree.FillTree(library.m_list, library.m_check);

        QCOMPARE(rowsOf(library.m_list), (Rows{{"Health", "Health2", "Health3"}, category("Work", 2)}));
        // Health2 and Health3 moved up into places of which only the second was ticked; Work
        // moved into the place of Empty and takes its tick, its affirmations Empty's none.
        QStringList ticked;
        for (QTreeWidgetItemIterator it(&tree); *it; ++it)
            if (CMyTreeCtrl::GetCheck(*it))
                ticked << (*it)->text(0);
        QCOMPARE(ticked, (QStringList{"Health3", "Work"}));
    }

private:
    std::optional<MessageBoxRecorder> m_messages;
};

QTEST_MAIN(ListEditDlgTest)
#include "tst_listeditdlg.moc"
