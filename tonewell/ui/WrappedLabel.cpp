#include "WrappedLabel.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QTextLayout>

namespace {

QTextOption wrapAnywhere()
{
    QTextOption option(Qt::AlignLeft);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
}

} // namespace

CWrappedLabel::CWrappedLabel(int lines, QWidget *parent)
    : QLabel(parent)
    , m_lines(std::max(1, lines))
{
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

int CWrappedLabel::linesNeeded(int width) const
{
    QTextLayout layout(text(), font());
    layout.setTextOption(wrapAnywhere());
    layout.beginLayout();
    int count = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(1, width));
        ++count;
    }
    layout.endLayout();
    return count;
}

QSize CWrappedLabel::sizeHint() const
{
    const QMargins margins = contentsMargins();
    return QSize(fontMetrics().averageCharWidth() * 10 + margins.left() + margins.right(),
                 m_lines * fontMetrics().lineSpacing() + margins.top() + margins.bottom());
}

QSize CWrappedLabel::minimumSizeHint() const
{
    return sizeHint();
}

int CWrappedLabel::heightForWidth(int width) const
{
    const QMargins margins = contentsMargins();
    return linesNeeded(width - margins.left() - margins.right()) * fontMetrics().lineSpacing() + margins.top()
        + margins.bottom();
}

void CWrappedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    drawFrame(&painter);
    painter.setPen(palette().color(foregroundRole()));
    const QRect area = contentsRect();
    const QFontMetrics metrics = fontMetrics();
    const QString shown = text();
    QTextLayout layout(shown, font());
    layout.setTextOption(wrapAnywhere());
    layout.beginLayout();
    int whole = 0;      // lines drawn as laid out
    int elidedFrom = -1; // where the last line starts when the text goes on past it
    for (int y = 0; whole < m_lines; y += metrics.lineSpacing()) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(area.width());
        line.setPosition(QPointF(0, y));
        if (whole == m_lines - 1 && line.textStart() + line.textLength() < shown.size()) {
            elidedFrom = line.textStart();
            break;
        }
        ++whole;
    }
    layout.endLayout();
    for (int i = 0; i < whole; ++i)
        layout.lineAt(i).draw(&painter, area.topLeft());
    if (elidedFrom >= 0) {
        // The last line holds what is left, cut with an ellipsis.
        const QString rest = metrics.elidedText(shown.mid(elidedFrom), Qt::ElideRight, area.width());
        painter.drawText(QPoint(area.left(), area.top() + whole * metrics.lineSpacing() + metrics.ascent()), rest);
    }
}
