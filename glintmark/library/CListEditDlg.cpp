#include "CListEditDlg.h"

#include "CAddCatDlg.h"
#include "CPictureButton.h"
#include "DialogLook.h"
#include "DisplayText.h"
#include "LibraryEdit.h"
#include "MessageBox.h"
#include "WindowFrame.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
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
    setTabOrder(m_btnCancel, m_btnAddCategory);
    setTabOrder(m_btnAddCategory, m_treeCategories);
    setTabOrder(m_treeCategories, m_treeAffirmations);
    setTabOrder(m_treeAffirmations, m_btnDeleteCategory);
    setTabOrder(m_btnDeleteCategory, m_btnAddAffirmation);
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
