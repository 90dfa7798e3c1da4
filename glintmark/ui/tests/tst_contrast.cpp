// Contrast of Glintmark's dialogs measured on their rendered pixels, under a light and a dark
// desktop palette: every text against what it is drawn on, enabled and greyed, and the mark of
// the keyboard focus on every control against what was there before.

#include "CAddCatDlg.h"
#include "CListEditDlg.h"
#include "CPictureButton.h"
#include "ContrastMeasure.h"
#include "DialogLook.h"
#include "FlashNotice.h"
#include "Font.h"
#include "GlintmarkWindow.h"
#include "LibraryTables.h"
#include "MessageBoxRecorder.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSettings>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionComboBox>
#include <QStyleOptionGroupBox>
#include <QTest>

#include <functional>
#include <memory>

namespace {

// The dark palette that Fusion users and qt6ct's "darker" scheme give: light texts on dark grey.
QPalette darkPalette()
{
    QPalette dark;
    const auto set = [&dark](QPalette::ColorRole role, QRgb enabled, QRgb disabled) {
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
            dark.setColor(group, role, QColor::fromRgb(enabled));
        dark.setColor(QPalette::Disabled, role, QColor::fromRgb(disabled));
    };
    set(QPalette::Window, 0xFF353535, 0xFF353535);
    set(QPalette::WindowText, 0xFFFFFFFF, 0xFF7F7F7F);
    set(QPalette::Base, 0xFF2A2A2A, 0xFF2A2A2A);
    set(QPalette::AlternateBase, 0xFF424242, 0xFF424242);
    set(QPalette::Text, 0xFFFFFFFF, 0xFF7F7F7F);
    set(QPalette::PlaceholderText, 0xFFA0A0A0, 0xFF7F7F7F);
    set(QPalette::Button, 0xFF353535, 0xFF353535);
    set(QPalette::ButtonText, 0xFFFFFFFF, 0xFF7F7F7F);
    set(QPalette::Highlight, 0xFF2A82DA, 0xFF505050);
    set(QPalette::HighlightedText, 0xFFFFFFFF, 0xFF7F7F7F);
    set(QPalette::ToolTipBase, 0xFF353535, 0xFF353535);
    set(QPalette::ToolTipText, 0xFFFFFFFF, 0xFF7F7F7F);
    set(QPalette::Light, 0xFF505050, 0xFF505050);
    set(QPalette::Midlight, 0xFF424242, 0xFF424242);
    set(QPalette::Mid, 0xFF2A2A2A, 0xFF2A2A2A);
    set(QPalette::Dark, 0xFF232323, 0xFF232323);
    set(QPalette::Shadow, 0xFF141414, 0xFF141414);
    set(QPalette::Link, 0xFF2A82DA, 0xFF7F7F7F);
    set(QPalette::BrightText, 0xFFFF0000, 0xFFFF0000);
    return dark;
}

QPalette lightPalette()
{
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    return fusion->standardPalette();
}

// Where a control draws its text, in its own coordinates; several for an item view.
QList<std::pair<QString, QRect>> textAreas(QWidget *widget)
{
    QStyle *style = widget->style();
    QList<std::pair<QString, QRect>> areas;
    const auto add = [&areas](const QString &what, const QRect &rect) {
        if (rect.isValid())
            areas.append({what, rect});
    };
    if (auto *picture = qobject_cast<CPictureButton *>(widget)) {
        add(picture->text(), picture->rect().adjusted(6, 6, -6, -6));
    } else if (auto *label = qobject_cast<QLabel *>(widget)) {
        if (!label->text().isEmpty())
            add(label->text(), label->contentsRect());
    } else if (auto *box = qobject_cast<QGroupBox *>(widget)) {
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.lineWidth = 1;
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        option.textAlignment = box->alignment();
        if (!box->title().trimmed().isEmpty())
            add(box->title().trimmed(), style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box));
    } else if (auto *radio = qobject_cast<QRadioButton *>(widget)) {
        QStyleOptionButton option;
        option.initFrom(radio);
        option.text = radio->text();
        add(radio->text(), style->subElementRect(QStyle::SE_RadioButtonContents, &option, radio));
    } else if (auto *check = qobject_cast<QCheckBox *>(widget)) {
        QStyleOptionButton option;
        option.initFrom(check);
        option.text = check->text();
        add(check->text(), style->subElementRect(QStyle::SE_CheckBoxContents, &option, check));
    } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
        add(button->text(), button->rect().adjusted(5, 5, -5, -5));
    } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.currentText = combo->currentText();
        add(combo->currentText(), style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo));
    } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
        if (!edit->text().isEmpty())
            add(edit->text(), edit->rect().adjusted(4, 4, -4, -4));
    } else if (auto *view = qobject_cast<QAbstractItemView *>(widget)) {
        const QPoint offset = view->viewport()->mapTo(view, QPoint(0, 0));
        auto *tree = qobject_cast<CMyTreeCtrl *>(view);
        QModelIndex index = view->model()->index(0, 0);
        for (int shown = 0; index.isValid() && shown < 40; ++shown) {
            QRect rect = view->visualRect(index);
            if (!rect.intersects(view->viewport()->rect()))
                break;
            if (tree)
                rect.setLeft(tree->checkBoxRect(tree->itemFromIndex(index)).right() + 3);
            const bool selected = view->selectionModel()->isSelected(index);
            if (shown < 3 || selected)
                add(index.data().toString() + (selected ? QStringLiteral(" (selected)") : QString()),
                    rect.adjusted(1, 1, -1, -1).translated(offset) & view->viewport()->geometry());
            index = tree ? tree->indexBelow(index) : index.sibling(index.row() + 1, 0);
        }
    }
    return areas;
}

// A window under test: what to show, and how to put it in the state to measure.
struct Subject
{
    std::unique_ptr<QWidget> owner;
    QWidget *window = nullptr;
};

enum class Kind { MainWindow, MainWindowFlashing, Editor, Prompt, FontChooser };

Subject makeSubject(Kind kind, std::unique_ptr<GlintmarkWindow> &mainWindow)
{
    Subject subject;
    switch (kind) {
    case Kind::MainWindow:
    case Kind::MainWindowFlashing:
        mainWindow = std::make_unique<GlintmarkWindow>();
        mainWindow->tree()->topLevelItem(0)->setExpanded(true);
        subject.window = mainWindow->dialog.get();
        break;
    case Kind::Editor: {
        auto editor = std::make_unique<CListEditDlg>(tableOf({category("Health", 3), category("Work", 2)}));
        editor->findChild<QListWidget *>("categories")->setCurrentRow(0);
        subject.window = editor.get();
        subject.owner = std::move(editor);
        break;
    }
    case Kind::Prompt: {
        auto prompt = std::make_unique<CAddCatDlg>(QStringLiteral("Adding to 'Health'"), QStringLiteral("Your affirmation:"));
        prompt->findChild<QLineEdit *>("text")->setText(QStringLiteral("I am calm"));
        subject.window = prompt.get();
        subject.owner = std::move(prompt);
        break;
    }
    case Kind::FontChooser: {
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(14);
        font.setBold(true);
        auto chooser = std::make_unique<glintmark::Font>(font, Qt::black);
        subject.window = chooser.get();
        subject.owner = std::move(chooser);
        break;
    }
    }
    return subject;
}

QPoint offsetIn(const QWidget *widget, const QWidget *window)
{
    return widget->mapTo(window, QPoint(0, 0));
}

} // namespace

Q_DECLARE_METATYPE(Kind)

class ContrastTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
        QApplication::setApplicationName(QStringLiteral("Glintmark"));
        QSettings().setValue(kShortDisplayNoticeSetting, true);
        m_appPalette = QApplication::palette();
    }
    void init() { m_messages.emplace(); }
    void cleanup()
    {
        m_messages.reset();
        QApplication::setPalette(m_appPalette);
    }

    void texts_data()
    {
        QTest::addColumn<QPalette>("desktop");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("disabled");
        const std::pair<const char *, QPalette> palettes[] = {{"light", lightPalette()}, {"dark", darkPalette()}};
        const std::pair<const char *, Kind> kinds[] = {{"main window", Kind::MainWindow},
                                                       {"main window flashing", Kind::MainWindowFlashing},
                                                       {"editor", Kind::Editor},
                                                       {"prompt", Kind::Prompt},
                                                       {"font chooser", Kind::FontChooser}};
        for (const auto &[paletteName, palette] : palettes) {
            for (const auto &[kindName, kind] : kinds) {
                QTest::addRow("%s, %s", paletteName, kindName) << palette << kind << false;
                if (kind == Kind::Editor || kind == Kind::Prompt || kind == Kind::FontChooser)
                    QTest::addRow("%s, %s disabled", paletteName, kindName) << palette << kind << true;
            }
        }
    }

    // Every text reaches 4.5:1 against what it is drawn on, and a greyed one 3:1.
    void texts()
    {
        QFETCH(QPalette, desktop);
        QFETCH(Kind, kind);
        QFETCH(bool, disabled);
        QApplication::setPalette(desktop);
        std::unique_ptr<GlintmarkWindow> mainWindow;
        Subject subject = makeSubject(kind, mainWindow);
        QWidget *window = subject.window;
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        if (kind == Kind::MainWindowFlashing) {
            CMyTreeCtrl::SetCheck(mainWindow->tree()->topLevelItem(0)->child(0), true);
            mainWindow->dialog->OnStart();
            QVERIFY(mainWindow->dialog->isFlashing());
            QVERIFY(!mainWindow->tree()->isEnabled());
        }
        if (disabled)
            window->setEnabled(false);
        const QImage shown = window->grab().toImage();

        int measured = 0;
        double lowestEnabled = 21.0;
        double lowestGreyed = 21.0;
        for (QWidget *widget : window->findChildren<QWidget *>()) {
            // The font chooser's sample shows the flash colour the user picks, on purpose.
            if (!widget->isVisibleTo(window) || widget->objectName() == QLatin1String("sample"))
                continue;
            for (const auto &[what, area] : textAreas(widget)) {
                const TextContrast contrast = measureText(shown, area.translated(offsetIn(widget, window)));
                const bool greyed = !widget->isEnabled();
                const double needed = greyed ? 3.0 : 4.5;
                qInfo("%-28s %-18s %-34s %5.2f:1 (%s on %s)", QTest::currentDataTag(),
                      widget->metaObject()->className(), qPrintable(what.left(34)), contrast.ratio,
                      qPrintable(contrast.text.name()), qPrintable(contrast.background.name()));
                QVERIFY2(contrast.inkPixels > 0, qPrintable(QStringLiteral("no text seen: ") + what));
                QVERIFY2(contrast.ratio >= needed,
                         qPrintable(QStringLiteral("%1 \"%2\": %3:1").arg(widget->metaObject()->className(), what).arg(contrast.ratio)));
                (greyed ? lowestGreyed : lowestEnabled) = std::min(greyed ? lowestGreyed : lowestEnabled, contrast.ratio);
                ++measured;
            }
        }
        QVERIFY(measured >= 5);
        qInfo("%s: %d texts, lowest %.2f:1 enabled, %.2f:1 greyed", QTest::currentDataTag(), measured, lowestEnabled,
              lowestGreyed);
    }

    void focusMarks_data()
    {
        QTest::addColumn<QPalette>("desktop");
        QTest::addColumn<Kind>("kind");
        const std::pair<const char *, QPalette> palettes[] = {{"light", lightPalette()}, {"dark", darkPalette()}};
        const std::pair<const char *, Kind> kinds[] = {{"main window", Kind::MainWindow},
                                                       {"editor", Kind::Editor},
                                                       {"prompt", Kind::Prompt},
                                                       {"font chooser", Kind::FontChooser}};
        for (const auto &[paletteName, palette] : palettes)
            for (const auto &[kindName, kind] : kinds)
                QTest::addRow("%s, %s", paletteName, kindName) << palette << kind;
    }

    // Tab reaches every control, and each one, focused, shows a mark of at least 3:1 against
    // what was there before, along at least half its outline; a picture button's ring stands
    // out as much from its face.
    void focusMarks()
    {
        QFETCH(QPalette, desktop);
        QFETCH(Kind, kind);
        QApplication::setPalette(desktop);
        std::unique_ptr<GlintmarkWindow> mainWindow;
        Subject subject = makeSubject(kind, mainWindow);
        QWidget *window = subject.window;
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window));
        const QImage unfocused = window->grab().toImage();

        QList<QWidget *> visited;
        for (int step = 0; step < 60; ++step) {
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window, Qt::Key_Tab);
            QWidget *focused = QApplication::focusWidget();
            QVERIFY(focused);
            if (visited.contains(focused))
                break;
            visited << focused;
            const QImage shown = window->grab().toImage();
            const QRect place(offsetIn(focused, window), focused->size());
            const int changed = pixelsChangedBy(unfocused, shown, place.adjusted(-4, -4, 4, 4), 3.0);
            const int outline = place.width() + place.height();
            double ringRatio = 0;
            if (qobject_cast<CPictureButton *>(focused)) {
                const QPoint onRing = place.topLeft() + QPoint(place.width() / 2, CPictureButton::kFocusRingInset);
                ringRatio = contrastRatio(shown.pixelColor(onRing), unfocused.pixelColor(onRing));
            }
            qInfo("%-24s %-16s %-26s %5d pixels changed by 3:1 or more (outline %d)%s", QTest::currentDataTag(),
                  focused->metaObject()->className(), qPrintable(focused->accessibleName().left(26)), changed, outline,
                  ringRatio > 0 ? qPrintable(QStringLiteral(", ring on face %1:1").arg(ringRatio, 0, 'f', 2)) : "");
            QVERIFY2(changed >= outline, qPrintable(focused->accessibleName()));
            if (ringRatio > 0)
                QVERIFY2(ringRatio >= 3.0, qPrintable(focused->accessibleName()));
        }
        int focusable = 0;
        for (QWidget *widget : window->findChildren<QWidget *>()) {
            if (widget->isVisibleTo(window) && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus)
                && !widget->focusProxy())
                ++focusable;
        }
        QCOMPARE(visited.size(), focusable);
    }

private:
    QTemporaryDir m_settingsDir;
    QPalette m_appPalette;
    std::optional<MessageBoxRecorder> m_messages;
};

QTEST_MAIN(ContrastTest)
#include "tst_contrast.moc"
