#pragma once

#include <QLabel>

// A label of a fixed number of lines that wraps its text anywhere, inside long words too, within
// the width its layout gives it, and elides what does not fit in its lines. It never asks for a
// width of its own, so no text widens the window. Its text is what a screen reader reads; give
// it only the start of a huge text (entryText()).
class CWrappedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit CWrappedLabel(int lines, QWidget *parent = nullptr);

    int lines() const { return m_lines; }
    // The lines the whole text takes at `width` pixels of text, however many are shown.
    int linesNeeded(int width) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return false; }
    // The height the whole text takes at `width`, for a check that it is all seen.
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_lines;
};
