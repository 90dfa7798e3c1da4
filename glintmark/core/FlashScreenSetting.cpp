#include "FlashScreenSetting.h"

#include <QSettings>

namespace {
const QString kPrimary = QStringLiteral("primary");
const QString kPointer = QStringLiteral("pointer");
const QString kAll = QStringLiteral("all");
} // namespace

QString flashScreenToStored(FlashScreen screen)
{
    switch (screen) {
    case FlashScreen::Pointer:
        return kPointer;
    case FlashScreen::All:
        return kAll;
    case FlashScreen::Primary:
        break;
    }
    return kPrimary;
}

FlashScreen flashScreenFromStored(const QString &stored)
{
    if (stored == kPointer)
        return FlashScreen::Pointer;
    if (stored == kAll)
        return FlashScreen::All;
    return FlashScreen::Primary;
}

FlashScreen readFlashScreen()
{
    return flashScreenFromStored(QSettings().value(kFlashScreenSetting).toString());
}

void writeFlashScreen(FlashScreen screen)
{
    QSettings settings;
    settings.setValue(kFlashScreenSetting, flashScreenToStored(screen));
    settings.sync();
}
