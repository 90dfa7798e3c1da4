#include "CMyTreeCtrl.h"
#include "LibraryTables.h"

#include <QTest>

#include <array>
#include <vector>

using TickTable = CFlashLibrary::TickTable;
using Ticks = QList<QList<bool>>; // per category: its own tick, then its affirmations'

namespace {

const Rows kLibrary{category("Health", 3), category("Empty"), category("Work", 2)};
const Ticks kNone{{false, false, false, false}, {false}, {false, false, false}};

// The tree shown on the screen, as the main window holds it.
struct Tree
{
    explicit Tree(const Rows &rows = kLibrary, const TickTable &check = {})
    {
        tree.resize(400, 300);
        tree.FillTree(tableOf(rows), check);
        tree.show();
        if (!QTest::qWaitForWindowExposed(&tree))
            qFatal("tree not shown");
    }

    QTreeWidgetItem *item(int category, int affirmation = 0) const
    {
        QTreeWidgetItem *item = tree.topLevelItem(category);
        return affirmation ? item->child(affirmation - 1) : item;
    }

    Ticks ticks() const
    {
        Ticks ticks;
        for (int i = 0; i < tree.topLevelItemCount(); ++i) {
            QList<bool> row{CMyTreeCtrl::GetCheck(tree.topLevelItem(i))};
            for (int j = 0; j < tree.topLevelItem(i)->childCount(); ++j)
                row.append(CMyTreeCtrl::GetCheck(tree.topLevelItem(i)->child(j)));
            ticks.append(row);
        }
        return ticks;
    }

    void setTicks(const Ticks &ticks)
    {
        for (int i = 0; i < ticks.size(); ++i)
            for (int j = 0; j < ticks[i].size(); ++j)
                CMyTreeCtrl::SetCheck(item(i, j), ticks[i][j]);
    }

    QPoint checkBox(int category, int affirmation = 0) const
    {
        return tree.checkBoxRect(item(category, affirmation)).center();
    }
    QPoint text(int category, int affirmation = 0) const
    {
        const QRect box = tree.checkBoxRect(item(category, affirmation));
        const QRect row = tree.visualItemRect(item(category, affirmation));
        return QPoint(box.right() + 20, row.center().y());
    }
    QPoint expandButton(int category) const
    {
        const QRect row = tree.visualItemRect(item(category));
        return QPoint(row.left() - tree.indentation() / 2, row.center().y());
    }

    CMyTreeCtrl tree;
};

TickTable tickTable(const QList<QPoint> &ticked, quint8 value = 1)
{
    TickTable check{};
    for (const QPoint &position : ticked)
        check[position.x()][position.y()] = value;
    return check;
}

} // namespace

class MyTreeCtrlTest : public QObject
{
    Q_OBJECT

private slots:
    void fillShowsTheLibraryInOrder()
    {
        Rows rows{category("Health", 3), {"Caf\xe9", "na\xefve", "\xc3\xa9t\xc3\xa9"}, category("Work", 99)};
        Tree t(rows);
        QCOMPARE(t.tree.topLevelItemCount(), 3);
        QStringList texts;
        Rows stored;
        for (int i = 0; i < 3; ++i) {
            QByteArrayList row{CMyTreeCtrl::storedText(t.item(i))};
            texts << t.item(i)->text(0);
            for (int j = 1; j <= t.item(i)->childCount(); ++j) {
                QTreeWidgetItem *child = t.item(i, j);
                QCOMPARE(child->childCount(), 0);
                row << CMyTreeCtrl::storedText(child);
                if (i == 1)
                    texts << child->text(0);
            }
            stored << row;
        }
        QCOMPARE(stored, rows);
        // Texts that are not UTF-8 show as Windows-1252 and keep their bytes.
        QCOMPARE(texts, (QStringList{"Health", QString::fromUtf8("Café"), QString::fromUtf8("naïve"),
                                     QString::fromUtf8("été"), "Work"}));
        QCOMPARE(t.item(2, 99)->text(0), QString("Work99"));

        for (QTreeWidgetItemIterator it(&t.tree); *it; ++it) {
            QVERIFY(!(*it)->isExpanded());
            QVERIFY(!(*it)->isSelected());
            QVERIFY((*it)->flags() & Qt::ItemIsUserCheckable);
            QVERIFY(!((*it)->flags() & (Qt::ItemIsAutoTristate | Qt::ItemIsUserTristate | Qt::ItemIsEditable)));
        }
        QVERIFY(t.tree.selectedItems().isEmpty());
    }

    void fillEndsAtTheMarkers()
    {
        Tree t(Rows{{"A", "a1", "", "a3"}, {}, {"C", "c1"}});
        QCOMPARE(t.tree.topLevelItemCount(), 1);
        QCOMPARE(t.item(0)->childCount(), 1);
    }

    void fillTicksOnlyTheValueOne_data()
    {
        QTest::addColumn<quint8>("value");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("0") << quint8(0) << false;
        QTest::newRow("1") << quint8(1) << true;
        QTest::newRow("2") << quint8(2) << false;
        QTest::newRow("255") << quint8(255) << false;
    }
    void fillTicksOnlyTheValueOne()
    {
        QFETCH(quint8, value);
        QFETCH(bool, ticked);
        Tree t(kLibrary, tickTable({{0, 0}, {0, 2}, {1, 0}, {2, 1}}, value));
        const Ticks expected{{ticked, false, ticked, false}, {ticked}, {false, ticked, false}};
        QCOMPARE(t.ticks(), expected);
    }

    void refillReplacesEverything()
    {
        Tree t;
        t.tree.FillTree(tableOf({category("Only", 1)}), tickTable({{0, 1}}));
        QCOMPARE(t.tree.topLevelItemCount(), 1);
        QCOMPARE(t.ticks(), (Ticks{{false, true}}));
    }

    void ticksAreReadByPosition()
    {
        // Equal texts keep their own ticks: the table follows places, not texts.
        const Rows rows{{"A", "same", "same", "x"}, {"A", "same"}, category("Empty")};
        Tree t(rows);
        t.setTicks({{false, false, true, true}, {true, true}, {true}});
        TickTable check;
        check.fill({});
        check[99][99] = 1; // stale ticks beyond the tree are cleared
        t.tree.ReadTicksFromTree(check);
        QCOMPARE(check, tickTable({{0, 2}, {0, 3}, {1, 0}, {1, 1}, {2, 0}}));

        Tree again(rows, check);
        QCOMPARE(again.ticks(), t.ticks());
    }

    void collectTakesTickedAffirmationsInTreeOrder()
    {
        Tree t;
        // Category ticks play no part: Health is ticked with none of its affirmations.
        t.setTicks({{true, false, false, false}, {true}, {false, true, true}});
        std::vector<QByteArray> flash(10000, QByteArray("stale"));
        QCOMPARE(t.tree.CollectTicked(flash), 2);
        QCOMPARE(flash[0], QByteArray("Work1"));
        QCOMPARE(flash[1], QByteArray("Work2"));
        QVERIFY(std::all_of(flash.begin() + 2, flash.end(), [](const QByteArray &text) { return text.isEmpty(); }));

        t.setTicks({{false, false, true, true}, {false}, {true, false, true}});
        QCOMPARE(t.tree.CollectTicked(flash), 3);
        QCOMPARE(QByteArrayList(flash.begin(), flash.begin() + 4),
                 (QByteArrayList{"Health2", "Health3", "Work2", ""}));

        t.setTicks({{true, false, false, false}, {true}, {true, false, false}});
        QCOMPARE(t.tree.CollectTicked(flash), 0);
        QVERIFY(flash[0].isEmpty());
    }

    void collectFillsAWholeLibrary()
    {
        TickTable all;
        for (auto &row : all)
            row.fill(1);
        Tree t(categories(100, 99), all);
        std::vector<QByteArray> flash(10000);
        QCOMPARE(t.tree.CollectTicked(flash), 9900);
        QCOMPARE(flash[0], QByteArray("C01"));
        QCOMPARE(flash[9899], QByteArray("C9999"));
        QVERIFY(flash[9900].isEmpty());
        // A short list is filled as far as it goes.
        std::array<QByteArray, 3> few;
        QCOMPARE(t.tree.CollectTicked(few), 3);
        QCOMPARE(few[2], QByteArray("C03"));
    }

    void mousePress_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("category");
        QTest::addColumn<int>("affirmation");
        QTest::addColumn<Ticks>("before");
        QTest::addColumn<Ticks>("after");

        const Ticks mixed{{true, true, false, true}, {false}, {false, true, false}};
        QTest::newRow("unticked category ticks all") << "box" << 0 << 0 << kNone
                                                     << Ticks{{true, true, true, true}, {false}, {false, false, false}};
        QTest::newRow("ticked category clears a mix") << "box" << 0 << 0 << mixed
                                                      << Ticks{{false, false, false, false}, {false}, {false, true, false}};
        QTest::newRow("unticked category ticks a mix") << "box" << 2 << 0 << mixed
                                                       << Ticks{{true, true, false, true}, {false}, {true, true, true}};
        QTest::newRow("category without affirmations") << "box" << 1 << 0 << mixed
                                                       << Ticks{{true, true, false, true}, {true}, {false, true, false}};
        QTest::newRow("affirmation ticks only itself") << "box" << 2 << 2 << kNone
                                                       << Ticks{{false, false, false, false}, {false}, {false, false, true}};
        QTest::newRow("all affirmations ticked, category stays") << "box" << 2 << 2 << mixed
                                                                 << Ticks{{true, true, false, true}, {false}, {false, true, true}};
        QTest::newRow("affirmation clears only itself") << "box" << 0 << 3 << mixed
                                                        << Ticks{{true, true, false, false}, {false}, {false, true, false}};
        QTest::newRow("none left, category stays ticked") << "box" << 2 << 1 << Ticks{{true, true, true, true}, {false}, {true, true, false}}
                                                          << Ticks{{true, true, true, true}, {false}, {true, false, false}};
        QTest::newRow("category text") << "text" << 0 << 0 << mixed << mixed;
        QTest::newRow("affirmation text") << "text" << 2 << 1 << mixed << mixed;
        QTest::newRow("expand button") << "expand" << 0 << 0 << mixed << mixed;
    }
    void mousePress()
    {
        QFETCH(QString, target);
        QFETCH(int, category);
        QFETCH(int, affirmation);
        QFETCH(Ticks, before);
        QFETCH(Ticks, after);
        Tree t;
        t.tree.expandAll();
        t.setTicks(before);
        const QPoint point = target == "box"    ? t.checkBox(category, affirmation)
                             : target == "text" ? t.text(category, affirmation)
                                                : t.expandButton(category);
        const CMyTreeCtrl::Hit hit = t.tree.HitTest(point);
        QCOMPARE(hit.item, t.item(category, affirmation));
        QCOMPARE(hit.onCheckBox, target == "box");

        QTest::mouseClick(t.tree.viewport(), Qt::LeftButton, {}, point);
        QCOMPARE(t.ticks(), after);
        if (target == "expand")
            QVERIFY(!t.item(category)->isExpanded());
    }

    void collapsedCategoryTicksItsHiddenAffirmations()
    {
        Tree t;
        QVERIFY(!t.item(2)->isExpanded());
        QTest::mouseClick(t.tree.viewport(), Qt::LeftButton, {}, t.checkBox(2));
        QCOMPARE(t.ticks(), (Ticks{{false, false, false, false}, {false}, {true, true, true}}));
        t.tree.expandItem(t.item(2));
        QCOMPARE(t.ticks(), (Ticks{{false, false, false, false}, {false}, {true, true, true}}));
        QTest::mouseClick(t.tree.viewport(), Qt::LeftButton, {}, t.checkBox(2));
        QCOMPARE(t.ticks(), (Ticks{{false, false, false, false}, {false}, {false, false, false}}));
    }

    void otherButtonsChangeNoTick()
    {
        Tree t;
        QTest::mouseClick(t.tree.viewport(), Qt::RightButton, {}, t.checkBox(0));
        QTest::mouseClick(t.tree.viewport(), Qt::MiddleButton, {}, t.checkBox(0));
        QCOMPARE(t.ticks(), kNone);
    }

    void pressOnBoxReleasedElsewhereChangesNothing()
    {
        Tree t;
        QTest::mousePress(t.tree.viewport(), Qt::LeftButton, {}, t.checkBox(0));
        QTest::mouseRelease(t.tree.viewport(), Qt::LeftButton, {}, t.text(2));
        QCOMPARE(t.ticks(), kNone);
    }

    void spaceBarTogglesOnlyTheFocusedItem()
    {
        Tree t;
        t.tree.setFocus();
        t.tree.setCurrentItem(t.item(0));
        QTest::keyClick(&t.tree, Qt::Key_Space);
        QCOMPARE(t.ticks(), (Ticks{{true, false, false, false}, {false}, {false, false, false}}));
        t.setTicks({{true, true, true, true}});
        QTest::keyClick(&t.tree, Qt::Key_Space);
        QCOMPARE(t.ticks(), (Ticks{{false, true, true, true}, {false}, {false, false, false}}));
    }

    void secondPressOfADoubleClickLeavesTheAffirmations()
    {
        Tree t;
        t.tree.expandAll();
        const QPoint box = t.checkBox(0);
        QTest::mousePress(t.tree.viewport(), Qt::LeftButton, {}, box);
        QTest::mouseRelease(t.tree.viewport(), Qt::LeftButton, {}, box);
        const Ticks afterFirst{{true, true, true, true}, {false}, {false, false, false}};
        QCOMPARE(t.ticks(), afterFirst);
        // The second press arrives as a double-click: the box toggles back, its affirmations stay.
        QTest::mouseDClick(t.tree.viewport(), Qt::LeftButton, {}, box);
        QTest::mouseRelease(t.tree.viewport(), Qt::LeftButton, {}, box);
        QCOMPARE(t.ticks(), (Ticks{{false, true, true, true}, {false}, {false, false, false}}));
        QVERIFY(t.item(0)->isExpanded());
    }
};

QTEST_MAIN(MyTreeCtrlTest)
#include "tst_mytreectrl.moc"
