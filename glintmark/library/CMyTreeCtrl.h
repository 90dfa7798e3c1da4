#pragma once

#include "FlashLibrary.h"

#include <QByteArray>
#include <QPersistentModelIndex>
#include <QTreeWidget>

#include <span>

// The library as a tree with check boxes: categories at the top level, their affirmations
// below them, in library order. Ticking or clearing a category's box with the mouse does the
// same to all of its affirmations; every other tick change (an affirmation's box, the space
// bar, the second click of a double-click) touches only its own item. There is never a
// partly ticked state. Screen readers learn of every tick box and of its state either way, and
// hear it change.
class CMyTreeCtrl : public QTreeWidget
{
    Q_OBJECT

public:
    using LibraryTable = CFlashLibrary::LibraryTable;
    using TickTable = CFlashLibrary::TickTable;

    // Each item keeps the bytes of its text as stored, which its display text may not give back.
    static constexpr int kStoredTextRole = Qt::UserRole;
    // The one column's title. The header is hidden, but a tree view always shows it to
    // assistive tools, which would otherwise read Qt's placeholder "1".
    static constexpr char kColumnTitle[] = "Categories and affirmations";
    // What an item's accessible description says of its tick box. Qt's AT-SPI bridge passes on
    // an item's ticked state but not that it could be ticked, so the words say both.
    static constexpr char kTickedText[] = "Check box, checked";
    static constexpr char kNotTickedText[] = "Check box, not checked";

    explicit CMyTreeCtrl(QWidget *parent = nullptr);

    // Empties the tree and appends the library's categories, each with its affirmations, ticking
    // each item whose position holds 1 in `check`. Nothing is expanded or selected.
    void FillTree(const LibraryTable &list, const TickTable &check);
    // The ticks by position: row i slot 0 is the i-th category, slot j its j-th affirmation.
    void ReadTicksFromTree(TickTable &check) const;
    // Empties every slot of `flashTexts`, then copies the ticked affirmations into its first
    // slots, in tree order, and returns how many. The categories' own ticks play no part.
    int CollectTicked(std::span<QByteArray> flashTexts) const;

    static QByteArray storedText(const QTreeWidgetItem *item);
    static bool GetCheck(const QTreeWidgetItem *item);
    static void SetCheck(QTreeWidgetItem *item, bool ticked);

    // The item under a point of the viewport, and whether the point is on its check box.
    struct Hit
    {
        QTreeWidgetItem *item = nullptr;
        bool onCheckBox = false;
    };
    Hit HitTest(const QPoint &point) const;
    // Where an item's check box is drawn, in viewport coordinates.
    QRect checkBoxRect(const QTreeWidgetItem *item) const;

    // Tells assistive tools that an item's tick changed; the view itself tells them nothing.
    void announceTick(QTreeWidgetItem *item);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // The category whose box a single left press landed on, until the button is released: the
    // box itself changes on release, and its affirmations follow it then. The second press of
    // a double-click comes as a double-click event and sets nothing here.
    QPersistentModelIndex m_pressedBox;
    bool m_pressedBoxTicked = false;
};
