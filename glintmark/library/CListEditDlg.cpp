#include "CListEditDlg.h"

#include "CAddCatDlg.h"
#include "CPictureButton.h"
#include "DialogLook.h"
#include "DisplayText.h"
#include "FileBytes.h"
#include "LibraryEdit.h"
#include "MessageBox.h"
#include "PlainTextList.h"
#include "WindowFrame.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {

CPictureButton *pictureButton(const char *caption, const char *word, const char *objectName,
                              const char *description, QWidget *parent)
{
    auto *button = new CPictureButton(QLatin1String(caption), QLatin1String(word), parent);
    button->setObjectName(QLatin1String(objectName));
    button->setAccessibleDescription(QLatin1String(description));
    button->setAutoDefault(true);
    return button;
}

QListWidget *flatList(const char *objectName, const char *accessibleName, QWidget *parent)
{
    auto *list = new QListWidget(parent);
    list->setObjectName(QLatin1String(objectName));
    list->setAccessibleName(QLatin1String(accessibleName));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setTextElideMode(Qt::ElideNone);
    list->setMinimumSize(180, 220);
    return list;
}

int selectedRow(const QListWidget *list)
{
    const QList<QListWidgetItem *> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

QPushButton *fileButton(const QString &text, const char *objectName, const QString &description, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(objectName));
    button->setAccessibleName(text);
    button->setAccessibleDescription(description);
    button->setAutoDefault(true);
    return button;
}

const QString kTextFileFilter = QStringLiteral("Text files (*.txt);;All files (*)");

QString documentsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QListWidgetItem *newItem(const QByteArray &text)
{
    auto *item = new QListWidgetItem(entryText(text));
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

} // namespace

CListEditDlg::CListEditDlg(const LibraryTable &list, QWidget *parent)
    : QDialog(parent)
    , m_list(list)
{
    setWindowTitle(QLatin1String(kTitle));
    setAccessibleName(QStringLiteral("Edit affirmations"));
    DialogLook::apply(this);

    // Created in the tab order.
    m_btnOk = pictureButton("OK", "OK", "ok", "Keep the changes", this);
    m_btnOk->setDefault(true);
    m_btnCancel = pictureButton("CANCEL", "Cancel", "cancel", "Drop the changes", this);
    m_frameCategories = new QGroupBox(QStringLiteral("Categories"), this);
    m_frameCategories->setAccessibleName(m_frameCategories->title());
    m_frameAffirmations = new QGroupBox(QStringLiteral("Affirmations"), this);
    m_frameAffirmations->setAccessibleName(m_frameAffirmations->title());
    m_treeCategories = flatList("categories", "Categories", m_frameCategories);
    m_btnAddCategory = pictureButton("ADDCAT", "Add", "addCategory", "Add a category", m_frameCategories);
    m_btnDeleteCategory = pictureButton("DELETECAT", "Delete", "deleteCategory",
                                        "Delete the selected category", m_frameCategories);
    m_treeAffirmations = flatList("affirmations", "Affirmations", m_frameAffirmations);
    m_btnAddAffirmation = pictureButton("ADDAFFIRM", "Add", "addAffirmation",
                                        "Add an affirmation to the selected category", m_frameAffirmations);
    m_btnDeleteAffirmation = pictureButton("DELETEAFFIRM", "Delete", "deleteAffirmation",
                                           "Delete the selected affirmation", m_frameAffirmations);
    m_btnImport = fileButton(tr(kImportText), "import",
                             tr("Add the lines of a text file as affirmations"), m_frameCategories);
    m_btnExport = fileButton(tr(kExportText), "export",
                             tr("Save the selected category's affirmations as a text file"), m_frameCategories);
    setTabOrder(m_btnCancel, m_btnAddCategory);
    setTabOrder(m_btnAddCategory, m_treeCategories);
    setTabOrder(m_treeCategories, m_treeAffirmations);
    setTabOrder(m_treeAffirmations, m_btnDeleteCategory);
    setTabOrder(m_btnDeleteCategory, m_btnImport);
    setTabOrder(m_btnImport, m_btnExport);
    setTabOrder(m_btnExport, m_btnAddAffirmation);
    setTabOrder(m_btnAddAffirmation, m_btnDeleteAffirmation);

    const auto frameLayout = [](QGroupBox *frame, QListWidget *list, CPictureButton *add, CPictureButton *remove) {
        auto *layout = new QVBoxLayout(frame);
        layout->addWidget(list, 1);
        layout->addSpacing(6);
        layout->addWidget(add, 0, Qt::AlignHCenter);
        layout->addSpacing(8);
        layout->addWidget(remove, 0, Qt::AlignHCenter);
        layout->addSpacing(12);
        DialogLook::setLabelFont(frame);
    };
    frameLayout(m_frameCategories, m_treeCategories, m_btnAddCategory, m_btnDeleteCategory);
    frameLayout(m_frameAffirmations, m_treeAffirmations, m_btnAddAffirmation, m_btnDeleteAffirmation);
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(m_btnImport);
    fileRow->addWidget(m_btnExport);
    auto *categoryLayout = static_cast<QVBoxLayout *>(m_frameCategories->layout());
    categoryLayout->insertLayout(categoryLayout->count() - 1, fileRow);
    categoryLayout->insertSpacing(categoryLayout->count() - 2, 8);

    auto *frames = new QHBoxLayout;
    frames->setSpacing(2);
    frames->addWidget(m_frameCategories, 1);
    frames->addWidget(m_frameAffirmations, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_btnOk);
    buttons->addSpacing(24);
    buttons->addWidget(m_btnCancel);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    // The size the contents ask for, which follows the system font; with no size to choose,
    // window managers offer neither resizing nor maximising.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    WindowFrame::keepFixed(this);
    layout->setContentsMargins(4, 8, 6, 12);
    layout->addLayout(frames, 1);
    layout->addSpacing(24);
    layout->addLayout(buttons);

    connect(m_btnAddCategory, &QPushButton::clicked, this, &CListEditDlg::OnAddCategory);
    connect(m_btnOk, &QPushButton::clicked, this, &CListEditDlg::accept);
    connect(m_btnCancel, &QPushButton::clicked, this, &CListEditDlg::reject);
    connect(m_btnAddAffirmation, &QPushButton::clicked, this, &CListEditDlg::OnAddAffirmation);
    connect(m_treeCategories, &QListWidget::itemSelectionChanged, this, &CListEditDlg::OnSelChangedCategories);
    connect(m_btnDeleteCategory, &QPushButton::clicked, this, &CListEditDlg::OnDeleteCategory);
    connect(m_btnDeleteAffirmation, &QPushButton::clicked, this, &CListEditDlg::OnDeleteAffirmation);
    connect(m_btnImport, &QPushButton::clicked, this, &CListEditDlg::OnImport);
    connect(m_btnExport, &QPushButton::clicked, this, &CListEditDlg::OnExport);

    FillCategoryTree();
}

QString CListEditDlg::affirmationHeading(const QString &category)
{
    return QStringLiteral("Adding to '") + category + QLatin1Char('\'');
}

int CListEditDlg::GetSelectedCategory() const
{
    const int row = selectedRow(m_treeCategories);
    return LibraryEdit::isCategory(m_list, row) ? row : -1;
}

int CListEditDlg::GetSelectedAffirmation() const
{
    const int slot = selectedRow(m_treeAffirmations) + 1;
    return LibraryEdit::isAffirmation(m_list, GetSelectedCategory(), slot) ? slot : -1;
}

void CListEditDlg::FillCategoryTree()
{
    m_treeCategories->clear();
    for (int row = 0; row < LibraryEdit::categoryCount(m_list); ++row)
        m_treeCategories->addItem(newItem(m_list[row][0]));
}

void CListEditDlg::FillAffirmationTree()
{
    m_treeAffirmations->clear();
    const int row = GetSelectedCategory();
    for (int slot = 1; slot <= LibraryEdit::affirmationCount(m_list, row); ++slot)
        m_treeAffirmations->addItem(newItem(m_list[row][slot]));
}

void CListEditDlg::showMessage(const char *text)
{
    MessageBox::show({.parent = this, .title = QCoreApplication::applicationName(), .text = QLatin1String(text)});
}

void CListEditDlg::OnSelChangedCategories()
{
    FillAffirmationTree();
}

void CListEditDlg::OnAddCategory()
{
    if (LibraryEdit::categoryCount(m_list) >= LibraryEdit::kMaxCategories) {
        showMessage(kLibraryFullText);
        return;
    }
    CAddCatDlg prompt(QLatin1String(kCategoryHeading), QLatin1String(kCategoryLabel), this);
    if (prompt.exec() != QDialog::Accepted)
        return;
    const QByteArray name = storedText(prompt.text());
    if (LibraryEdit::addCategory(m_list, name))
        m_treeCategories->addItem(newItem(name));
}

void CListEditDlg::OnDeleteCategory()
{
    LibraryEdit::deleteCategory(m_list, GetSelectedCategory());
    FillCategoryTree();
    FillAffirmationTree();
}

void CListEditDlg::OnAddAffirmation()
{
    const int row = GetSelectedCategory();
    if (row < 0) {
        showMessage(kSelectCategoryText);
        return;
    }
    if (LibraryEdit::affirmationCount(m_list, row) >= LibraryEdit::kMaxAffirmations) {
        showMessage(kCategoryFullText);
        return;
    }
    CAddCatDlg prompt(affirmationHeading(m_treeCategories->item(row)->text()), QLatin1String(kAffirmationLabel),
                      this);
    if (prompt.exec() != QDialog::Accepted)
        return;
    if (LibraryEdit::addAffirmation(m_list, row, storedText(prompt.text())))
        FillAffirmationTree();
}

void CListEditDlg::OnDeleteAffirmation()
{
    LibraryEdit::deleteAffirmation(m_list, GetSelectedCategory(), GetSelectedAffirmation());
    FillAffirmationTree();
}

QString CListEditDlg::importReport(const PlainTextList::ImportResult &result, const QString &category)
{
    const auto count = [](int n, const char *one, const char *many) {
        return n == 1 ? tr(one) : tr(many).arg(n);
    };
    QString report;
    if (result.imported > 0)
        report = count(result.imported, "1 affirmation was imported into \"%2\".",
                       "%1 affirmations were imported into \"%2\".")
                     .arg(category);
    else if (result.leftOut() == 0)
        report = tr("The file holds no affirmations. Nothing was imported.");
    else
        report = tr("Nothing was imported.");
    if (result.leftOut() == 0)
        return report;
    report += QStringLiteral("\n\n") + count(result.leftOut(), "1 line was left out:", "%1 lines were left out:");
    const std::pair<int, QString> reasons[] = {
        {result.withSeparator, count(result.withSeparator, "1 holds a semicolon (;), which separates the texts in the library file.",
                                     "%1 hold a semicolon (;), which separates the texts in the library file.")},
        {result.withLineBreak, count(result.withLineBreak, "1 holds a line break inside its text.",
                                     "%1 hold a line break inside their text.")},
        {result.pastCategoryEnd,
         count(result.pastCategoryEnd, "1 did not fit: a category holds at most %2 affirmations.",
               "%1 did not fit: a category holds at most %2 affirmations.")
             .arg(LibraryEdit::kMaxAffirmations)},
        {result.pastLibraryEnd,
         count(result.pastLibraryEnd, "1 had no category to go into: the library holds at most %2 categories.",
               "%1 had no category to go into: the library holds at most %2 categories.")
             .arg(LibraryEdit::kMaxCategories)},
    };
    for (const auto &[lines, reason] : reasons) {
        if (lines > 0)
            report += QLatin1Char('\n') + reason;
    }
    return report;
}

void CListEditDlg::OnImport()
{
    QFileDialog chooser(this, tr("Import Affirmations"), documentsFolder(), kTextFileFilter);
    chooser.setAcceptMode(QFileDialog::AcceptOpen);
    chooser.setFileMode(QFileDialog::ExistingFile);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return;
    const QString path = chooser.selectedFiles().constFirst();

    const int selected = GetSelectedCategory();
    bool intoSelected = false;
    if (selected >= 0) {
        const QMessageBox::StandardButton answer = MessageBox::show(
            {.parent = this,
             .icon = QMessageBox::Question,
             .title = QCoreApplication::applicationName(),
             .text = tr("Make a new category of the affirmations in %1, or add them to \"%2\"?")
                         .arg(QFileInfo(path).fileName(), m_treeCategories->item(selected)->text()),
             .buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
             .buttonTexts = {{QMessageBox::Yes, tr("New Category")}, {QMessageBox::No, tr("Add to Selected")}},
             .defaultButton = QMessageBox::Yes,
             .escapeButton = QMessageBox::Cancel});
        if (answer == QMessageBox::Cancel)
            return;
        intoSelected = answer == QMessageBox::No;
    }

    const FileBytes file = readFileBytes(path);
    if (file.error) {
        MessageBox::showFileError(this, QCoreApplication::applicationName(), *file.error);
        return;
    }
    const QByteArray name = intoSelected ? m_list[selected][0] : PlainTextList::categoryNameForFile(path);
    const PlainTextList::ImportResult result = intoSelected
        ? PlainTextList::importIntoCategory(m_list, selected, file.bytes)
        : PlainTextList::importAsNewCategory(m_list, name, file.bytes);
    if (result.newCategory) {
        FillCategoryTree();
        m_treeCategories->setCurrentRow(result.row);
    } else if (result.row >= 0) {
        FillAffirmationTree();
    }
    MessageBox::show({.parent = this,
                      .icon = result.leftOut() > 0 ? QMessageBox::Warning : QMessageBox::Information,
                      .title = QCoreApplication::applicationName(),
                      .text = importReport(result, entryText(name)),
                      .informativeText = result.readAsWindows1252 == 0 ? QString()
                          : result.readAsWindows1252 == 1
                          ? tr("1 line was not valid UTF-8 and was read as Windows-1252.")
                          : tr("%1 lines were not valid UTF-8 and were read as Windows-1252.")
                                .arg(result.readAsWindows1252)});
}

void CListEditDlg::OnExport()
{
    const int row = GetSelectedCategory();
    if (row < 0) {
        showMessage(kSelectCategoryText);
        return;
    }
    // The category's name, as far as it makes a file name.
    QString suggested = entryText(m_list[row][0]).simplified();
    suggested.replace(QLatin1Char('/'), QLatin1Char('-'));
    if (suggested.isEmpty() || suggested.startsWith(QLatin1Char('.')))
        suggested.prepend(QCoreApplication::applicationName());
    QFileDialog chooser(this, tr("Export Affirmations"),
                        QDir(documentsFolder()).filePath(suggested + QStringLiteral(".txt")), kTextFileFilter);
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setFileMode(QFileDialog::AnyFile);
    chooser.setDefaultSuffix(QStringLiteral("txt"));
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return;
    if (const std::optional<FileError> error =
            saveFileAtomically(chooser.selectedFiles().constFirst(), PlainTextList::exportCategory(m_list, row)))
        MessageBox::showFileError(this, QCoreApplication::applicationName(), *error);
}
