#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QString>

#include <array>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;

namespace glintmark {

// The font chooser: family, style, size, underline, strike-out and the text colour, with a
// sample, in the program's light-blue look. In a namespace of its own, because Xlib, which the
// overlay includes, names a type Font too. Sizes are points at 96 dots per inch, the density
// of the stored pixel heights. What the user leaves alone is handed back as it came, so an
// unchanged font is stored unchanged; only a choice the user makes (a click, a key that moves
// a list's selection, typing) changes a value, never the focus moving.
class Font : public QDialog
{
    Q_OBJECT

public:
    struct NamedColor
    {
        const char *name;
        QRgb rgb;
    };
    // The sixteen basic colours of the colour list; a custom colour follows them.
    static constexpr std::array<NamedColor, 16> kBasicColors{{
        {"Black", 0xFF000000}, {"Maroon", 0xFF800000}, {"Green", 0xFF008000}, {"Olive", 0xFF808000},
        {"Navy", 0xFF000080}, {"Purple", 0xFF800080}, {"Teal", 0xFF008080}, {"Gray", 0xFF808080},
        {"Silver", 0xFFC0C0C0}, {"Red", 0xFFFF0000}, {"Lime", 0xFF00FF00}, {"Yellow", 0xFFFFFF00},
        {"Blue", 0xFF0000FF}, {"Fuchsia", 0xFFFF00FF}, {"Aqua", 0xFF00FFFF}, {"White", 0xFFFFFFFF},
    }};
    static constexpr char kTitle[] = "Font";
    static constexpr char kCustomColorText[] = "Custom...";
    static constexpr char kSampleText[] = "AaBbYyZz";
    static constexpr int kCustomColorIndex = int(kBasicColors.size());

    Font(const QFont &initial, const QColor &color, QWidget *parent = nullptr);

    // The chosen font and colour; read them after exec() returned QDialog::Accepted.
    QFont selectedFont() const;
    QColor color() const { return m_color; }

private:
    void OnFamilyTyped(const QString &text);
    void OnSelchangeFamily();
    void OnSelchangeStyle();
    void OnSelchangeSize();
    void OnSizeTyped(const QString &text);
    void OnSelchangeColor(int index);
    void FillStyles();
    void UpdateSample();
    void setCustomColor(const QColor &color);
    QListWidgetItem *familyItem() const;
    QString styleFamily() const;

    QFont m_initial;
    QString m_strFamily;
    QString m_strStyle;
    QString m_strInitialStyle;
    int m_nInitialPixels = 0;
    int m_nPixels = 0;
    QColor m_color;
    int m_nColorIndex = 0;
    bool m_bTypingFamily = false;

    QLineEdit *m_editFamily = nullptr;
    QListWidget *m_listFamily = nullptr;
    QLineEdit *m_editStyle = nullptr;
    QListWidget *m_listStyle = nullptr;
    QLineEdit *m_editSize = nullptr;
    QListWidget *m_listSize = nullptr;
    QCheckBox *m_checkStrikeOut = nullptr;
    QCheckBox *m_checkUnderline = nullptr;
    QComboBox *m_comboColor = nullptr;
    QLabel *m_staticSample = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
};

} // namespace glintmark
