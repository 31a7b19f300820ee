#include "ui/DictionaryRowPainter.h"

#include "ui/design/CardRows.h"
#include "ui/design/DesignTokens.h"
#include "ui/design/Symbols.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include <cmath>

namespace sayloom {

namespace {

constexpr QStringView arrow = u" \u2192 ";
constexpr int symbolSize = 14;
constexpr int symbolGap = Spacing::xs + 2;
constexpr int tagPadding = Spacing::s;

// Whole pixels, so rows stack without seams.
int wrap(QTextLayout& layout, int width)
{
    return int(std::ceil(CardRows::wrap(layout, width)));
}

} // namespace

DictionaryRowPainter::DictionaryRowPainter()
    : m_body(DesignTokens::font(TextStyle::body))
    , m_caption(DesignTokens::font(TextStyle::caption))
{
}

QString DictionaryRowPainter::mainText(const DictionaryEntry& entry)
{
    return entry.heardAs ? *entry.heardAs + arrow + entry.phrase : entry.phrase;
}

QString DictionaryRowPainter::tagTitle(DictionaryEntry::Kind kind)
{
    return kind == DictionaryEntry::Kind::word ? QStringLiteral("Word") : QStringLiteral("Correction");
}

QSize DictionaryRowPainter::tagSize(DictionaryEntry::Kind kind) const
{
    const QFontMetrics metrics(m_caption);
    return QSize(metrics.horizontalAdvance(tagTitle(kind)) + 2 * tagPadding, metrics.height() + 4);
}

int DictionaryRowPainter::mainWidth(const DictionaryEntry& entry, int width) const
{
    return std::max(40, width - tagSize(entry.kind()).width() - Spacing::m);
}

int DictionaryRowPainter::warningTextWidth(int width) const
{
    return std::max(40, width - symbolSize - symbolGap);
}

int DictionaryRowPainter::heightForWidth(const DictionaryEntry& entry, const QStringList& warnings, int width) const
{
    QTextLayout main(mainText(entry), m_body);
    int height = std::max(
            {wrap(main, mainWidth(entry, width)), QFontMetrics(m_body).height(), tagSize(entry.kind()).height()});
    for (const QString& warning : warnings) {
        QTextLayout layout(warning, m_caption);
        height += Spacing::xs + std::max(wrap(layout, warningTextWidth(width)), QFontMetrics(m_caption).height());
    }
    return height;
}

void DictionaryRowPainter::paint(QPainter& painter, const QRect& rect, const DictionaryEntry& entry,
                                 const QStringList& warnings, const QPalette& palette) const
{
    const DesignTokens tokens = DesignTokens::fromPalette(palette);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    // The entry, with the arrow of a correction one step back in the secondary colour.
    const QString text = mainText(entry);
    QTextLayout main(text, m_body);
    QList<QTextLayout::FormatRange> formats;
    if (entry.heardAs) {
        QTextCharFormat secondary;
        secondary.setForeground(tokens.secondaryText);
        formats.append({int(entry.heardAs->size()), int(arrow.size()), secondary});
    }
    main.setFormats(formats);
    const int mainHeight = std::max(wrap(main, mainWidth(entry, rect.width())), QFontMetrics(m_body).height());
    painter.setPen(tokens.text);
    main.draw(&painter, rect.topLeft());

    // The kind, as a small tag in the top right corner, centred on the first line.
    const QSize tag = tagSize(entry.kind());
    const int firstLine = QFontMetrics(m_body).height();
    const QRect tagRect(rect.right() + 1 - tag.width(), rect.top() + std::max(0, (firstLine - tag.height()) / 2),
                        tag.width(), tag.height());
    QColor ground = tokens.text;
    ground.setAlphaF(0.08f);
    QPainterPath pill;
    pill.addRoundedRect(QRectF(tagRect), tag.height() / 2.0, tag.height() / 2.0);
    painter.fillPath(pill, ground);
    painter.setFont(m_caption);
    painter.setPen(tokens.secondaryText);
    painter.drawText(tagRect, Qt::AlignCenter, tagTitle(entry.kind()));

    // The warnings, as the warning label draws them.
    int y = rect.top() + std::max(mainHeight, tag.height());
    const QIcon symbol = Symbols::icon(QStringLiteral("dialog-warning"), tokens.secondaryText);
    const int captionHeight = QFontMetrics(m_caption).height();
    for (const QString& warning : warnings) {
        y += Spacing::xs;
        symbol.paint(&painter, QRect(rect.left(), y + (captionHeight - symbolSize) / 2, symbolSize, symbolSize));
        QTextLayout layout(warning, m_caption);
        const int height = std::max(wrap(layout, warningTextWidth(rect.width())), captionHeight);
        painter.setPen(tokens.secondaryText);
        layout.draw(&painter, QPointF(rect.left() + symbolSize + symbolGap, y));
        y += height;
    }
    painter.restore();
}

} // namespace sayloom
