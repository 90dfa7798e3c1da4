#include "Font.h"

#include "AssistiveChoice.h"
#include "DialogLook.h"
#include "FontSize.h"
#include "WindowFrame.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <cmath>
#include <cstdlib>

namespace {

constexpr int kStandardSizes[] = {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};

QIcon swatch(const QColor &color)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    return QIcon(pixmap);
}

// The one item of a single-selection list the user has chosen. The current item alone is no
// choice: a list makes its first item current when it merely gets the focus.
QListWidgetItem *chosenItem(const QListWidget *list)
{
    const QList<QListWidgetItem *> selected = list->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

QListWidgetItem *findItem(const QListWidget *list, const QString &text, Qt::MatchFlags flags)
{
    const QList<QListWidgetItem *> found = list->findItems(text, flags);
    return found.isEmpty() ? nullptr : found.first();
}

void selectItem(QListWidget *list, QListWidgetItem *item)
{
    const QSignalBlocker blocker(list);
    list->setCurrentItem(item);
    if (item)
        list->scrollToItem(item);
    else
        list->clearSelection();
}

QListWidget *newList(const QString &accessibleName, const char *objectName, QWidget *parent)
{
    auto *list = new QListWidget(parent);
    list->setObjectName(QLatin1String(objectName));
    list->setAccessibleName(accessibleName);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

QLineEdit *newEdit(const QString &accessibleName, const char *objectName, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(objectName));
    edit->setAccessibleName(accessibleName);
    return edit;
}

} // namespace

namespace glintmark {

Font::Font(const QFont &initial, const QColor &color, QWidget *parent)
    : QDialog(parent)
    , m_initial(initial)
    , m_strFamily(initial.family())
    , m_color(color.toRgb())
{
    setObjectName(QLatin1String(kTitle));
    setWindowTitle(QLatin1String(kTitle));
    setAccessibleName(QLatin1String(kTitle));
    DialogLook::apply(this);

    m_editFamily = newEdit(QStringLiteral("Font"), "family", this);
    m_listFamily = newList(QStringLiteral("Fonts"), "familyList", this);
    m_editStyle = newEdit(QStringLiteral("Font style"), "style", this);
    m_editStyle->setReadOnly(true);
    m_listStyle = newList(QStringLiteral("Font styles"), "styleList", this);
    m_editSize = newEdit(QStringLiteral("Size"), "size", this);
    auto *sizeValidator = new QDoubleValidator(FontSize::kMinPoints, FontSize::kMaxPoints, 2, m_editSize);
    sizeValidator->setNotation(QDoubleValidator::StandardNotation);
    sizeValidator->setLocale(FontSize::locale());
    m_editSize->setValidator(sizeValidator);
    m_listSize = newList(QStringLiteral("Sizes"), "sizeList", this);

    auto *familyLabel = new QLabel(QStringLiteral("&Font:"), this);
    familyLabel->setBuddy(m_editFamily);
    auto *styleLabel = new QLabel(QStringLiteral("Font st&yle:"), this);
    styleLabel->setBuddy(m_listStyle);
    auto *sizeLabel = new QLabel(QStringLiteral("&Size:"), this);
    sizeLabel->setBuddy(m_editSize);

    auto *effects = new QGroupBox(QStringLiteral("Effects"), this);
    effects->setAccessibleName(effects->title());
    m_checkStrikeOut = new QCheckBox(QStringLiteral("Stri&keout"), effects);
    m_checkStrikeOut->setObjectName(QStringLiteral("strikeOut"));
    m_checkStrikeOut->setAccessibleName(QStringLiteral("Strikeout"));
    m_checkUnderline = new QCheckBox(QStringLiteral("&Underline"), effects);
    m_checkUnderline->setObjectName(QStringLiteral("underline"));
    m_checkUnderline->setAccessibleName(QStringLiteral("Underline"));
    m_comboColor = new QComboBox(effects);
    m_comboColor->setObjectName(QStringLiteral("color"));
    m_comboColor->setAccessibleName(QStringLiteral("Color"));
    followAssistiveChoice(m_comboColor);
    auto *colorLabel = new QLabel(QStringLiteral("&Color:"), effects);
    colorLabel->setBuddy(m_comboColor);
    auto *effectsLayout = new QVBoxLayout(effects);
    effectsLayout->addWidget(m_checkStrikeOut);
    effectsLayout->addWidget(m_checkUnderline);
    effectsLayout->addWidget(colorLabel);
    effectsLayout->addWidget(m_comboColor);
    effectsLayout->addStretch(1);

    auto *sample = new QGroupBox(QStringLiteral("Sample"), this);
    sample->setAccessibleName(sample->title());
    m_staticSample = new QLabel(QLatin1String(kSampleText), sample);
    m_staticSample->setObjectName(QStringLiteral("sample"));
    m_staticSample->setAlignment(Qt::AlignCenter);
    m_staticSample->setFixedHeight(72);
    m_staticSample->setMinimumWidth(200);
    m_staticSample->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    auto *sampleLayout = new QVBoxLayout(sample);
    sampleLayout->addWidget(m_staticSample);
    sampleLayout->addStretch(1);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttons->setObjectName(QStringLiteral("buttons"));
    m_buttons->button(QDialogButtonBox::Ok)->setAccessibleName(QStringLiteral("OK"));
    m_buttons->button(QDialogButtonBox::Cancel)->setAccessibleName(QStringLiteral("Cancel"));

    auto *grid = new QGridLayout;
    grid->addWidget(familyLabel, 0, 0);
    grid->addWidget(styleLabel, 0, 1);
    grid->addWidget(sizeLabel, 0, 2);
    grid->addWidget(m_editFamily, 1, 0);
    grid->addWidget(m_editStyle, 1, 1);
    grid->addWidget(m_editSize, 1, 2);
    grid->addWidget(m_listFamily, 2, 0);
    grid->addWidget(m_listStyle, 2, 1);
    grid->addWidget(m_listSize, 2, 2);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 2);
    grid->setColumnStretch(2, 1);
    auto *lower = new QHBoxLayout;
    lower->addWidget(effects, 2);
    lower->addWidget(sample, 3);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(lower);
    layout->addWidget(m_buttons);

    // Families: every one the system offers. The initial one may be a name that only stands for
    // another (Arial for Liberation Sans); it is kept as it is until the user picks another.
    QStringList families;
    for (const QString &family : QFontDatabase::families()) {
        if (!QFontDatabase::isPrivateFamily(family))
            families << family;
    }
    m_listFamily->addItems(families);
    m_editFamily->setText(m_strFamily);
    selectItem(m_listFamily, familyItem());

    m_strInitialStyle = QFontDatabase::styleString(m_initial);
    m_strStyle = m_strInitialStyle;
    FillStyles();

    for (const int size : kStandardSizes)
        m_listSize->addItem(QString::number(size));
    if (m_initial.pixelSize() > 0)
        m_nInitialPixels = m_initial.pixelSize();
    else if (m_initial.pointSizeF() > 0)
        m_nInitialPixels = FontSize::pixelsOfPoints(m_initial.pointSizeF());
    m_nPixels = m_nInitialPixels;
    m_editSize->setText(FontSize::textOfPixels(m_nInitialPixels));
    selectItem(m_listSize, findItem(m_listSize, m_editSize->text(), Qt::MatchExactly));

    m_checkStrikeOut->setChecked(m_initial.strikeOut());
    m_checkUnderline->setChecked(m_initial.underline());

    for (const NamedColor &named : kBasicColors) {
        const QColor basic = QColor::fromRgb(named.rgb);
        m_comboColor->addItem(swatch(basic), QLatin1String(named.name), basic);
    }
    m_comboColor->addItem(QLatin1String(kCustomColorText));
    m_nColorIndex = m_comboColor->findData(m_color);
    if (m_nColorIndex < 0) {
        setCustomColor(m_color);
        m_nColorIndex = kCustomColorIndex;
    }
    m_comboColor->setCurrentIndex(m_nColorIndex);

    connect(m_editFamily, &QLineEdit::textEdited, this, &Font::OnFamilyTyped);
    connect(m_listFamily, &QListWidget::itemSelectionChanged, this, &Font::OnSelchangeFamily);
    connect(m_listStyle, &QListWidget::itemSelectionChanged, this, &Font::OnSelchangeStyle);
    connect(m_listSize, &QListWidget::itemSelectionChanged, this, &Font::OnSelchangeSize);
    connect(m_editSize, &QLineEdit::textEdited, this, &Font::OnSizeTyped);
    connect(m_checkStrikeOut, &QCheckBox::toggled, this, &Font::UpdateSample);
    connect(m_checkUnderline, &QCheckBox::toggled, this, &Font::UpdateSample);
    connect(m_comboColor, &QComboBox::activated, this, &Font::OnSelchangeColor);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    UpdateSample();
    resize(sizeHint().expandedTo(QSize(560, 440)));
    WindowFrame::keepOffTaskBar(this);
}

QListWidgetItem *Font::familyItem() const
{
    QListWidgetItem *family = findItem(m_listFamily, m_strFamily, Qt::MatchFixedString);
    return family ? family : findItem(m_listFamily, QFontInfo(m_initial).family(), Qt::MatchFixedString);
}

QString Font::styleFamily() const
{
    const QListWidgetItem *item = chosenItem(m_listFamily);
    return item ? item->text() : QFontInfo(m_initial).family();
}

void Font::FillStyles()
{
    const QSignalBlocker blocker(m_listStyle);
    m_listStyle->clear();
    m_listStyle->addItems(QFontDatabase::styles(styleFamily()));
    QListWidgetItem *style = findItem(m_listStyle, m_strStyle, Qt::MatchFixedString);
    if (!style && m_listStyle->count() > 0) {
        // A style the new family does not have: the nearest by weight and slant.
        const QFont wanted = selectedFont();
        int best = -1;
        for (int i = 0; i < m_listStyle->count(); ++i) {
            const QString name = m_listStyle->item(i)->text();
            const int distance = std::abs(QFontDatabase::weight(styleFamily(), name) - wanted.weight())
                + (QFontDatabase::italic(styleFamily(), name) != wanted.italic() ? 1000 : 0);
            if (best < 0 || distance < best) {
                best = distance;
                style = m_listStyle->item(i);
            }
        }
        m_strStyle = style->text();
    }
    selectItem(m_listStyle, style);
    m_editStyle->setText(m_strStyle);
}

void Font::OnFamilyTyped(const QString &text)
{
    // Typing looks the family up in the list; the list's choice is the one that counts.
    QListWidgetItem *item = findItem(m_listFamily, text, Qt::MatchStartsWith);
    if (item && item != chosenItem(m_listFamily)) {
        m_bTypingFamily = true;
        m_listFamily->setCurrentItem(item);
        m_listFamily->scrollToItem(item);
        m_bTypingFamily = false;
    }
}

void Font::OnSelchangeFamily()
{
    const QListWidgetItem *item = chosenItem(m_listFamily);
    if (!item) {
        // A click below the items or Ctrl with a click takes the selection away, not the choice.
        selectItem(m_listFamily, familyItem());
        return;
    }
    m_strFamily = item->text();
    // What the user is typing stays as typed.
    if (!m_bTypingFamily)
        m_editFamily->setText(m_strFamily);
    FillStyles();
    UpdateSample();
}

void Font::OnSelchangeStyle()
{
    const QListWidgetItem *item = chosenItem(m_listStyle);
    if (!item) {
        selectItem(m_listStyle, findItem(m_listStyle, m_strStyle, Qt::MatchFixedString));
        return;
    }
    m_strStyle = item->text();
    m_editStyle->setText(m_strStyle);
    UpdateSample();
}

void Font::OnSelchangeSize()
{
    const QListWidgetItem *item = chosenItem(m_listSize);
    if (!item) {
        selectItem(m_listSize, findItem(m_listSize, m_editSize->text(), Qt::MatchExactly));
        return;
    }
    m_editSize->setText(item->text());
    m_nPixels = FontSize::pixelsOfText(item->text());
    UpdateSample();
}

void Font::OnSizeTyped(const QString &text)
{
    selectItem(m_listSize, findItem(m_listSize, text, Qt::MatchExactly));
    // While the text is no size yet (empty, 0, a lone decimal point), the last size stands.
    if (m_editSize->hasAcceptableInput()) {
        m_nPixels = FontSize::pixelsOfText(text);
        UpdateSample();
    }
}

void Font::setCustomColor(const QColor &color)
{
    m_comboColor->setItemIcon(kCustomColorIndex, swatch(color));
    m_comboColor->setItemData(kCustomColorIndex, color);
}

void Font::OnSelchangeColor(int index)
{
    if (index == kCustomColorIndex) {
        const QColor chosen = QColorDialog::getColor(m_color, this, QStringLiteral("Custom color"));
        if (!chosen.isValid()) {
            m_comboColor->setCurrentIndex(m_nColorIndex);
            return;
        }
        setCustomColor(chosen.toRgb());
    }
    m_nColorIndex = index;
    m_color = m_comboColor->itemData(index).value<QColor>();
    UpdateSample();
}

QFont Font::selectedFont() const
{
    QFont font = m_initial;
    font.setFamily(m_strFamily);
    if (m_strStyle.compare(m_strInitialStyle, Qt::CaseInsensitive) != 0) {
        const int weight = QFontDatabase::weight(styleFamily(), m_strStyle);
        if (weight > 0)
            font.setWeight(QFont::Weight(weight));
        font.setItalic(QFontDatabase::italic(styleFamily(), m_strStyle));
    }
    if (m_nPixels > 0 && m_nPixels != m_nInitialPixels)
        font.setPixelSize(m_nPixels);
    font.setUnderline(m_checkUnderline->isChecked());
    font.setStrikeOut(m_checkStrikeOut->isChecked());
    return font;
}

void Font::UpdateSample()
{
    m_staticSample->setFont(selectedFont());
    QPalette palette = m_staticSample->palette();
    palette.setColor(QPalette::WindowText, m_color);
    m_staticSample->setPalette(palette);
}

} // namespace glintmark
