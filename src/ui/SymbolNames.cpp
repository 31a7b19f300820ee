#include "ui/SymbolNames.h"

#include "ui/design/Symbols.h"

#include <QHash>
#include <QPainter>
#include <QPixmap>

namespace sayloom {

QString SymbolNames::themeName(const QString& symbol)
{
    static const QHash<QString, QString> names{
            {QStringLiteral("waveform"), QStringLiteral("microphone-sensitivity-high-symbolic")},
            {QStringLiteral("clock"), QStringLiteral("document-open-recent-symbolic")},
            {QStringLiteral("character.book.closed"), QStringLiteral("accessories-dictionary-symbolic")},
            {QStringLiteral("record.circle.fill"), QStringLiteral("media-record-symbolic")},
            {QStringLiteral("ellipsis.circle.fill"), QStringLiteral("view-more-horizontal-symbolic")},
            {QStringLiteral("exclamationmark.triangle.fill"), QStringLiteral("dialog-warning-symbolic")},
            {QStringLiteral("exclamationmark.circle.fill"), QStringLiteral("dialog-warning-symbolic")},
            {QStringLiteral("checkmark.circle.fill"), QStringLiteral("emblem-ok-symbolic")},
            {QStringLiteral("checkmark"), QStringLiteral("object-select-symbolic")},
            {QStringLiteral("mic.fill"), QStringLiteral("audio-input-microphone-symbolic")},
            {QStringLiteral("mic"), QStringLiteral("audio-input-microphone-symbolic")},
            {QStringLiteral("stop.fill"), QStringLiteral("media-playback-stop-symbolic")},
            {QStringLiteral("text.word.spacing"), QStringLiteral("format-text-plaintext-symbolic")},
            {QStringLiteral("speedometer"), QStringLiteral("power-profile-performance-symbolic")},
            {QStringLiteral("trash"), QStringLiteral("user-trash-symbolic")},
            {QStringLiteral("doc.on.doc"), QStringLiteral("edit-copy-symbolic")},
            {QStringLiteral("magnifyingglass"), QStringLiteral("edit-find-symbolic")},
            {QStringLiteral("gearshape"), QStringLiteral("preferences-system-symbolic")},
            {QStringLiteral("cpu"), QStringLiteral("applications-science-symbolic")},
            {QStringLiteral("lock.shield"), QStringLiteral("security-high-symbolic")},
            {QStringLiteral("plus"), QStringLiteral("list-add-symbolic")},
    };
    return names.value(symbol, symbol);
}

QIcon SymbolNames::icon(const QString& symbol, const QColor& color)
{
    static QHash<QString, QIcon> cache;
    const QString key = symbol + u'|' + color.name(QColor::HexArgb);
    if (const auto found = cache.constFind(key); found != cache.constEnd()) {
        return *found;
    }
    Symbols::ensureIconTheme();
    const QString name = themeName(symbol);
    const QIcon themed = QIcon::fromTheme(name);
    QIcon tinted;
    if (themed.isNull()) {
        tinted = Symbols::icon(name, color);
    } else {
        // Painting the colour through the icon's alpha keeps its shape.
        for (const int side : {16, 20, 24, 32, 48}) {
            for (const qreal ratio : {1.0, 2.0}) {
                QPixmap pixmap = themed.pixmap(QSize(side, side), ratio);
                if (pixmap.isNull()) {
                    continue;
                }
                QPainter painter(&pixmap);
                painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
                painter.fillRect(QRect(QPoint(), pixmap.size()), color);
                painter.end();
                tinted.addPixmap(pixmap);
            }
        }
    }
    cache.insert(key, tinted);
    return tinted;
}

} // namespace sayloom
