#include "CAddCatDlg.h"
#include "CListEditDlg.h"
#include "CMyTreeCtrl.h"
#include "CPictureButton.h"
#include "FlashLibrary.h"
#include "LibraryTables.h"
#include "MessageBoxRecorder.h"
#include "ModalAnswer.h"
#include "TestFiles.h"

#include <QApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
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

    // Queues the choice of `path` in the next file dialog, as a user picks it and presses Open or
    // Save; whether the dialog was one to open with lands in `opening`.
    void answerFileDialog(const QString &path)
    {
        answerNextModal<QFileDialog>(&dialog, [this, path](QFileDialog *chooser) {
            fileDialogs << chooser->acceptMode();
            chooser->setOption(QFileDialog::DontConfirmOverwrite);
            chooser->selectFile(path);
            static_cast<QDialog *>(chooser)->accept();
        });
    }
    void clickFileButton(const char *name) const
    {
        QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton);
    }

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
    QList<QFileDialog::AcceptMode> fileDialogs;
};

// "List.txt" as the library is saved from `table`.
QByteArray savedList(const CFlashLibrary::LibraryTable &table)
{
    QTemporaryDir folder;
    CFlashLibrary library;
    library.SetFolder(folder.path());
    library.m_list = table;
    if (library.WriteListFiles())
        qFatal("cannot save the library");
    return readWholeFile(folder.filePath("List.txt"));
}

QByteArray numberedLines(int count, const char *ending = "\n")
{
    QByteArray bytes;
    for (int i = 1; i <= count; ++i)
        bytes += "Line " + QByteArray::number(i) + ending;
    return bytes;
}

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

    // A text file becomes a new category named after it, with nothing selected: one click on
    // Import..., one on the file. What could not be stored is listed in one message, and the
    // library saved afterwards is the one before, byte for byte, with one line more.
    void importAsNewCategory_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArrayList>("stored");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("details");

        QTest::newRow("semicolons")
            << QByteArray("I am calm\nfirst;second\nthird;\nI sleep well\n") << QByteArrayList{"I am calm", "I sleep well"}
            << "2 affirmations were imported into \"Mine\".\n\n2 lines were left out:\n"
               "2 hold a semicolon (;), which separates the texts in the library file."
            << "";
        QTest::newRow("CRLF") << QByteArray("I am calm\r\n\r\nI sleep well\r\n") << QByteArrayList{"I am calm", "I sleep well"}
                              << "2 affirmations were imported into \"Mine\"." << "";
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBFI am calm") << QByteArrayList{"I am calm"}
                                         << "1 affirmation was imported into \"Mine\"." << "";
        QTest::newRow("invalid UTF-8")
            << QByteArray("Caf\xE9\nold\rMac\n") << QByteArrayList{"Caf\xC3\xA9"}
            << "1 affirmation was imported into \"Mine\".\n\n1 line was left out:\n1 holds a line break inside its text."
            << "1 line was not valid UTF-8 and was read as Windows-1252.";
        QTest::newRow("10,000 lines") << numberedLines(10000) << QByteArrayList(category("Line ", 99).mid(1))
                                      << "99 affirmations were imported into \"Mine\".\n\n9901 lines were left out:\n"
                                         "9901 did not fit: a category holds at most 99 affirmations."
                                      << "";
        QTest::newRow("empty file") << QByteArray() << QByteArrayList{}
                                    << "The file holds no affirmations. Nothing was imported." << "";
    }
    void importAsNewCategory()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArrayList, stored);
        QFETCH(QString, message);
        QFETCH(QString, details);
        QTemporaryDir folder;
        const QString path = folder.filePath("Mine.txt");
        QVERIFY(writeWholeFile(path, file));
        Editor e;
        const QByteArray before = savedList(e.dialog.list());

        e.answerFileDialog(path);
        e.clickFileButton("import");

        QCOMPARE(e.fileDialogs, QList<QFileDialog::AcceptMode>{QFileDialog::AcceptOpen});
        QCOMPARE(m_messages->requests().size(), 1);
        QCOMPARE(m_messages->requests().first().text, message);
        QCOMPARE(m_messages->requests().first().informativeText, details);
        const Rows expected = stored.isEmpty() ? kLibrary : kLibrary + Rows{QByteArrayList{"Mine"} + stored};
        QCOMPARE(rowsOf(e.dialog.list()), expected);
        const QByteArray after = savedList(e.dialog.list());
        QVERIFY(after.startsWith(before));
        QCOMPARE(after.size() > before.size(), !stored.isEmpty());
        if (!stored.isEmpty()) {
            // The new category is selected and shows what it took in.
            QCOMPARE(texts(e.categories()).last(), QString("Mine"));
            QCOMPARE(selectedRow(e.categories()), 3);
            QCOMPARE(e.affirmations()->count(), stored.size());
        }
    }

    // With a category selected the user chooses: a new category, the selected one, or neither.
    void importIntoSelectedCategory_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<Rows>("after");
        QTest::newRow("new category") << int(QMessageBox::Yes) << kLibrary + Rows{{"Mine", "one", "two"}};
        QTest::newRow("selected category")
            << int(QMessageBox::No) << Rows{category("Health", 3) + QByteArrayList{"one", "two"}, category("Empty"), category("Work", 2)};
        QTest::newRow("cancelled") << int(QMessageBox::Cancel) << kLibrary;
    }
    void importIntoSelectedCategory()
    {
        QFETCH(int, answer);
        QFETCH(Rows, after);
        QTemporaryDir folder;
        const QString path = folder.filePath("Mine.txt");
        QVERIFY(writeWholeFile(path, "one\ntwo\n"));
        m_messages.emplace([answer](const MessageBox::Request &request) {
            return request.icon == QMessageBox::Question ? QMessageBox::StandardButton(answer) : QMessageBox::Ok;
        });
        Editor e;
        e.select(e.categories(), 0);
        e.answerFileDialog(path);
        e.clickFileButton("import");

        QVERIFY(!m_messages->requests().isEmpty());
        const MessageBox::Request &question = m_messages->requests().first();
        QCOMPARE(question.text, QString("Make a new category of the affirmations in Mine.txt, or add them to \"Health\"?"));
        QCOMPARE(question.buttonTexts, (QList<std::pair<QMessageBox::StandardButton, QString>>{
                                           {QMessageBox::Yes, "New Category"}, {QMessageBox::No, "Add to Selected"}}));
        QCOMPARE(rowsOf(e.dialog.list()), after);
        QCOMPARE(m_messages->requests().size(), answer == QMessageBox::Cancel ? 1 : 2);
        if (answer == QMessageBox::No)
            QCOMPARE(texts(e.affirmations()), (QStringList{"Health1", "Health2", "Health3", "one", "two"}));
    }

    // A full library takes no new category; a file that cannot be read is named in the message.
    void importRefused()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath("Mine.txt");
        QVERIFY(writeWholeFile(path, "one\ntwo\n"));
        {
            Editor e(categories(100, 1));
            e.answerFileDialog(path);
            e.clickFileButton("import");
            QCOMPARE(m_messages->requests().size(), 1);
            QCOMPARE(m_messages->requests().first().text,
                     QString("Nothing was imported.\n\n2 lines were left out:\n"
                             "2 had no category to go into: the library holds at most 100 categories."));
            QCOMPARE(rowsOf(e.dialog.list()), categories(100, 1));
        }
        m_messages->clear();
        {
            Editor e;
            QVERIFY(QFile::setPermissions(path, {}));
            const bool unreadable = !QFile(path).open(QIODevice::ReadOnly);
            e.answerFileDialog(path);
            e.clickFileButton("import");
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
            if (!unreadable)
                QSKIP("this user reads files without read permission");
            QCOMPARE(m_messages->requests().size(), 1);
            QCOMPARE(m_messages->requests().first().text, "Access to " + path + " was denied.");
            QCOMPARE(rowsOf(e.dialog.list()), kLibrary);
        }
    }

    // The import is one edit among the others: Cancel drops it, OK hands it over.
    void importUndoneByCancel_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::newRow("Cancel") << false;
        QTest::newRow("OK") << true;
    }
    void importUndoneByCancel()
    {
        QFETCH(bool, ok);
        QTemporaryDir folder;
        const QString path = folder.filePath("Mine.txt");
        QVERIFY(writeWholeFile(path, "one\n"));
        CFlashLibrary::LibraryTable library = tableOf(kLibrary);
        CListEditDlg editor(library);
        QTimer::singleShot(0, &editor, [&] {
            answerNextModal<QFileDialog>(&editor, [&](QFileDialog *chooser) {
                chooser->selectFile(path);
                static_cast<QDialog *>(chooser)->accept();
            });
            QTest::mouseClick(editor.findChild<QPushButton *>("import"), Qt::LeftButton);
            QTest::mouseClick(editor.findChild<QWidget *>(ok ? "ok" : "cancel"), Qt::LeftButton);
            if (editor.isVisible())
                editor.done(-1);
        });
        if (editor.exec() == QDialog::Accepted)
            library = editor.list();
        const Rows imported = kLibrary + Rows{{"Mine", "one"}};
        QCOMPARE(rowsOf(library), ok ? imported : kLibrary);
    }

    // Export writes the selected category's texts, one per line, as UTF-8; Import reads that
    // file back as the same texts, in a category named after it.
    void exportReadBackByImport()
    {
        const Rows rows{{"Other", "x"}, {"Calm", "I am calm", " blanks ", "Caf\xE9", "S\xC3\xBC\xC3\x9F"}};
        QTemporaryDir folder;
        const QString path = folder.filePath("Calm.txt");
        QVERIFY(writeWholeFile(path, "earlier, longer contents\n"));
        Editor e(rows);
        e.select(e.categories(), 1);
        e.answerFileDialog(path);
        e.clickFileButton("export");
        QCOMPARE(e.fileDialogs, QList<QFileDialog::AcceptMode>{QFileDialog::AcceptSave});
        QVERIFY(m_messages->requests().isEmpty());
        QCOMPARE(readWholeFile(path), QByteArray("I am calm\n blanks \nCaf\xC3\xA9\nS\xC3\xBC\xC3\x9F\n"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Calm.txt"});

        e.select(e.categories(), 0);
        m_messages.emplace([](const MessageBox::Request &request) {
            return request.icon == QMessageBox::Question ? QMessageBox::Yes : QMessageBox::Ok;
        });
        e.answerFileDialog(path);
        e.clickFileButton("import");
        const QStringList shown = texts(e.affirmations());
        QCOMPARE(texts(e.categories()), (QStringList{"Other", "Calm", "Calm"}));
        e.select(e.categories(), 1);
        QCOMPARE(texts(e.affirmations()), QStringList(shown));
        QCOMPARE(rowsOf(e.dialog.list())[2], (QByteArrayList{"Calm", "I am calm", " blanks ", "Caf\xC3\xA9", "S\xC3\xBC\xC3\x9F"}));
    }

    // Export needs a category, as adding an affirmation does; a file that cannot be written is
    // reported with its file-error text.
    void exportRefused()
    {
        Editor e;
        e.clickFileButton("export");
        QCOMPARE(m_messages->requests().size(), 1);
        QCOMPARE(m_messages->requests().first().text, QString("Please select category"));
        QVERIFY(e.fileDialogs.isEmpty());

        m_messages->clear();
        QTemporaryDir folder;
        const QString path = folder.filePath("no folder/Health.txt");
        e.select(e.categories(), 0);
        e.answerFileDialog(path);
        e.clickFileButton("export");
        QCOMPARE(m_messages->requests().size(), 1);
        QCOMPARE(m_messages->requests().first().icon, QMessageBox::Critical);
        QVERIFY2(m_messages->requests().first().text.contains(path), qPrintable(m_messages->requests().first().text));
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
        QCOMPARE(controls.size(), 1 + 12 + 5);
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
