#include "FlashNotice.h"

#include "MessageBox.h"

#include <QApplication>
#include <QSettings>

void showShortDisplayNotice()
{
    QSettings settings;
    if (settings.value(kShortDisplayNoticeSetting, false).toBool())
        return;
    bool dontShowAgain = false;
    // It belongs to the window the user started from, and stands in no task bar of its own.
    MessageBox::show({.parent = QApplication::activeWindow(),
                      .title = kShortDisplayNoticeCaption,
                      .text = kShortDisplayNoticeText,
                      .checkBoxText = kDontShowAgainText,
                      .checked = &dontShowAgain});
    if (dontShowAgain)
        settings.setValue(kShortDisplayNoticeSetting, true);
}
