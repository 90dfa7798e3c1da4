#pragma once

#include <QString>

// The notice that comes up before flashing with the shortest display time, until the user
// ticks its "Don't show this message again".

inline const QString kShortDisplayNoticeCaption = QStringLiteral("10 ms option selected");
inline const QString kShortDisplayNoticeText = QStringLiteral(
    "Please note, that minimum interval (10 ms) is selected. Messages should be almost invisible. "
    "If you will still see them clearly this means that your system has not enough performance.");
inline const QString kDontShowAgainText = QStringLiteral("Don't show this message again");
// The per-user setting that keeps the user's "don't show again".
inline const QString kShortDisplayNoticeSetting = QStringLiteral("{D85055F7-4AD0-49d9-9686-35F5A53B1133}");

// Shows the notice (modal, through the message-box wrapper) unless the user turned it off,
// and remembers when the user does.
void showShortDisplayNotice();
