#pragma once

class QWidget;

// Closes what stands between the user and leaving: open menus, message boxes and modal dialogs
// other than `owner`, each as if the user had dismissed it (Esc). Their callers then carry on
// as they would after a cancel, so Quit and Exit end the program even with a dialog open.
void dismissOpenDialogs(const QWidget *owner);
