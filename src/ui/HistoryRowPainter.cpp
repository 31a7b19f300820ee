#include "ui/HistoryRowPainter.h"

#include "ui/HistoryRowText.h"
#include "ui/SymbolNames.h"
#include "ui/design/CardRows.h"
#include "ui/design/CorrectionChip.h"
#include "ui/design/DesignTokens.h"

#include <QCache>
#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

namespace sayloom {

namespace {

constexpr int buttonHeight = 26;

constexpr int chipSpacing = 6;

QString chipKey(const AppliedCorrection& correction)
{
    return correction.heard + QChar(u'\u0000') + correction.written;
}

// The chips are the design's own widget, measured once and drawn into images: a widget per chip per row would make
// a long list slow, an image costs a copy.
QSize chipSize(const AppliedCorrection& correction)
{
    static QHash<QString, QSize> sizes;
    const QString key = chipKey(correction);
    if (const auto found = sizes.constFind(key); found != sizes.constEnd()) {
        return *found;
    }
    const QSize size = CorrectionChip(correction.heard, correction.written).sizeHint();
    sizes.insert(key, size);
    return size;
}

QPixmap chipImage(const AppliedCorrection& correction, const QSize& size, const QPalette& palette, qreal ratio)
{
    static QCache<QString, QPixmap> images(4000);
    const QString key = chipKey(correction) + u'|' + QString::number(size.width()) + u'|' +
                        palette.color(QPalette::Window).name() + palette.color(QPalette::Highlight).name() + u'|' +
                        QString::number(ratio);
    if (const QPixmap* image = images.object(key)) {
        return *image;
    }
    CorrectionChip chip(correction.heard, correction.written);
    chip.setPalette(palette);
    chip.resize(size);
    auto* image = new QPixmap(size * ratio);
    image->setDevicePixelRatio(ratio);
    image->fill(Qt::transparent);
    chip.render(image, QPoint(), QRegion(), QWidget::DrawChildren);
    const QPixmap copy = *image;
    images.insert(key, image);
    return copy;
}

// The rectangles a stretch of text covers, one per line it spans.
QList<QRectF> rangeRects(const QTextLayout& layout, qsizetype start, qsizetype length)
{
    QList<QRectF> rects;
    const qsizetype end = start + length;
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        const qsizetype from = std::max<qsizetype>(start, line.textStart());
        const qsizetype to = std::min<qsizetype>(end, line.textStart() + line.textLength());
        if (from >= to) {
            continue;
        }
        const qreal left = line.cursorToX(int(from));
        const qreal right = line.cursorToX(int(to));
        rects.append(QRectF(std::min(left, right), line.y(), std::abs(right - left), line.height()));
    }
    return rects;
}

} // namespace

HistoryRowPainter::HistoryRowPainter()
    : m_body(DesignTokens::font(TextStyle::body))
    , m_caption(DesignTokens::font(TextStyle::caption))
    , m_timeZone(QTimeZone::systemTimeZone())
{
}

QString HistoryRowPainter::copyTitle(bool copied)
{
    return copied ? QStringLiteral("Copied") : QStringLiteral("Copy");
}

QString HistoryRowPainter::copySymbol(bool copied)
{
    return copied ? QStringLiteral("checkmark") : QStringLiteral("doc.on.doc");
}

QRect HistoryRowPainter::copyButtonRect(const QRect& rect) const
{
    // Wide enough for either title, so the text beside it does not reflow when it changes.
    const QFontMetrics metrics(m_caption);
    const int titleWidth =
            std::max(metrics.horizontalAdvance(copyTitle(false)), metrics.horizontalAdvance(copyTitle(true)));
    const int width = titleWidth + 16 + Spacing::xs + 2 * Spacing::s;
    return QRect(rect.right() + 1 - width, rect.top(), width, buttonHeight);
}

int HistoryRowPainter::textWidth(int width) const
{
    return std::max(40, width - copyButtonRect(QRect(0, 0, width, 1)).width() - Spacing::m);
}

QRect HistoryRowPainter::textRect(const QRect& rect, const HistoryEntry& entry) const
{
    const int width = textWidth(rect.width());
    return QRect(rect.left(), rect.top(), width, textHeight(entry.text, width));
}

int HistoryRowPainter::textHeight(const QString& text, int width) const
{
    QTextLayout layout(text, m_body);
    return std::max(int(std::ceil(CardRows::wrap(layout, width))), QFontMetrics(m_body).height());
}

QList<QRect> HistoryRowPainter::chipRects(const HistoryEntry& entry, int width) const
{
    QList<QRect> rects;
    if (!entry.corrections) {
        return rects;
    }
    int x = 0;
    int y = 0;
    int lineHeight = 0;
    for (const AppliedCorrection& correction : *entry.corrections) {
        const QSize size = chipSize(correction).boundedTo(QSize(width, 1000));
        if (x > 0 && x + size.width() > width) {
            x = 0;
            y += lineHeight + chipSpacing;
            lineHeight = 0;
        }
        rects.append(QRect(QPoint(x, y), size));
        x += size.width() + chipSpacing;
        lineHeight = std::max(lineHeight, size.height());
    }
    return rects;
}

int HistoryRowPainter::chipsHeight(const HistoryEntry& entry, int width) const
{
    int height = 0;
    for (const QRect& rect : chipRects(entry, width)) {
        height = std::max(height, rect.bottom() + 1);
    }
    return height;
}

int HistoryRowPainter::heightForWidth(const HistoryEntry& entry, int width) const
{
    int height = std::max(textHeight(entry.text, textWidth(width)), buttonHeight);
    if (const int chips = chipsHeight(entry, textWidth(width)); chips > 0) {
        height += Spacing::s + chips;
    }
    return height + Spacing::s + QFontMetrics(m_caption).height();
}

void HistoryRowPainter::paint(QPainter& painter, const QRect& rect, const HistoryEntry& entry, const QPalette& palette,
                              const State& state) const
{
    const DesignTokens tokens = DesignTokens::fromPalette(palette);
    const int width = textWidth(rect.width());
    const int textTop = rect.top();
    const int height = textHeight(entry.text, width);
    paintText(painter, QRect(rect.left(), textTop, width, height), entry, palette, state.query);

    int y = textTop + std::max(height, buttonHeight);
    if (const int chips = chipsHeight(entry, width); chips > 0) {
        y += Spacing::s;
        paintChips(painter, entry, QPoint(rect.left(), y), width, palette);
        y += chips;
    }
    y += Spacing::s;
    painter.setFont(m_caption);
    painter.setPen(tokens.secondaryText);
    const QFontMetrics metrics(m_caption);
    const QString meta = HistoryRowText::metaLine(entry, m_timeZone);
    painter.drawText(QRect(rect.left(), y, rect.width(), metrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(meta, Qt::ElideRight, rect.width()));
    if (state.paintCopyButton) {
        paintCopyButton(painter, copyButtonRect(rect), palette, state);
    }
}

void HistoryRowPainter::paintText(QPainter& painter, const QRect& rect, const HistoryEntry& entry,
                                  const QPalette& palette, const QString& query) const
{
    const DesignTokens tokens = DesignTokens::fromPalette(palette);
    QTextLayout layout(entry.text, m_body);
    CardRows::wrap(layout, rect.width());

    painter.save();
    painter.translate(rect.topLeft());
    painter.setRenderHint(QPainter::Antialiasing);
    QColor highlight = tokens.accent;
    highlight.setAlphaF(tokens.appearance == Appearance::dark ? 0.35f : 0.22f);
    for (const HistoryRowText::Range& range : HistoryRowText::highlights(entry.text, query)) {
        for (const QRectF& box : rangeRects(layout, range.start, range.length)) {
            QPainterPath path;
            path.addRoundedRect(box.adjusted(-1, 1, 1, -1), 3, 3);
            painter.fillPath(path, highlight);
        }
    }
    painter.setPen(tokens.text);
    layout.draw(&painter, QPointF());
    QColor underline = tokens.accent;
    underline.setAlphaF(0.75f);
    const qreal descent = QFontMetricsF(m_body).descent();
    for (const HistoryRowText::Range& range : HistoryRowText::underlines(entry.text, entry.corrections)) {
        for (const QRectF& box : rangeRects(layout, range.start, range.length)) {
            // Below the baseline, within the line's descent so it never touches the next line.
            const qreal baseline = box.top() + box.height() - descent;
            painter.fillRect(QRectF(box.left(), baseline + std::max(2.0, descent / 2), box.width(), 2), underline);
        }
    }
    painter.restore();
}

void HistoryRowPainter::paintChips(QPainter& painter, const HistoryEntry& entry, const QPoint& origin, int width,
                                   const QPalette& palette) const
{
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QList<QRect> rects = chipRects(entry, width);
    for (qsizetype i = 0; i < rects.size(); ++i) {
        painter.drawPixmap(origin + rects[i].topLeft(),
                           chipImage(entry.corrections->at(i), rects[i].size(), palette, ratio));
    }
}

void HistoryRowPainter::paintCopyButton(QPainter& painter, const QRect& rect, const QPalette& palette,
                                        const State& state) const
{
    const DesignTokens tokens = DesignTokens::fromPalette(palette);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (state.hovering || state.copied) {
        QColor ground = tokens.text;
        ground.setAlphaF(0.07f);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect), Radius::control, Radius::control);
        painter.fillPath(path, ground);
    }
    const QColor colour = state.copied ? tokens.accent : tokens.secondaryText;
    const QIcon icon = SymbolNames::icon(copySymbol(state.copied), colour);
    const QRect iconRect(rect.left() + Spacing::s, rect.center().y() - 7, 14, 14);
    icon.paint(&painter, iconRect);
    painter.setFont(m_caption);
    painter.setPen(colour);
    painter.drawText(QRect(iconRect.right() + 1 + Spacing::xs, rect.top(), rect.width(), rect.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, copyTitle(state.copied));
    painter.restore();
}

} // namespace sayloom
