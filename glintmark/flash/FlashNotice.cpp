#include "FlashNotice.h"

#include "MessageBox.h"

#include <QSettings>

void showShortDisplayNotice()
{
    QSettings settings;
    if (settings.value(kShortDisplayNoticeSetting, false).toBool())
        return;
    bool dontShowAgain = false;
    MessageBox::show({.title = kShortDisplayNoticeCaption,
                      .text = kShortDisplayNoticeText,
                      .checkBoxText = kDontShowAgainText,
                      .checked = &dontShowAgain});
    if (dontShowAgain)
        settings.setValue(kShortDisplayNoticeSetting, true);
}
