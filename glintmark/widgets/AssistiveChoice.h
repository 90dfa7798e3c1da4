#pragma once

class QComboBox;

// Makes an entry that an assistive tool chooses in a drop-down list the list's choice, as a
// click on it would: Qt's accessibility interface only selects the entry in the list's popup
// view, which the list itself ignores. The list takes the entry, closes its popup if it was
// open, and reports the entry as activated. A disabled list keeps its entry.
void followAssistiveChoice(QComboBox *combo);
