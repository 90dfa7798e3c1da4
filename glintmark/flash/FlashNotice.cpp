#include "FlashNotice.h"

#include "MessageBox.h"

#include <QSettings>

void showShortDisplayNotice()
{
    QSettings settings;
    if (settings.value(kShortDisplayNoticeSetting, false).toBool())
        return;
    bool dontShowAgain = false;
    MessageBox::show({nullptr, QMessageBox::NoIcon, kShortDisplayNoticeCaption, kShortDisplayNoticeText,
                      QMessageBox::Ok, kDontShowAgainText, &dontShowAgain});
    if (dontShowAgain)
        settings.setValue(kShortDisplayNoticeSetting, true);
}
