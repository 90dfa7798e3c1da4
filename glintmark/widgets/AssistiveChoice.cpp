#include "AssistiveChoice.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QItemSelectionModel>

void followAssistiveChoice(QComboBox *combo)
{
    QAbstractItemView *view = combo->view();
    QObject::connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, combo, [combo, view] {
        const QModelIndexList selected = view->selectionModel()->selectedIndexes();
        if (selected.size() != 1 || !combo->isEnabled())
            return;
        const QModelIndex chosen = selected.first();
        // In the open popup the pointer and the keys move the current entry with the selection,
        // and the list takes their entry itself; an assistive tool selects without moving it.
        // The closed popup's selection changes only for an assistive tool.
        const bool popupOpen = view->isVisible();
        if (popupOpen ? chosen == view->currentIndex() : chosen.row() == combo->currentIndex())
            return;
        combo->setCurrentIndex(chosen.row());
        if (popupOpen)
            combo->hidePopup();
        emit combo->activated(chosen.row());
        emit combo->textActivated(combo->currentText());
    });
}
