#pragma once

#include "FlashLibrary.h"

#include <QDialog>

namespace PlainTextList {
struct ImportResult;
}

class CPictureButton;
class QGroupBox;
class QListWidget;
class QPushButton;

// The library editor: adds and deletes categories and affirmations on its own copy of the
// library. The categories are listed on the left, the affirmations of the selected category on
// the right. Only OK hands the copy back; the caller then takes list() whole. Entries are found
// in the table by their place in the lists, so categories or affirmations of equal text are
// each edited for themselves.
class CListEditDlg : public QDialog
{
    Q_OBJECT

public:
    using LibraryTable = CFlashLibrary::LibraryTable;

    static constexpr char kTitle[] = "Dialog";
    static constexpr char kSelectCategoryText[] = "Please select category";
    static constexpr char kLibraryFullText[] = "The library holds at most 100 categories.";
    static constexpr char kCategoryFullText[] = "A category holds at most 99 affirmations.";
    static constexpr char kCategoryHeading[] = "Here you can add your own category";
    static constexpr char kCategoryLabel[] = "Category name:";
    static constexpr char kAffirmationLabel[] = "Your affirmation:";
    static constexpr char kImportText[] = "Import...";
    static constexpr char kExportText[] = "Export...";

    explicit CListEditDlg(const LibraryTable &list, QWidget *parent = nullptr);

    // The edited copy of the library.
    const LibraryTable &list() const { return m_list; }

    // The name prompt's heading for a new affirmation of the named category.
    static QString affirmationHeading(const QString &category);
    // The message after an import into the category named `category`: what it took in and
    // what it left out, and why.
    static QString importReport(const PlainTextList::ImportResult &result, const QString &category);

public slots:
    void OnAddCategory();
    void OnDeleteCategory();
    void OnAddAffirmation();
    void OnDeleteAffirmation();
    void OnSelChangedCategories();
    // A text file's lines as a new category named after the file, or added to the selected one.
    void OnImport();
    // The selected category's affirmations as a text file, one per line.
    void OnExport();

private:
    // Row of the selected category, or -1.
    int GetSelectedCategory() const;
    // Slot of the selected affirmation, or -1.
    int GetSelectedAffirmation() const;
    void FillCategoryTree();
    void FillAffirmationTree();
    void showMessage(const char *text);

    LibraryTable m_list;

    QGroupBox *m_frameCategories = nullptr;
    QGroupBox *m_frameAffirmations = nullptr;
    QListWidget *m_treeCategories = nullptr;
    QListWidget *m_treeAffirmations = nullptr;
    CPictureButton *m_btnAddCategory = nullptr;
    CPictureButton *m_btnDeleteCategory = nullptr;
    CPictureButton *m_btnAddAffirmation = nullptr;
    CPictureButton *m_btnDeleteAffirmation = nullptr;
    CPictureButton *m_btnOk = nullptr;
    CPictureButton *m_btnCancel = nullptr;
    QPushButton *m_btnImport = nullptr;
    QPushButton *m_btnExport = nullptr;
};
