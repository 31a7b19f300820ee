#include "ui/design/Symbols.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <memory>

namespace sayloom {

namespace {

QString resourceOf(OwnSymbol symbol)
{
    switch (symbol) {
    case OwnSymbol::lock:
        return QStringLiteral(":/sayloom/symbols/lock.svg");
    case OwnSymbol::info:
        return QStringLiteral(":/sayloom/symbols/info.svg");
    case OwnSymbol::warning:
        return QStringLiteral(":/sayloom/symbols/warning.svg");
    case OwnSymbol::record:
        return QStringLiteral(":/sayloom/symbols/record.svg");
    case OwnSymbol::waveform:
        return QStringLiteral(":/sayloom/symbols/waveform.svg");
    case OwnSymbol::circle:
        return QStringLiteral(":/sayloom/symbols/circle.svg");
    }
    return {};
}

// The symbols are drawn in #000000 and recoloured by rewriting the SVG text: rendering stays vector, so it is
// sharp at any scale, with no intermediate pixmap. One renderer per symbol and colour, main thread only.
QSvgRenderer& rendererFor(OwnSymbol symbol, const QColor& colour)
{
    static QHash<QString, std::shared_ptr<QSvgRenderer>> renderers;
    const QString key = resourceOf(symbol) + QLatin1Char('|') + colour.name(QColor::HexArgb);
    auto found = renderers.constFind(key);
    if (found != renderers.constEnd()) {
        return **found;
    }
    QFile file(resourceOf(symbol));
    QByteArray svg;
    if (file.open(QIODevice::ReadOnly)) {
        svg = file.readAll();
    }
    svg.replace("#000000", colour.name(QColor::HexRgb).toLatin1());
    const QByteArray opacity = "fill-opacity=\"" + QByteArray::number(colour.alphaF(), 'f', 3) + "\" fill=";
    svg.replace("fill=", opacity);
    auto renderer = std::make_shared<QSvgRenderer>(svg);
    renderers.insert(key, renderer);
    return *renderer;
}

class OwnSymbolEngine final : public QIconEngine {
public:
    OwnSymbolEngine(OwnSymbol symbol, QColor tint)
        : m_symbol(symbol)
        , m_tint(tint)
    {
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        QColor colour = m_tint;
        if (mode == QIcon::Disabled) {
            colour.setAlphaF(colour.alphaF() * 0.4f);
        }
        const int side = std::min(rect.width(), rect.height());
        const QRectF square(rect.x() + (rect.width() - side) / 2.0, rect.y() + (rect.height() - side) / 2.0, side,
                            side);
        Symbols::paint(*painter, m_symbol, square, colour);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        QPixmap pixmap(size * scale);
        pixmap.fill(Qt::transparent);
        pixmap.setDevicePixelRatio(scale);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new OwnSymbolEngine(m_symbol, m_tint); }
    QString key() const override { return QStringLiteral("sayloom-own-symbol"); }

private:
    OwnSymbol m_symbol;
    QColor m_tint;
};

OwnSymbol fallbackFor(const QString& name)
{
    if (name.contains(QLatin1String("warning")) || name.contains(QLatin1String("error"))) {
        return OwnSymbol::warning;
    }
    if (name.contains(QLatin1String("information")) || name.contains(QLatin1String("info"))) {
        return OwnSymbol::info;
    }
    if (name.contains(QLatin1String("record"))) {
        return OwnSymbol::record;
    }
    if (name.contains(QLatin1String("lock"))) {
        return OwnSymbol::lock;
    }
    if (name.contains(QLatin1String("audio-input")) || name.contains(QLatin1String("waveform"))) {
        return OwnSymbol::waveform;
    }
    return OwnSymbol::circle;
}

} // namespace

void Symbols::ensureIconTheme()
{
    static bool checked = false;
    if (std::exchange(checked, true)) {
        return;
    }
    const QString current = QIcon::themeName();
    if (!current.isEmpty() && current != QLatin1String("hicolor")) {
        return;
    }
    // Platforms without a theme (offscreen) don't search the system's icon folders either.
    QStringList paths = QIcon::themeSearchPaths();
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty()) {
        dataDirs = QStringLiteral("/usr/local/share:/usr/share");
    }
    QStringList candidates{QDir::homePath() + QStringLiteral("/.local/share/icons")};
    for (const QString& dir : dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        candidates.append(dir + QStringLiteral("/icons"));
    }
    for (const QString& candidate : candidates) {
        if (!paths.contains(candidate) && QDir(candidate).exists()) {
            paths.append(candidate);
        }
    }
    QIcon::setThemeSearchPaths(paths);
    for (const QString& path : paths) {
        if (QDir(path).exists(QStringLiteral("Adwaita/index.theme"))) {
            QIcon::setThemeName(QStringLiteral("Adwaita"));
            return;
        }
    }
}

QIcon Symbols::icon(const QString& freedesktopName, const QColor& tint)
{
    ensureIconTheme();
    QIcon themed = QIcon::fromTheme(freedesktopName);
    if (!themed.isNull()) {
        return themed;
    }
    return ownIcon(fallbackFor(freedesktopName), tint);
}

QIcon Symbols::ownIcon(OwnSymbol symbol, const QColor& tint)
{
    return QIcon(new OwnSymbolEngine(symbol, tint));
}

void Symbols::paint(QPainter& painter, OwnSymbol symbol, const QRectF& rect, const QColor& colour)
{
    rendererFor(symbol, colour).render(&painter, rect);
}

} // namespace sayloom
