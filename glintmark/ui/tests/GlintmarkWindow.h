#pragma once

#include "CMyTreeCtrl.h"
#include "FlashDlg.h"
#include "FontRecords.h"
#include "NamedChild.h"
#include "TestFiles.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Glintmark's main window over a small library of its own, for the accessibility, contrast and
// screen-reader tests: Health (I am calm, I sleep well) and Work (I focus, I finish), nothing
// ticked, the default settings. What each Start hands the overlay is kept.
struct GlintmarkWindow
{
    struct Handed
    {
        QByteArrayList texts;
        FlashLocation location{};
        int intervalMs = 0;
        int displayMs = 0;
        FlashScreen screens{};
    };

    static constexpr char kList[] = "Health;I am calm;I sleep well;\r\nWork;I focus;I finish;";

    GlintmarkWindow()
    {
        if (!writeWholeFile(dir.filePath("List.txt"), kList) || !writeWholeFile(dir.filePath("check.txt"), QByteArray(10000, '\0'))
            || !writeWholeFile(dir.filePath("font.dat"), kDefaultFontRecord))
            qFatal("cannot write the window's files");
        dialog = std::make_unique<CFlashDlg>(QStringList{dir.path(), dir.filePath("user"), dir.filePath("share")});
        dialog->setOverlayFactory([this](const CFlashDlg::OverlayRequest &request) {
            Handed handed{{}, request.location, request.intervalMs, request.displayMs, request.screens};
            for (int slot = 0; slot < kFlashSlots && !request.texts[slot].isEmpty(); ++slot)
                handed.texts << request.texts[slot];
            overlays << handed;
            return std::make_unique<CDrawDlg>(request.texts, request.location, request.intervalMs, request.displayMs,
                                              request.font, request.textColor);
        });
    }

    bool showActive() const
    {
        dialog->show();
        return QTest::qWaitForWindowActive(dialog.get());
    }

    template <typename T> T *child(const char *name) const { return namedChild<T>(dialog.get(), name); }
    CMyTreeCtrl *tree() const { return child<CMyTreeCtrl>("tree"); }
    QPushButton *start() const { return child<QPushButton>("start"); }
    QComboBox *every() const { return child<QComboBox>("displayEvery"); }
    QComboBox *forList() const { return child<QComboBox>("displayFor"); }
    QComboBox *screens() const { return child<QComboBox>("screen"); }
    QRadioButton *location(int id) const { return child<QRadioButton>(qPrintable(QStringLiteral("location%1").arg(id))); }

    QTemporaryDir dir;
    std::unique_ptr<CFlashDlg> dialog;
    QList<Handed> overlays;
};
