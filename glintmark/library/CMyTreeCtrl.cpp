#include "CMyTreeCtrl.h"

#include "DisplayText.h"

#include <QAccessible>
#include <QHeaderView>
#include <QMouseEvent>
#include <QStyledItemDelegate>

#include <algorithm>
#include <utility>

namespace {

// The delegate that draws the check boxes and toggles them also tells where it draws them.
class CheckBoxDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QRect checkBoxRect(QStyleOptionViewItem option, const QModelIndex &index, const QWidget *view) const
    {
        initStyleOption(&option, index);
        return view->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, view);
    }
};

constexpr Qt::ItemFlags kItemFlags = Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled;

// An item whose accessible description follows its tick, and that has its tree announce a
// change of it.
class TickItem : public QTreeWidgetItem
{
public:
    QVariant data(int column, int role) const override
    {
        if (role == Qt::AccessibleDescriptionRole && column == 0)
            return QLatin1String(CMyTreeCtrl::GetCheck(this) ? CMyTreeCtrl::kTickedText : CMyTreeCtrl::kNotTickedText);
        return QTreeWidgetItem::data(column, role);
    }

    void setData(int column, int role, const QVariant &value) override
    {
        const bool tickChanges = role == Qt::CheckStateRole && column == 0 && value != data(column, role);
        QTreeWidgetItem::setData(column, role, value);
        if (auto *tree = qobject_cast<CMyTreeCtrl *>(treeWidget()); tree && tickChanges)
            tree->announceTick(this);
    }
};

QTreeWidgetItem *newItem(const QByteArray &text, bool ticked)
{
    auto *item = new TickItem;
    item->setFlags(kItemFlags);
    item->setText(0, entryText(text));
    item->setData(0, CMyTreeCtrl::kStoredTextRole, text);
    CMyTreeCtrl::SetCheck(item, ticked);
    return item;
}

} // namespace

CMyTreeCtrl::CMyTreeCtrl(QWidget *parent)
    : QTreeWidget(parent)
{
    setItemDelegate(new CheckBoxDelegate(this));
    setColumnCount(1);
    setHeaderLabel(QLatin1String(kColumnTitle));
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    setAccessibleName(QStringLiteral("Affirmations"));
}

void CMyTreeCtrl::FillTree(const LibraryTable &list, const TickTable &check)
{
    clear();
    QList<QTreeWidgetItem *> categories;
    for (int row = 0; row < CFlashLibrary::kRows && !list[row][0].isEmpty(); ++row) {
        QTreeWidgetItem *category = newItem(list[row][0], check[row][0] == 1);
        QList<QTreeWidgetItem *> affirmations;
        for (int slot = 1; slot < CFlashLibrary::kSlots && !list[row][slot].isEmpty(); ++slot)
            affirmations.append(newItem(list[row][slot], check[row][slot] == 1));
        category->addChildren(affirmations);
        categories.append(category);
    }
    addTopLevelItems(categories);
}

void CMyTreeCtrl::ReadTicksFromTree(TickTable &check) const
{
    check = {};
    const int rows = std::min(topLevelItemCount(), CFlashLibrary::kRows);
    for (int row = 0; row < rows; ++row) {
        const QTreeWidgetItem *category = topLevelItem(row);
        check[row][0] = GetCheck(category) ? 1 : 0;
        const int affirmations = std::min(category->childCount(), CFlashLibrary::kSlots - 1);
        for (int slot = 1; slot <= affirmations; ++slot)
            check[row][slot] = GetCheck(category->child(slot - 1)) ? 1 : 0;
    }
}

int CMyTreeCtrl::CollectTicked(std::span<QByteArray> flashTexts) const
{
    std::fill(flashTexts.begin(), flashTexts.end(), QByteArray());
    std::size_t count = 0;
    for (int row = 0; row < topLevelItemCount(); ++row) {
        const QTreeWidgetItem *category = topLevelItem(row);
        for (int i = 0; i < category->childCount() && count < flashTexts.size(); ++i) {
            if (GetCheck(category->child(i)))
                flashTexts[count++] = storedText(category->child(i));
        }
    }
    return int(count);
}

QByteArray CMyTreeCtrl::storedText(const QTreeWidgetItem *item)
{
    return item ? item->data(0, kStoredTextRole).toByteArray() : QByteArray();
}

bool CMyTreeCtrl::GetCheck(const QTreeWidgetItem *item)
{
    return item->checkState(0) != Qt::Unchecked;
}

void CMyTreeCtrl::SetCheck(QTreeWidgetItem *item, bool ticked)
{
    item->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
}

void CMyTreeCtrl::announceTick(QTreeWidgetItem *item)
{
    // Only the rows the view shows are children of its accessible table.
    if (!QAccessible::isActive() || (item->parent() && !item->parent()->isExpanded()) || item->isHidden())
        return;
    QAccessibleInterface *tree = QAccessible::queryAccessibleInterface(this);
    QAccessibleTableInterface *table = tree ? tree->tableInterface() : nullptr;
    if (!table)
        return;
    int row = 0;
    for (const QTreeWidgetItem *above = itemAbove(item); above; above = itemAbove(above))
        ++row;
    QAccessibleInterface *cell = table->cellAt(row, 0);
    if (!cell)
        return;
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent stateChange(cell, changed);
    QAccessible::updateAccessibility(&stateChange);
    QAccessibleEvent descriptionChange(cell, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&descriptionChange);
}

QRect CMyTreeCtrl::checkBoxRect(const QTreeWidgetItem *item) const
{
    const QModelIndex index = indexFromItem(item);
    if (!index.isValid())
        return {};
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    if (index == currentIndex())
        option.state |= QStyle::State_HasFocus;
    return static_cast<const CheckBoxDelegate *>(itemDelegate())->checkBoxRect(option, index, this);
}

CMyTreeCtrl::Hit CMyTreeCtrl::HitTest(const QPoint &point) const
{
    QTreeWidgetItem *item = itemAt(point);
    return {item, item && checkBoxRect(item).contains(point)};
}

void CMyTreeCtrl::mousePressEvent(QMouseEvent *event)
{
    m_pressedBox = QPersistentModelIndex();
    if (event->button() == Qt::LeftButton) {
        const Hit hit = HitTest(event->position().toPoint());
        if (hit.onCheckBox && hit.item->childCount() > 0) {
            m_pressedBox = indexFromItem(hit.item);
            m_pressedBoxTicked = GetCheck(hit.item);
        }
    }
    QTreeWidget::mousePressEvent(event);
}

void CMyTreeCtrl::mouseReleaseEvent(QMouseEvent *event)
{
    const QPersistentModelIndex pressed = std::exchange(m_pressedBox, QPersistentModelIndex());
    QTreeWidget::mouseReleaseEvent(event);
    QTreeWidgetItem *category = pressed.isValid() ? itemFromIndex(pressed) : nullptr;
    if (!category || GetCheck(category) == m_pressedBoxTicked)
        return;
    const bool ticked = GetCheck(category);
    for (int i = 0; i < category->childCount(); ++i)
        SetCheck(category->child(i), ticked);
}
