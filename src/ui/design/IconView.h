#pragma once

#include "ui/design/Symbols.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <optional>

namespace sayloom {

// A symbol painted at the device-pixel ratio of whatever it is drawn on (a screen, or a snapshot image at ratio 2),
// which a QLabel holding a pixmap made in advance can't do. Shows the theme's icon of a freedesktop name, or one of
// our own symbols; our own and missing theme icons are tinted with the colour given (the palette's secondary text
// colour unless set).
class IconView final : public QWidget {
    Q_OBJECT

public:
    explicit IconView(const QString& freedesktopName, int size = 16, QWidget* parent = nullptr);
    IconView(OwnSymbol symbol, int size = 16, QWidget* parent = nullptr);

    void setIconName(const QString& freedesktopName);
    void setSymbol(OwnSymbol symbol);
    void setTint(const QColor& tint);

    QSize sizeHint() const override { return QSize(m_size, m_size); }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_name;
    std::optional<OwnSymbol> m_symbol;
    QColor m_tint;
    int m_size;
};

} // namespace sayloom
